// Splitting any text into list entries must neither crash nor loop, and joining what it gave
// must split back into as many entries, except where an entry holds ";" (written unquoted, it
// separates) or the list ends in an empty entry (a trailing separator gives none).
#include "ListText.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> entries = SplitListText(text);
    if (entries.size() > size)
        std::abort();
    bool comparable = entries.empty() || !entries.back().empty() || entries.size() == 1;
    for (const std::string& entry : entries)
        comparable = comparable && entry.find(';') == std::string::npos;
    if (comparable && SplitListText(JoinListText(entries)) != entries)
        std::abort();
    return 0;
}
