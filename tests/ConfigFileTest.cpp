#include "ConfigFile.h"
#include "ChildChecks.h"
#include "IniFile.h"
#include "OptionRecords.h"
#include "SettingsFile.h"
#include "TestTree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

void PrintTo(const TOptionRec& o, std::ostream* out) {
    *out << "{" << o.CompareMode << ", " << o.CaseSensitive << ", \"" << o.IgnoreChar << "\", \""
         << o.ScanPath << "\", \"" << o.ExcludePath << "\", \"" << o.FileTypes << "\", "
         << o.UnicodeNames << ", " << o.IgnoreCopyMarks << ", " << o.IgnoreExtension << ", \""
         << o.EqualExtensions << "\"}";
}

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The message of the EFileError an action raises, or "" when it raises none.
std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EFileError& error) {
        return error.what();
    }
    return "";
}

// A record in which every field differs from what any file in these tests would give, so that
// a record left alone is told apart from one that was assigned.
TOptionRec Untouched() {
    return ClassicOptions(2, true, "#", "/untouched", "/untouched/x", "*.u");
}

// The options read from a file of that text; Untouched() when the file is not accepted, which
// must then give the empty record.
TOptionRec Loaded(const TTestTree& tree, const std::string& text) {
    WriteBytes(tree / "in.twc", text);
    const TLoadedConfig loaded = LoadConfigFile(tree / "in.twc");
    if (loaded.Accepted)
        return loaded.Options;
    EXPECT_EQ(loaded.Options, TOptionRec()) << text;
    return Untouched();
}

const TOptionRec Sample = ClassicOptions(2, true, "_", "/a;\"/b c\"", "/a/x", "*.txt;*.doc");
const std::string SampleText = "[Options]\r\nVersion=3\r\nCompareMode=2\r\nCaseSensitive=1\r\n"
                               "IgnoreChar=_\r\nScanPath=/a;\"/b c\"\r\nExcludePath=/a/x\r\n"
                               "FileTypes=*.txt;*.doc\r\n\r\n";

TEST(ConfigFileTest, NewFileHoldsNineLinesAndSavingAgainChangesNothing) {
    TTestTree tree;
    SaveConfigFile(tree / "new.twc", Sample);
    EXPECT_EQ(ReadBytes(tree / "new.twc"), SampleText);
    SaveConfigFile(tree / "new.twc", Sample);
    EXPECT_EQ(ReadBytes(tree / "new.twc"), SampleText);
    EXPECT_EQ(Entries(tree.Root()), std::vector<std::string>{"new.twc"});
}

TEST(ConfigFileTest, ValuesRoundTripUnchanged) {
    const TOptionRec records[] = {
        Sample,
        ClassicOptions(-5, false, "=", " \"/x y\" ; /z=1 ", "", "a=b;\"c\""),
        ClassicOptions(7, false, "[x]", "", ";x", ""),
    };
    for (const TOptionRec& record : records) {
        TTestTree tree;
        SaveConfigFile(tree / "c.twc", record);
        const TLoadedConfig loaded = LoadConfigFile(tree / "c.twc");
        EXPECT_TRUE(loaded.Accepted);
        EXPECT_EQ(loaded.Options, record);
    }
    TTestTree tree;
    SaveConfigFile(tree / "c.twc", records[1]);
    const std::string text = ReadBytes(tree / "c.twc");
    EXPECT_NE(text.find("\r\nCompareMode=-5\r\nCaseSensitive=0\r\nIgnoreChar==\r\n"
                        "ScanPath= \"/x y\" ; /z=1 \r\nExcludePath=\r\n"),
              std::string::npos)
        << text;
}

TEST(ConfigFileTest, MissingKeysTakeTheirDefaults) {
    TTestTree tree;
    EXPECT_EQ(Loaded(tree, "[Options]\r\nVersion=3\r\n"),
              ClassicOptions(0, false, "", "/", "", ""));
    // Names in any letter case; a value is everything after the first "=".
    for (const char* text : {"[OPTIONS]\r\nVERSION=3\r\nSCANPATH=/s\r\nIGNORECHAR==;=\r\n",
                             "[options]\r\nversion=3\r\nscanpath=/s\r\nignorechar==;=\r\n"})
        EXPECT_EQ(Loaded(tree, text), ClassicOptions(0, false, "=;=", "/s", "", "")) << text;
}

TEST(ConfigFileTest, VersionMustReadAsThree) {
    TTestTree tree;
    const struct {
        const char* Value;
        bool Accepted;
    } cases[] = {{"3", true},    {"03", true},    {"0x03", true}, {"0X3", true}, {"$3", true},
                 {"3.0", false}, {"", false},     {"0x", false},  {"$", false},  {"2", false},
                 {"4", false},   {"0x3g", false}, {"3x", false}};
    for (const auto& c : cases) {
        const TOptionRec options =
            Loaded(tree, "[Options]\r\nVersion="s + c.Value + "\r\nScanPath=/s\r\n");
        EXPECT_EQ(options.ScanPath, c.Accepted ? "/s" : "/untouched") << c.Value;
    }
}

TEST(ConfigFileTest, RejectedFileLeavesOptionsAsTheyWere) {
    TTestTree tree;
    const std::string rejected[] = {
        "",
        "Version=3\r\n[Options]\r\nScanPath=/s\r\n", // before the first section
        "[Options]\r\nVersion =3\r\n",               // blanks make another name
        "[Options]\r\nVersion = 3\r\n",
        "[Options]\r\n;Version=3\r\n",
        "[Options ]\r\nVersion=3\r\n",
        "[Other]\r\nVersion=3\r\n",
        "[Options]\r\nScanPath=/s\r\n[Options]\r\nVersion=3\r\n", // only the first section counts
        "[Options]\r\nVersion\r\n=3\r\n",
        "[Options]\r\n\0Version=3\r\n"s, // text ends at a zero byte
    };
    for (const std::string& text : rejected)
        EXPECT_EQ(Loaded(tree, text), Untouched()) << text;

    for (const std::string& missing : {tree / "missing.twc", tree / "in.twc/below.twc"}) {
        TLoadedConfig loaded{Untouched(), true};
        EXPECT_EQ(ErrorOf([&] { loaded = LoadConfigFile(missing); }), "") << missing;
        EXPECT_FALSE(loaded.Accepted) << missing;
        EXPECT_EQ(loaded.Options, TOptionRec()) << missing;
    }
}

TEST(ConfigFileTest, NumbersAndFlagsAsRead) {
    TTestTree tree;
    const struct {
        const char* Lines;
        int32_t CompareMode;
        bool CaseSensitive;
    } cases[] = {
        {"CompareMode=7\r\nCaseSensitive=2\r\n", 7, true},
        {"CompareMode=-5\r\nCaseSensitive=yes\r\n", -5, false},
        {"CompareMode=$a\r\nCaseSensitive=-1\r\n", 10, true},
        {"CompareMode=0x1F\r\nCaseSensitive=0x0\r\n", 31, false},
        {"CompareMode=one\r\nCaseSensitive=\r\n", 0, false},
        {"CompareMode=1.5\r\nCaseSensitive=true\r\n", 0, false},
    };
    for (const auto& c : cases) {
        const TOptionRec options = Loaded(tree, "[Options]\r\nVersion=3\r\n"s + c.Lines);
        EXPECT_EQ(options.CompareMode, c.CompareMode) << c.Lines;
        EXPECT_EQ(options.CaseSensitive, c.CaseSensitive) << c.Lines;
    }
}

TEST(ConfigFileTest, LineEndsAndZeroByte) {
    TTestTree tree;
    const struct {
        std::string Text;
        const char* ScanPath;
        const char* FileTypes;
    } cases[] = {
        {"[Options]\nVersion=3\nScanPath=/lf\nFileTypes=*.t", "/lf", "*.t"},
        {"[Options]\rVersion=3\rScanPath=/cr\rFileTypes=*.t\r", "/cr", "*.t"},
        {"[Options]\r\rVersion=3\n\r\nScanPath=/mixed\n\rFileTypes=*.t\r\n", "/mixed", "*.t"},
        {"[Options]\r\nVersion=3\r\nScanPath=/a\0/b\r\nFileTypes=*.t\r\n"s, "/a", ""},
    };
    for (const auto& c : cases) {
        const TOptionRec options = Loaded(tree, c.Text);
        EXPECT_EQ(options.ScanPath, c.ScanPath) << c.Text;
        EXPECT_EQ(options.FileTypes, c.FileTypes) << c.Text;
    }
}

TEST(ConfigFileTest, FirstOccurrenceIsReadAndReplaced) {
    TTestTree tree;
    const std::string text = "[Options]\r\nVersion=3\r\nScanPath\r\nScanPath=/first\r\n"
                             "ScanPath=/second\r\nFileTypes\r\n[options]\r\nFileTypes=*.later\r\n";
    EXPECT_EQ(Loaded(tree, text), ClassicOptions(0, false, "", "/first", "", ""));

    SaveConfigFile(tree / "in.twc", ClassicOptions(1, false, "", "/new", "", "*.x"));
    EXPECT_EQ(ReadBytes(tree / "in.twc"),
              "[Options]\r\nVersion=3\r\nScanPath\r\nScanPath=/new\r\nScanPath=/second\r\n"
              "FileTypes\r\nCompareMode=1\r\nCaseSensitive=0\r\nIgnoreChar=\r\nExcludePath=\r\n"
              "FileTypes=*.x\r\n\r\n[options]\r\nFileTypes=*.later\r\n\r\n");
}

TEST(ConfigFileTest, SavingOverAFileKeepsItsOtherContent) {
    TTestTree tree;
    WriteBytes(tree / "old.twc", "; written by hand\r\nstray=before\r\n[General]\r\nKeep=1\r\n"
                                 "; comment\r\n\r\n[OPTIONS]\nscanpath=/old\nCustom=x = y\n"
                                 "version=2\nExcludePath\n\n[Later]\rOther=y\r");
    SaveConfigFile(tree / "old.twc", Sample);
    EXPECT_EQ(ReadBytes(tree / "old.twc"),
              "[General]\r\nKeep=1\r\n\r\n"
              "[OPTIONS]\r\nScanPath=/a;\"/b c\"\r\nCustom=x = y\r\nVersion=3\r\nExcludePath\r\n"
              "CompareMode=2\r\nCaseSensitive=1\r\nIgnoreChar=_\r\nExcludePath=/a/x\r\n"
              "FileTypes=*.txt;*.doc\r\n\r\n"
              "[Later]\r\nOther=y\r\n\r\n");

    // A file without the section gets it after its other sections.
    WriteBytes(tree / "other.twc", "[General]\r\nKeep=1\r\n");
    SaveConfigFile(tree / "other.twc", Sample);
    EXPECT_EQ(ReadBytes(tree / "other.twc"), "[General]\r\nKeep=1\r\n\r\n" + SampleText);
}

// The newer name rules: a key is read when present (missing means off), and written only when
// its rule is on or the file already has the key, so files of earlier versions stay as they were.
TEST(ConfigFileTest, NewerNameRulesAreWrittenWhenOnOrAlreadyThere) {
    TTestTree tree;
    // A file of an earlier version loads with the rules off and is saved again byte for byte.
    EXPECT_EQ(Loaded(tree, SampleText), Sample);
    WriteBytes(tree / "old.twc", SampleText);
    SaveConfigFile(tree / "old.twc", Sample);
    EXPECT_EQ(ReadBytes(tree / "old.twc"), SampleText);

    TOptionRec rules = Sample;
    rules.UnicodeNames = true;
    rules.IgnoreCopyMarks = true;
    rules.IgnoreExtension = true;
    rules.EqualExtensions = "jpg=jpeg;\"t f=tiff\"";
    const std::string rulesText = SampleText.substr(0, SampleText.size() - 2) +
                                  "UnicodeNames=1\r\nIgnoreCopyMarks=1\r\nIgnoreExtension=1\r\n"
                                  "EqualExtensions=jpg=jpeg;\"t f=tiff\"\r\n\r\n";
    SaveConfigFile(tree / "rules.twc", rules);
    EXPECT_EQ(ReadBytes(tree / "rules.twc"), rulesText);
    EXPECT_EQ(Loaded(tree, rulesText), rules);

    // Turned off, the keys the file has stay, with the value for off.
    SaveConfigFile(tree / "rules.twc", Sample);
    EXPECT_EQ(ReadBytes(tree / "rules.twc"),
              SampleText.substr(0, SampleText.size() - 2) +
                  "UnicodeNames=0\r\nIgnoreCopyMarks=0\r\nIgnoreExtension=0\r\n"
                  "EqualExtensions=\r\n\r\n");
    EXPECT_EQ(Loaded(tree, ReadBytes(tree / "rules.twc")), Sample);

    // One rule on adds its key alone, after the keys and sections the file keeps.
    WriteBytes(tree / "one.twc", "[Options]\r\nCustom=1\r\n\r\n[Later]\r\nx=y\r\n");
    TOptionRec one = Sample;
    one.IgnoreExtension = true;
    SaveConfigFile(tree / "one.twc", one);
    EXPECT_EQ(ReadBytes(tree / "one.twc"),
              "[Options]\r\nCustom=1\r\nVersion=3\r\nCompareMode=2\r\nCaseSensitive=1\r\n"
              "IgnoreChar=_\r\nScanPath=/a;\"/b c\"\r\nExcludePath=/a/x\r\n"
              "FileTypes=*.txt;*.doc\r\nIgnoreExtension=1\r\n\r\n[Later]\r\nx=y\r\n\r\n");

    // Values are read as the other flags are: any nonzero number is on.
    TOptionRec expected = ClassicOptions(0, false, "", "/", "", "");
    expected.UnicodeNames = true;
    expected.IgnoreExtension = true;
    expected.EqualExtensions = " a=b ";
    EXPECT_EQ(Loaded(tree, "[Options]\r\nVersion=3\r\nunicodenames=2\r\nIgnoreCopyMarks=yes\r\n"
                           "IGNOREEXTENSION=0x1\r\nEqualExtensions= a=b \r\n"),
              expected);
}

TEST(ConfigFileTest, UnreadableFileIsAnError) {
    TTestTree tree;
    tree.Dir("dir.twc");
    const std::string dir = tree / "dir.twc";
    EXPECT_EQ(ErrorOf([&] { LoadConfigFile(dir); }), "Cannot open file " + dir);
    EXPECT_EQ(ErrorOf([&] { SaveConfigFile(dir, Sample); }), "Cannot open file " + dir);
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(Entries(tree.Root()), std::vector<std::string>{"dir.twc"});
}

TEST(ConfigFileTest, FileThatCannotBeCreatedIsAnError) {
    TTestTree tree;
    const std::string missingDir = tree / "no/such.twc";
    EXPECT_EQ(ErrorOf([&] { SaveConfigFile(missingDir, Sample); }),
              "Cannot create file " + missingDir);
    EXPECT_TRUE(fs::is_empty(tree.Root()));

    WriteBytes(tree / "plain", "keep");
    const std::string insideFile = tree / "plain/x.twc";
    EXPECT_EQ(ErrorOf([&] { SaveConfigFile(insideFile, Sample); }),
              "Cannot create file " + insideFile);
    EXPECT_EQ(ReadBytes(tree / "plain"), "keep");
}

TEST(ConfigFileTest, FailedWriteKeepsThePreviousFile) {
    TTestTree tree;
    const std::string file = tree / "c.twc";
    WriteBytes(file, "[Options]\r\nVersion=3\r\n");
    std::string error;
    {
        TFileSizeCap cap(8);
        error = ErrorOf([&] { SaveConfigFile(file, Sample); });
    }
    EXPECT_EQ(error, "Cannot create file " + file);
    EXPECT_EQ(ReadBytes(file), "[Options]\r\nVersion=3\r\n");
    EXPECT_EQ(Entries(tree.Root()), std::vector<std::string>{"c.twc"});
}

TEST(ConfigFileTest, SavingThroughALinkKeepsTheLink) {
    TTestTree tree;
    tree.Dir("cfg");
    WriteBytes(tree / "cfg/real.twc", "[Options]\r\nVersion=3\r\nCustom=1\r\n");
    tree.Symlink("links/work.twc", "../cfg/real.twc");
    SaveConfigFile(tree / "links/work.twc", Sample);
    EXPECT_TRUE(fs::is_symlink(tree / "links/work.twc"));
    EXPECT_EQ(fs::read_symlink(tree / "links/work.twc"), "../cfg/real.twc");
    EXPECT_EQ(ReadBytes(tree / "cfg/real.twc"),
              "[Options]\r\nVersion=3\r\nCustom=1\r\nCompareMode=2\r\nCaseSensitive=1\r\n"
              "IgnoreChar=_\r\nScanPath=/a;\"/b c\"\r\nExcludePath=/a/x\r\n"
              "FileTypes=*.txt;*.doc\r\n\r\n");
    EXPECT_EQ(Entries(tree / "cfg"), std::vector<std::string>{"real.twc"});
    EXPECT_EQ(Entries(tree / "links"), std::vector<std::string>{"work.twc"});
}

TEST(SettingsFileTest, RemembersTheConfigFileName) {
    TTestTree tree;
    const std::string settings = tree / "Twinseek.ini";
    EXPECT_EQ(ReadSettingsConfigFileName(settings), "");
    WriteSettingsConfigFileName("", settings);
    EXPECT_EQ(ReadBytes(settings), "[Options]\r\nFilename=\r\n\r\n");

    WriteBytes(settings, "; mine\r\nloose=1\r\n[Recent]\r\nA=/a.twc\r\n\r\n"
                         "[options]\r\nFILENAME=/old.twc\r\nExtra=x\r\n");
    EXPECT_EQ(ReadSettingsConfigFileName(settings), "/old.twc");
    WriteSettingsConfigFileName("/cfg/a=b.twc", settings);
    EXPECT_EQ(ReadBytes(settings),
              "[Recent]\r\nA=/a.twc\r\n\r\n[options]\r\nFilename=/cfg/a=b.twc\r\nExtra=x\r\n\r\n");
    EXPECT_EQ(ReadSettingsConfigFileName(settings), "/cfg/a=b.twc");
}

TEST(ConfigFileTest, ALineBreakInAValueSavesNothing) {
    struct TCase {
        const char* Name;
        std::string TOptionRec::*Field;
        std::string Value;
    };
    // The first would have planted a key of its own.
    const TCase cases[] = {
        {"a planted key", &TOptionRec::IgnoreChar, "_\r\nScanPath=/etc"},
        {"CR", &TOptionRec::ScanPath, "/a\r"},
        {"LF", &TOptionRec::ExcludePath, "\n/b"},
        {"LF in the masks", &TOptionRec::FileTypes, "*.txt\n*.doc"},
    };
    for (const TCase& c : cases) {
        TTestTree tree;
        TOptionRec options = Sample;
        options.*c.Field = c.Value;
        WriteBytes(tree / "old.twc", "[Options]\r\nVersion=3\r\n");
        for (const std::string& file : {tree / "old.twc", tree / "new.twc"})
            EXPECT_EQ(ErrorOf([&] { SaveConfigFile(file, options); }),
                      "A configuration value holds a line break; the file " + file +
                          " was not saved.")
                << c.Name;
        EXPECT_EQ(ReadBytes(tree / "old.twc"), "[Options]\r\nVersion=3\r\n") << c.Name;
        EXPECT_EQ(Entries(tree.Root()), std::vector<std::string>{"old.twc"}) << c.Name;
    }
    // Other control bytes are kept as they are.
    TTestTree tree;
    TOptionRec options = Sample;
    options.IgnoreChar = "\t\x1a\x7f";
    SaveConfigFile(tree / "c.twc", options);
    EXPECT_EQ(Loaded(tree, ReadBytes(tree / "c.twc")), options);
}

TEST(SettingsFileTest, ALineBreakInTheRememberedNameSavesNothing) {
    TTestTree tree;
    const std::string settings = tree / "Twinseek.ini";
    WriteBytes(settings, "[Options]\r\nFilename=/old.twc\r\n");
    EXPECT_EQ(ErrorOf([&] { WriteSettingsConfigFileName("/x.twc\r\n[Evil]", settings); }),
              "A configuration value holds a line break; the file " + settings + " was not saved.");
    EXPECT_EQ(ReadBytes(settings), "[Options]\r\nFilename=/old.twc\r\n");
    EXPECT_EQ(Entries(tree.Root()), std::vector<std::string>{"Twinseek.ini"});
}

TEST(ConfigFileTest, OnlyARegularFileOfAtMostSixteenMebibytesIsRead) {
    TTestTree tree;
    tree.Fifo("pipe.twc");
    const std::string big = tree / "big.twc";
    const std::string largest = tree / "largest.twc";
    const std::string head = "[Options]\r\nVersion=3\r\nScanPath=/largest\r\n;";
    WriteBytes(largest, head + std::string(MaxIniFileSize - head.size(), 'c'));
    WriteBytes(big, "[Options]\r\nVersion=3\r\n");
    std::filesystem::resize_file(big, MaxIniFileSize + 1);

    for (const std::string& file : {tree / "pipe.twc", std::string("/dev/zero"), big}) {
        // A pipe without a writer would wait for ever, /dev/zero would never end.
        const TChildOutcome outcome = RunBoundedChild(
            [&] {
                std::string errors = ErrorOf([&] { LoadConfigFile(file); }) + "|";
                errors += ErrorOf([&] { ReadSettingsConfigFileName(file); }) + "|";
                return errors + ErrorOf([&] { SaveConfigFile(file, Sample); });
            },
            20);
        const std::string expected = "Cannot open file " + file;
        EXPECT_TRUE(outcome.Ended) << file;
        EXPECT_EQ(outcome.Output, expected + "|" + expected + "|" + expected);
    }
    EXPECT_EQ(LoadConfigFile(largest).Options.ScanPath, "/largest");
}

TEST(ConfigFileTest, ReadingTakesAtMostThirtyTwoTimesTheFileSize) {
    if (!MemoryIsMeasurable)
        GTEST_SKIP() << "memory is not measured under a sanitizer";
    struct TCase {
        const char* Name;
        std::string Head;
        std::string Line; // repeated
        size_t Repeats;
    };
    // Just past a power of two, where a vector grown step by step holds its lines three times.
    const TCase cases[] = {
        {"short lines", "[Options]\n", "a\n", (size_t(1) << 22) + 1},
        {"empty sections", "", "[]\n", (size_t(1) << 22) + 1},
    };
    TTestTree tree;
    const std::string file = tree / "worst.twc";
    for (const TCase& c : cases) {
        {
            std::ofstream out(file, std::ios::binary);
            out << c.Head;
            for (size_t i = 0; i < c.Repeats; ++i)
                out << c.Line;
        }
        const long long size = static_cast<long long>(std::filesystem::file_size(file));
        const TChildOutcome outcome = RunBoundedChild([&]() -> std::string {
            const long long before = PeakMemory();
            const TIniFile ini = TIniFile::Load(file);
            const long long used = PeakMemory() - before;
            if (ini.Text().empty())
                return "not read";
            if (used > MemoryBound(size))
                return std::to_string(size) + " bytes read with " + std::to_string(used) + " bytes";
            return ChildHeld;
        });
        EXPECT_TRUE(outcome.Ended) << c.Name;
        EXPECT_EQ(outcome.Output, ChildHeld) << c.Name;
    }
}

} // namespace
