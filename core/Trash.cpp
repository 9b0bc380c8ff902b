#include "Trash.h"

#include <cerrno>

// The trash itself is not built yet: every file stays where it is.
TTrashing MoveToTrash(int, const std::string&, const std::string&) {
    return {ENOSYS, "Moving to the trash is not available yet.", {}};
}
