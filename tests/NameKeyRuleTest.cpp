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

// The options of a rule, built up from the plain case-insensitive record.
struct TRules {
    TOptionRec Options;
    TRules& Unicode() {
        Options.UnicodeNames = true;
        return *this;
    }
    TRules& CopyMarks() {
        Options.IgnoreCopyMarks = true;
        return *this;
    }
    TRules& IgnoreExtension() {
        Options.IgnoreExtension = true;
        return *this;
    }
    TRules& CaseSensitive() {
        Options.CaseSensitive = true;
        return *this;
    }
    TRules& EqualExtensions(const std::string& text) {
        Options.EqualExtensions = text;
        return *this;
    }
    TRules& IgnoreChar(const std::string& text) {
        Options.IgnoreChar = text;
        return *this;
    }
};

struct TKeyCase {
    std::string Name, Key;
};

void ExpectKeys(const TRules& rules, std::initializer_list<TKeyCase> cases) {
    const TNameKeyRule rule(rules.Options);
    for (const TKeyCase& c : cases)
        EXPECT_EQ(rule.NameKey(c.Name), c.Key) << "name [" << c.Name << "]";
}

const std::string CafeComposed = "caf\xc3\xa9";    // "é" as one code point
const std::string CafeDecomposed = "cafe\xcc\x81"; // "e" and a combining acute accent

TEST(NameKeyRuleTest, UnicodeNamesAreComposedAndFoldedByTheRootRules) {
    ExpectKeys(TRules().Unicode(),
               {
                   {"\xc3\x9c"
                    "ber.md",
                    "\xc3\xbc"
                    "ber.md"}, // "Über" and "über"
                   {"\xc3\xbc"
                    "ber.md",
                    "\xc3\xbc"
                    "ber.md"},
                   {CafeComposed + ".txt", CafeComposed + ".txt"},
                   {CafeDecomposed + ".txt", CafeComposed + ".txt"}, // the composed form is shorter
                   {"CAFE\xcc\x81.TXT", CafeComposed + ".txt"},
                   {"Stra\xc3\x9f"
                    "e.txt",
                    "strasse.txt"}, // full folding: "ß" is "ss"
                   {"STRASSE.txt", "strasse.txt"},
                   {"\xe1\xba\x9e.txt", "ss.txt"}, // capital sharp s
                   // Root rules, not Turkish ones: "I" folds to "i", dotless "ı" stays itself, and
                   // dotted capital "İ" becomes "i" with a combining dot, so neither meets "i".
                   {"I.txt", "i.txt"},
                   {"\xc4\xb1.txt", "\xc4\xb1.txt"},
                   {"\xc4\xb0.txt", "i\xcc\x87.txt"},
                   // Capital, small and final sigma are one letter.
                   {"\xce\x9f\xce\x94\xce\x9f\xce\xa3", "\xce\xbf\xce\xb4\xce\xbf\xcf\x83"},
                   {"\xce\xbf\xce\xb4\xce\xbf\xcf\x82", "\xce\xbf\xce\xb4\xce\xbf\xcf\x83"},
                   // "J" and a combining caron has no composed form; folded it is "ǰ", which has.
                   {"J\xcc\x8c", "\xc7\xb0"},
                   {"\xc7\xb0", "\xc7\xb0"},
                   // Not UTF-8: the bytes stay, and only A to Z are folded.
                   {"CAF\xe9.TXT", "caf\xe9.txt"},
                   {"A\xc3", "a\xc3"},
                   {"E\xcc\x81\xff", "e\xcc\x81\xff"},
                   {"\xed\xa0\x80X", "\xed\xa0\x80x"}, // an encoded surrogate is not UTF-8
               });
    // Case-sensitive, names are only composed.
    ExpectKeys(TRules().Unicode().CaseSensitive(), {{"CAFE\xcc\x81.TXT", "CAF\xc3\x89.TXT"},
                                                    {"Stra\xc3\x9f"
                                                     "e",
                                                     "Stra\xc3\x9f"
                                                     "e"}});
    // Without the rule, decomposed and composed names differ and only A to Z are folded.
    ExpectKeys(TRules(), {{CafeDecomposed, CafeDecomposed},
                          {"\xc3\x9c"
                           "BER",
                           "\xc3\x9c"
                           "ber"}});
}

TEST(NameKeyRuleTest, CopyMarksAreRemovedWhileSomethingRemains) {
    ExpectKeys(TRules().CopyMarks(),
               {
                   {"report (1).pdf", "report.pdf"},
                   {"report(12).pdf", "report.pdf"},
                   {"report - Copy.pdf", "report.pdf"},
                   {"report - Copy (2).pdf", "report.pdf"},
                   {"report copy.pdf", "report.pdf"},
                   {"report Copy 3.pdf", "report.pdf"},
                   {"notes (copy).txt", "notes.txt"},
                   {"notes (another copy).txt", "notes.txt"},
                   {"notes (3rd copy).txt", "notes.txt"},
                   {"notes (21ST Copy).txt", "notes.txt"},
                   {"Copy of x.txt", "x.txt"},
                   {"COPY (2) OF x.txt", "x.txt"},
                   {"Copy of Copy of x.txt", "x.txt"},
                   {"x (1) (2).txt", "x.txt"},
                   {"x (1)(2).txt", "x.txt"},
                   {"Copy of x (1).txt", "x.txt"},
                   {"notes (1)", "notes"},     // no extension
                   {".bashrc (1)", ".bashrc"}, // a leading dot starts no extension
                   {"archive.tar (1).gz", "archive.tar.gz"},
                   // Nothing would remain, or it is no mark.
                   {"(1).txt", "(1).txt"},
                   {" (1).txt", " .txt"}, // a blank is something
                   {"Copy of .txt", "copy of .txt"},
                   {"archive (1).tar.gz", "archive (1).tar.gz"}, // only ".gz" is the extension
                   {"x (1a).txt", "x (1a).txt"},
                   {"x ().txt", "x ().txt"},
                   {"xcopy.txt", "xcopy.txt"},
                   {"x (2nd).txt", "x (2nd).txt"},
                   {"Copyof x.txt", "copyof x.txt"},
               });
    // The marks are found in any case; the name keeps its own.
    ExpectKeys(TRules().CopyMarks().CaseSensitive(),
               {{"Report - COPY.PDF", "Report.PDF"}, {"copy OF Notes", "Notes"}});
}

TEST(NameKeyRuleTest, ExtensionRules) {
    ExpectKeys(TRules().IgnoreExtension(), {
                                               {"report.pdf", "report"},
                                               {"Report.DOCX", "report"},
                                               {".bashrc", ".bashrc"},
                                               {"archive.tar.gz", "archive.tar"},
                                               {"noext", "noext"},
                                               {"a.", "a"},
                                               {"..x", "."},
                                           });
    ExpectKeys(TRules().EqualExtensions("jpg=jpeg;tif=tiff;htm=html"),
               {
                   {"IMG_0001.JPG", "img_0001.jpg"},
                   {"IMG_0001.jpeg", "img_0001.jpg"},
                   {"a.TIFF", "a.tif"},
                   {"a.jpe", "a.jpe"},
                   {"a.tar.jpeg", "a.tar.jpg"},
                   {"jpeg", "jpeg"},   // no extension
                   {".jpeg", ".jpeg"}, // nor here
               });
    // Members may carry their dot; a set of one member, or empty members, change nothing; the
    // first set that holds an extension decides.
    ExpectKeys(TRules().EqualExtensions(".JPG=.jpeg=;x=;jpeg=y"),
               {{"a.jpeg", "a.jpg"}, {"a.x", "a.x"}, {"a.", "a."}, {"a.y", "a.jpeg"}});
    // Case-sensitive, members are compared exactly and the first is taken as written.
    ExpectKeys(TRules().CaseSensitive().EqualExtensions("JPG=jpeg"),
               {{"a.jpeg", "a.JPG"}, {"a.JPEG", "a.JPEG"}, {"a.jpg", "a.jpg"}});
    // Unicode extensions are compared in their composed and folded forms.
    ExpectKeys(TRules().Unicode().EqualExtensions("caf\xc3\xa9=x"),
               {{"a.CAFE\xcc\x81", "a.caf\xc3\xa9"}, {"a.x", "a.caf\xc3\xa9"}});
}

// NFC, copy marks, extension rules, case, ignored characters: each sees what the one before left.
TEST(NameKeyRuleTest, RulesApplyInTheirOrder) {
    ExpectKeys(TRules().Unicode().CopyMarks().EqualExtensions("jpg=jpeg").IgnoreChar("_;\" \""),
               {
                   {"IMG_1 (1).JPEG", "img1.jpg"}, // the mark goes before blanks do
                   {"Copy of Caf\xc3\xa9_1.jpeg", "caf\xc3\xa9"
                                                  "1.jpg"},
                   {"CAFE\xcc\x81 - Copy.JPG", "caf\xc3\xa9.jpg"},
               });
    ExpectKeys(TRules().CopyMarks().IgnoreExtension().EqualExtensions("jpg=jpeg"),
               {{"Copy of x (1).JPEG", "x"}, {"x (1).tar.gz", "x (1).tar"}});
}

// The newer rules leave the buffer holding only the latest key too.
TEST(NameKeyRuleTest, ReusedBufferWithEveryRule) {
    const TNameKeyRule rule(
        TRules().Unicode().CopyMarks().IgnoreExtension().EqualExtensions("a=b").Options);
    std::string key;
    rule.NameKey("Copy of A Very Long Name Cafe\xcc\x81 (1).TXT", key);
    EXPECT_EQ(key, "a very long name caf\xc3\xa9");
    rule.NameKey("e\xcc\x81", key);
    EXPECT_EQ(key, "\xc3\xa9");
}

} // namespace
