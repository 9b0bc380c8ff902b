#include "CopyMarks.h"

#include "AsciiCase.h"
#include "FileNameParts.h"

#include <string_view>

namespace {

// Mark patterns: '#' is a run of digits, '@' an ordinal ending; letters are small and match
// either case.
constexpr std::string_view TrailingMarks[] = {
    " (#)",    "(#)",     " - copy",         " - copy (#)", " copy",
    " copy #", " (copy)", " (another copy)", " (#@ copy)",
};
constexpr std::string_view LeadingMarks[] = {"copy of ", "copy (#) of "};
constexpr std::string_view OrdinalEndings[] = {"st", "nd", "rd", "th"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of the part of `text` that ends at `end` and matches `pattern`, or 0. A digit run
// takes every digit it can; the character before it in a pattern is never a digit, so that is
// the only way the pattern can fit.
size_t MatchBackward(std::string_view text, size_t end, std::string_view pattern) {
    size_t at = end;
    for (size_t p = pattern.size(); p-- > 0;) {
        const char wanted = pattern[p];
        if (wanted == '#') {
            const size_t last = at;
            while (at > 0 && IsDigit(text[at - 1]))
                --at;
            if (at == last)
                return 0;
        } else if (wanted == '@') {
            if (at < 2)
                return 0;
            const std::string_view ending = text.substr(at - 2, 2);
            bool found = false;
            for (std::string_view ordinal : OrdinalEndings)
                found = found ||
                        (FoldAscii(ending[0]) == ordinal[0] && FoldAscii(ending[1]) == ordinal[1]);
            if (!found)
                return 0;
            at -= 2;
        } else {
            if (at == 0 || FoldAscii(text[at - 1]) != wanted)
                return 0;
            --at;
        }
    }
    return end - at;
}

// The length of the start of `text` that matches `pattern` (without ordinals), or 0.
size_t MatchForward(std::string_view text, std::string_view pattern) {
    size_t at = 0;
    for (const char wanted : pattern) {
        if (wanted == '#') {
            const size_t first = at;
            while (at < text.size() && IsDigit(text[at]))
                ++at;
            if (at == first)
                return 0;
        } else {
            if (at == text.size() || FoldAscii(text[at]) != wanted)
                return 0;
            ++at;
        }
    }
    return at;
}

} // namespace

void RemoveCopyMarks(std::string& name) {
    size_t stemLength = ExtensionStart(name);
    for (;;) {
        const std::string_view stem(name.data(), stemLength);
        size_t trailing = 0;
        for (std::string_view mark : TrailingMarks)
            if (const size_t length = MatchBackward(stem, stemLength, mark);
                length > trailing && length < stemLength)
                trailing = length;
        if (trailing > 0) {
            name.erase(stemLength - trailing, trailing);
            stemLength -= trailing;
            continue;
        }
        size_t leading = 0;
        for (std::string_view mark : LeadingMarks)
            if (const size_t length = MatchForward(stem, mark);
                length > leading && length < stemLength)
                leading = length;
        if (leading == 0)
            return;
        name.erase(0, leading);
        stemLength -= leading;
    }
}
