#include "NameKeyRule.h"

#include <gtest/gtest.h>

namespace {

TEST(NameKeyRuleTest, FoldsAsciiLettersThenStripsTheIgnoreEntries) {
    const std::string E = "\xc3\x89"; // capital E with acute accent
    struct TCase {
        std::string IgnoreChar;
        bool CaseSensitive;
        std::string Name;
        std::string Stripped; // by StripIgnoreChars alone
        std::string Key;      // by NameKey: folded, then stripped
    } cases[] = {
        {"ab", false, "aabb", "ab", "ab"}, // one pass: what the removal joins stays
        {"aa", false, "aaaaa", "a", "a"},
        {"b;ab", false, "xaabb", "xaa", "xaa"}, // entries apply in list order
        {"ab;b", false, "xaabb", "xa", "xa"},
        {"\"\"", false, "a b", "a b", "a b"}, // an empty entry removes nothing
        {";a", false, "banana", "bnn", "bnn"},
        {"A", false, "File_A.TXT", "File_.TXT", "file_a.txt"},       // entries are not folded
        {"", false, E + "COLE.TXT", E + "COLE.TXT", E + "cole.txt"}, // ASCII letters only
        {"_", true, "File_A.TXT", "FileA.TXT", "File_A.TXT"},        // not applied with case
    };
    for (const TCase& c : cases) {
        TOptionRec options;
        options.IgnoreChar = c.IgnoreChar;
        options.CaseSensitive = c.CaseSensitive;
        const TNameKeyRule rule(options);
        EXPECT_EQ(rule.StripIgnoreChars(c.Name), c.Stripped) << c.IgnoreChar << " / " << c.Name;
        EXPECT_EQ(rule.NameKey(c.Name), c.Key) << c.IgnoreChar << " / " << c.Name;
    }
}

// One buffer serves every name: a long key leaves nothing behind in a shorter one.
TEST(NameKeyRuleTest, ReusedBufferHoldsOnlyTheLatestKey) {
    TOptionRec options;
    options.IgnoreChar = "_";
    const TNameKeyRule rule(options);
    std::string key;
    rule.NameKey("A_Very_Long_Name.TXT", key);
    EXPECT_EQ(key, "averylongname.txt");
    rule.NameKey("B.c", key);
    EXPECT_EQ(key, "b.c");
    rule.NameKey("", key);
    EXPECT_EQ(key, "");
}

} // namespace
