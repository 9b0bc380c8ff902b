#include "WildcardMask.h"

#include "AsciiCase.h"

#include <algorithm>

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool GlobMatch(std::string_view mask, std::string_view name) {
    size_t m = 0;
    size_t n = 0;
    size_t starMask = std::string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
            continue;
        }
        if (m < mask.size() && mask[m] == '?') {
            ++m;
            n += Utf8CharLength(name, n);
            continue;
        }
        if (m < mask.size() && FoldAscii(mask[m]) == FoldAscii(name[n])) {
            ++m;
            ++n;
            continue;
        }
        if (starMask == std::string_view::npos)
            return false;
        // Let the last "*" take one more character and try again from there.
        starName += Utf8CharLength(name, starName);
        m = starMask;
        n = starName;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

size_t Utf8CharLength(std::string_view text, size_t index) {
    const auto lead = static_cast<unsigned char>(text[index]);
    size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (index + length > text.size())
        return 1;
    for (size_t i = 1; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(text[index + i])))
            return 1;
    return length;
}

TWildcardMask::TWildcardMask(std::string mask) : FMask(std::move(mask)) {
    std::string_view stem = FMask;
    if (stem.size() >= 2 && stem.substr(stem.size() - 2) == ".*")
        stem.remove_suffix(2);
    FMatchesEverything = !FMask.empty() && !stem.empty() &&
                         std::all_of(stem.begin(), stem.end(), [](char c) { return c == '*'; });
}

bool TWildcardMask::Matches(std::string_view name) const {
    if (FMask.empty())
        return false;
    if (FMatchesEverything)
        return true;
    if (GlobMatch(FMask, name))
        return true;
    const std::string_view mask = FMask;
    return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
           GlobMatch(mask.substr(0, mask.size() - 2), name);
}
