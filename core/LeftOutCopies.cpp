#include "LeftOutCopies.h"

#include "DisplayText.h"

std::string LeftOutCopiesMessage(const TLeftOutCopies& leftOut) {
    if (leftOut.Count == 0)
        return "";
    return "Copies left out of the saved list: " + std::to_string(leftOut.Count) +
           " (a path or name holds a line break or byte 26, or is longer than 1 MiB). The "
           "first: " +
           DisplayText(leftOut.FirstPath);
}
