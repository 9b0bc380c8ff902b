#include "WildcardMask.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

struct TMaskCase {
    const char* Why;
    std::string Mask;
    std::string Name;
    bool Matches;
};

// "é" is two bytes (C3 A9), "😀" four (F0 9F 98 80); "\xff" and "\xc0\x80" are no valid UTF-8.
const TMaskCase MaskCases[] = {
    {"star dot star takes a name without a dot", "*.*", "readme", true},
    {"star dot star takes a dotted name", "*.*", "a.b.c", true},
    {"star dot star takes a dot file", "*.*", ".bashrc", true},
    {"star dot star takes a name that is only bytes", "*.*", "\xff\xfe", true},
    {"double star dot star is the same", "**.*", "readme", true},
    {"dot star also names the bare stem", "read*.*", "readme", true},
    {"dot star still takes an extension", "read*.*", "readme.md", true},
    {"dot star keeps the stem", "read*.*", "xreadme", false},
    {"fixed stem with dot star, bare", "x.*", "x", true},
    {"fixed stem with dot star, other name", "x.*", "xy", false},
    {"extension matches exactly", "*.txt", "a.txt", true},
    {"ASCII case is ignored in the name", "*.txt", "A.TXT", true},
    {"ASCII case is ignored in the mask", "*.TXT", "a.txt", true},
    {"case folding is ASCII only", "\xc3\x89.txt", "\xc3\xa9.txt", false},
    {"the whole name must match", "*.txt", "a.txt.bak", false},
    {"star may be empty", "*.txt", ".txt", true},
    {"no implicit dot star without it", "*.txt", "a", false},
    {"question mark takes a two-byte character", "?.txt", "\xc3\xa9.txt", true},
    {"question mark is not one byte of it", "??.txt", "\xc3\xa9.txt", false},
    {"question mark takes a four-byte character", "?", "\xf0\x9f\x98\x80", true},
    {"question mark takes an invalid byte", "?.txt", "\xff.txt", true},
    {"an overlong sequence is two invalid bytes", "??", "\xc0\x80", true},
    {"an overlong sequence is not one character", "?", "\xc0\x80", false},
    {"a cut-off sequence is single bytes", "??x", "\xe2\x82x", true},
    {"question mark needs a character", "a?", "a", false},
    {"question mark takes exactly one", "a?", "abc", false},
    {"question mark at the end", "*.tx?", "a.txt", true},
    {"question mark at the end needs one more", "*.tx?", "a.tx", false},
    {"question mark at the end takes a code point", "*.tx?", "a.tx\xc3\xa9", true},
    {"stars in the middle", "a*b*c", "aXbYc", true},
    {"stars in the middle may be empty", "a*b*c", "abc", true},
    {"the last star must backtrack", "a*b*c", "abcbc", true},
    {"stars need the last letter", "a*b*c", "abcb", false},
    {"stars keep the order", "a*b*c", "acb", false},
    {"leading star backtracks", "*ab", "aab", true},
    {"star across multibyte characters", "*\xc3\xa9", "x\xc3\xa9\xc3\xa9", true},
    {"star and question mark together", "*?", "\xc3\xa9", true},
    {"star and question mark need a character", "*?", "", false},
    {"question mark and star need a character", "?*", "", false},
    {"a trailing star may be empty", "b*", "b", true},
    {"trailing stars may all be empty", "b**", "b", true},
    {"a trailing star after a letter needs the letter", "a*", "", false},
    {"every star may be empty", "a*b*", "ab", true},
    {"dot star names the bare stem with its star empty", "read*.*", "read", true},
    {"a lone star takes the empty name", "*", "", true},
    {"star dot star takes a lone dot", "*.*", ".", true},
    {"dot star alone takes dot files", ".*", ".bashrc", true},
    {"dot star alone is not star dot star", ".*", "readme", false},
    {"literal brackets are plain characters", "[a].txt", "[A].TXT", true},
    {"empty mask matches nothing", "", "readme", false},
    {"empty mask does not match an empty name", "", "", false},
};

class WildcardMaskTest : public testing::TestWithParam<TMaskCase> {};

TEST_P(WildcardMaskTest, Matches) {
    const TMaskCase& c = GetParam();
    EXPECT_EQ(TWildcardMask(c.Mask).Matches(c.Name), c.Matches)
        << c.Why << ": mask \"" << c.Mask << "\", name \"" << c.Name << "\"";
}

INSTANTIATE_TEST_SUITE_P(Masks, WildcardMaskTest, testing::ValuesIn(MaskCases),
                         [](const testing::TestParamInfo<TMaskCase>& row) {
                             std::string name = row.param.Why;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
