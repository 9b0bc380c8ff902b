#include "ResultListFile.h"
#include "ChildChecks.h"
#include "FileTimes.h"
#include "IniFile.h"
#include "IoError.h"
#include "ScanFixture.h"
#include "TestTree.h"
#include "TextReport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>

namespace {

constexpr int64_t GiB = int64_t(1) << 30;
constexpr int64_t Feb1st2003At101112 = 1044094272; // the tests run with TZ=UTC
const std::string Indicator = "Twinseek saved result version 1.3";
// Lines 1 to 6 of the example: 12 files read in 12 seconds.
const std::string Header =
    Indicator + "\r\nC:\\Temp\r\n\r\n*.*\r\n12\r\n 1.38888888888889E-0004\r\n";

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

TFileInfoRec Copy(const std::string& path, int64_t size, uint32_t time, uint64_t stamp) {
    TFileInfoRec info = FileInfoForPath(path);
    info.Size = size;
    info.Time = time;
    info.LastWriteTime = stamp;
    return info;
}

TResultRow Row(const std::string& caption, const std::vector<TFileInfoRec>& copies) {
    TResultRow row{caption, std::make_unique<TFileGroup>()};
    for (const TFileInfoRec& copy : copies)
        row.Group->Add(copy);
    return row;
}

// A group as "[key] path|size|time|stamp path|size|time|stamp ...".
std::string Describe(const std::string& key, const TFileGroup& group) {
    std::string text = "[" + key + "]";
    for (int i = 0; i < group.Count(); ++i) {
        const TFileInfoRec& info = group.Info(i);
        text += " " + info.FullPath() + "|" + std::to_string(info.Size) + "|" +
                std::to_string(info.Time) + "|" + std::to_string(info.LastWriteTime);
    }
    return text;
}

std::vector<std::string> Describe(const TFileInfoList& list) {
    std::vector<std::string> groups;
    for (int i = 0; i < list.Count(); ++i)
        groups.push_back(Describe(list.Key(i), list.Groups(i)));
    return groups;
}

struct TLoaded {
    TLoadOutcome Outcome;
    std::vector<std::string> Groups;
    int32_t FilesRead;
    double ElapsedTime;
};

// A list that holds an earlier result: loading must empty it first.
void AddEarlier(TFileInfoList& list) {
    std::deque<TResultRow> earlier;
    earlier.push_back({"earlier", std::make_unique<TFileGroup>()});
    list.AddAll(std::move(earlier));
}

// Reads bytes into a list that still holds an earlier result, with earlier totals 7 and 0.5.
TLoaded Load(std::string_view data) {
    TFileInfoList list;
    AddEarlier(list);
    TLoaded loaded{TLoadOutcome::Loaded, {}, 7, 0.5};
    loaded.Outcome = ReadResultList(data, list, loaded.FilesRead, loaded.ElapsedTime);
    loaded.Groups = Describe(list);
    return loaded;
}

// One group of one copy, each field given as its line.
std::string Group(const std::string& count, const std::string& size = "1024",
                  const std::string& time = "776032614", const std::string& low = "1",
                  const std::string& high = "0") {
    return Lines({"x", count, "/a/x", size, time, low, high});
}

TEST(ResultListFileTest, WritesTheExampleByteForByteAndReadsItBack) {
    TTestTree tree;
    const uint64_t stamp = LastWriteTimeFromUnix(Feb1st2003At101112, 0);
    const uint32_t time = DosDateTimeFromUnix(Feb1st2003At101112);
    std::vector<TResultRow> rows;
    rows.push_back(Row("readme.txt", {Copy("c:\\temp\\readme.txt", 1024, time, stamp),
                                      Copy("c:\\temp\\old\\readme.txt", 1024, time, stamp)}));
    TOptionRec options;
    options.ScanPath = "C:\\Temp";
    options.FileTypes = "*.*";
    SaveResultList(tree / "result.twl", options, 12, 12.0 / 86400, rows);

    const std::string expected =
        Header + Lines({"readme.txt", "2", "c:\\temp\\readme.txt", "1024", "776032614",
                        "1060151296", "29542874", "c:\\temp\\old\\readme.txt", "1024", "776032614",
                        "1060151296", "29542874"});
    EXPECT_EQ(ReadBytes(tree / "result.twl"), expected);

    const TLoaded loaded = Load(expected);
    EXPECT_EQ(loaded.Outcome, TLoadOutcome::Loaded);
    EXPECT_EQ(loaded.Groups,
              (std::vector<std::string>{
                  "[readme.txt] c:\\temp\\readme.txt|1024|776032614|126885678720000000"
                  " c:\\temp\\old\\readme.txt|1024|776032614|126885678720000000"}));
    EXPECT_EQ(loaded.FilesRead, 12);
    EXPECT_NEAR(loaded.ElapsedTime, 12.0 / 86400, 1e-18);
}

TEST(ResultListFileTest, RealsHaveFifteenDigitsRoundedAwayFromZero) {
    const std::pair<double, const char*> cases[] = {
        {0.0, " 0.00000000000000E+0000"},
        {-0.0, " 0.00000000000000E+0000"},
        {1.0, " 1.00000000000000E+0000"},
        {-2.5, "-2.50000000000000E+0000"},
        {0.1, " 1.00000000000000E-0001"},
        {12.0 / 86400, " 1.38888888888889E-0004"},
        // Exactly 1 + 2^-15: the dropped digit is a 5 with nothing after it (printf would
        // round to the even 2).
        {1.000030517578125, " 1.00003051757813E+0000"},
        {-1.000030517578125, "-1.00003051757813E+0000"},
        // The double nearest 9.999999999999996 is 9.99999999999999644...: the carry makes 10.
        {9.999999999999996, " 1.00000000000000E+0001"},
        // ... but the one nearest 9.999999999999995 is 9.99999999999999467...: no carry.
        {9.999999999999995, " 9.99999999999999E+0000"},
        {123456789012345678.0, " 1.23456789012346E+0017"},
        {1e-300, " 1.00000000000000E-0300"},
        {5e-324, " 4.94065645841247E-0324"},
        {-1.7976931348623157e308, "-1.79769313486232E+0308"},
    };
    for (const auto& [value, expected] : cases) {
        const std::string text = FormatResultReal(value);
        EXPECT_EQ(text, expected) << value;
        EXPECT_EQ(text.size(), 23u) << value;
    }
}

TEST(ResultListFileTest, ReadingBackGivesTheSameResultInTheListsOrder) {
    TTestTree tree;
    std::vector<TResultRow> rows;
    rows.push_back(Row("b.txt", {Copy("/x/b.txt", 5 * GiB, 0xF0000000u, UINT64_MAX),
                                 Copy("/y/b.txt", 5 * GiB, 0, 0)}));
    rows.push_back(Row("A.txt", {Copy(" /blanks kept/A.txt ", 3, 776032614, 0x1FFFFFFFFull)}));
    rows.push_back(Row("a.txt", {Copy("/p/a.txt", 1, 1, 2), Copy("/q/a.txt", 2, 3, 4)}));
    // Enough copies to take the file past the reader's block size.
    std::vector<TFileInfoRec> many;
    for (int i = 0; i < 2000; ++i)
        many.push_back(
            Copy("/some/rather/long/directory/name/number/" + std::to_string(i) + "/many.dat", i,
                 static_cast<uint32_t>(i), static_cast<uint64_t>(i) << 20));
    rows.push_back(Row("many.dat", many));
    const double elapsed = 1234.567890123456789;
    SaveResultList(tree / "result.twl", DefaultOptions(), INT32_MAX, elapsed, rows);
    // The rows go out in their own order, sorted or not; the DOS time as a signed value.
    const std::string text = ReadBytes(tree / "result.twl");
    const size_t b = text.find(Lines({"b.txt", "2", "/x/b.txt", "5368709120", "-268435456",
                                      "4294967295", "4294967295", "/y/b.txt"}));
    EXPECT_EQ(b,
              Lines({Indicator, "/tmp", "", "", "2147483647", " 1.23456789012346E+0003"}).size());
    EXPECT_LT(b, text.find("\r\nA.txt\r\n1\r\n /blanks kept/A.txt \r\n"));
    EXPECT_LT(text.find("\r\nA.txt\r\n"), text.find("\r\na.txt\r\n"));

    TFileInfoList list;
    AddEarlier(list);
    int32_t filesRead = 0;
    double elapsedTime = 0;
    ASSERT_EQ(LoadResultList(tree / "result.twl", list, filesRead, elapsedTime),
              TLoadOutcome::Loaded);
    // Sorted as the list sorts; of the equal keys the later in the file comes first.
    EXPECT_EQ(Describe(list), (std::vector<std::string>{Describe("a.txt", *rows[2].Group),
                                                        Describe("A.txt", *rows[1].Group),
                                                        Describe("b.txt", *rows[0].Group),
                                                        Describe("many.dat", *rows[3].Group)}));
    EXPECT_EQ(filesRead, INT32_MAX);
    EXPECT_GT(text.size(), 65536u * 2);
    EXPECT_EQ(FormatResultReal(elapsedTime), FormatResultReal(elapsed));
    EXPECT_NEAR(elapsedTime, elapsed, elapsed * 1e-14);
}

TEST(ResultListFileTest, AWrongFirstLineReadsNothingElse) {
    const std::string body = Group("1");
    std::string lfOnly = Header + body;
    for (size_t at; (at = lfOnly.find('\r')) != std::string::npos;)
        lfOnly.erase(at, 1);
    const std::pair<const char*, std::string> cases[] = {
        {"trailing blank", Indicator + " \r\n" + Header.substr(Indicator.size() + 2) + body},
        {"other case",
         "twinseek saved result version 1.3\r\n" + Header.substr(Indicator.size() + 2)},
        {"LF line ends", lfOnly},
        {"empty file", ""},
    };
    for (const auto& [name, data] : cases) {
        const TLoaded loaded = Load(data);
        EXPECT_EQ(loaded.Outcome, TLoadOutcome::WrongIndicator) << name;
        EXPECT_EQ(loaded.Groups, std::vector<std::string>{}) << name;
        EXPECT_EQ(loaded.FilesRead, 7) << name;
        EXPECT_EQ(loaded.ElapsedTime, 0.5) << name;
    }
    EXPECT_EQ(LoadOutcomeMessage(TLoadOutcome::WrongIndicator),
              "File has not the right file indicator.");
}

TEST(ResultListFileTest, ABadFieldDropsTheGroupsButKeepsTheTotalsRead) {
    const std::string thirdBad = Header + Group("1") + Group("1") + Group("1", "1O24");
    const std::string tooLong = "1" + std::string(32, '0'); // 33 digits
    const std::string bodies[] = {thirdBad,
                                  Header + Group("abc"),
                                  Header + Group("+-5"),
                                  Header + Group("-+5"),
                                  Header + Group("5x"),
                                  Header + Group("0x10"),
                                  Header + Group("2147483648"),
                                  Header + Group(tooLong),
                                  Header + Group("1", "-"),
                                  Header + Group("1", "9223372036854775808"),
                                  Header + Group("1", "1024", "4294967295"),
                                  Header + Group("1", "1024", "1.5"),
                                  Header + Group("1", "1024", "1", "9223372036854775808"),
                                  Header + Group("1", "1024", "1", "$10")};
    for (const std::string& data : bodies) {
        const TLoaded loaded = Load(data);
        EXPECT_EQ(loaded.Outcome, TLoadOutcome::Damaged) << data;
        EXPECT_EQ(loaded.Groups, std::vector<std::string>{}) << data;
        EXPECT_EQ(loaded.FilesRead, 12) << data;
        EXPECT_EQ(FormatResultReal(loaded.ElapsedTime), " 1.38888888888889E-0004") << data;
    }
    EXPECT_EQ(LoadOutcomeMessage(TLoadOutcome::Damaged),
              "Unexpected file structure or size. Opening aborted.");
}

TEST(ResultListFileTest, TheScanTimeIsAPlainDecimalNumber) {
    // A well-formed number too small for a double reads as 0; one too large for it is none.
    const std::pair<const char*, double> good[] = {
        {"  +2.5e+1 seconds", 25}, {".5", 0.5},  {"5.", 5}, {"-1E-3", -0.001}, {"\t7", 7},
        {"4.9e-324", 4.9e-324},    {"1e-400", 0}};
    for (const auto& [line, value] : good) {
        const TLoaded loaded = Load(Lines({Indicator, "", "", "", "3", line}) + Group("1"));
        EXPECT_EQ(loaded.Outcome, TLoadOutcome::Loaded) << line;
        EXPECT_EQ(loaded.ElapsedTime, value) << line;
        EXPECT_EQ(loaded.Groups.size(), 1u) << line;
    }
    for (const char* line :
         {"1,5", "1e", "e5", "nan", "inf", "0x1p3", "1.5.", "--1", ".", "1e400"}) {
        const TLoaded loaded = Load(Lines({Indicator, "", "", "", "3", line}) + Group("1"));
        EXPECT_EQ(loaded.Outcome, TLoadOutcome::Damaged) << line;
        EXPECT_EQ(loaded.FilesRead, 3) << line;
    }
}

TEST(ResultListFileTest, ToleratesWhatTheReaderIsMeantToTolerate) {
    const std::string x = "/a/x|1024|776032614|1";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {Header, {}},
        {Header + Group("1") + "\r\n", {"[]", "[x] " + x}},
        // The last entry without its stamp lines.
        {Header + Lines({"x", "1", "/a/x", "1024", "776032614"}), {"[x] /a/x|1024|776032614|0"}},
        {Header + Lines({"w", "-3"}) + Group("1"), {"[w]", "[x] " + x}},
        {Header + Lines({"x", "0"}) + Group("1"), {"[x] " + x, "[x]"}},
        // Ctrl-Z ends the data, also in the middle of a line.
        {Header + Group("1") + "\x1a" + Group("1"), {"[x] " + x}},
        {Header + Lines({"x", "1", "/a/x", std::string("10\x1a") + "24", "5", "6", "7"}),
         {"[x] /a/x|10|0|0"}},
        // Blanks, control bytes and empty lines before a number; anything after it.
        {Header + "  x  \r\n\r\n \t+1 copy\r\n/a/x\r\n  1024 bytes\r\n\r\n\r\n\t776032614\r\n-1 "
                  "low\r\n4294967297\r\n",
         {"[  x  ] /a/x|1024|776032614|8589934591"}},
        {Header + Group("1", "9223372036854775807", "-1"),
         {"[x] /a/x|9223372036854775807|4294967295|1"}},
        {Header + Group("1", "-5", "-2147483648"), {"[x] /a/x|-5|2147483648|1"}},
        // An integer is at most 32 bytes long: the rest of the token is dropped with its line.
        {Header + Group("1", std::string(32, '0') + "99"), {"[x] /a/x|0|776032614|1"}},
        // Copies that lie wholly beyond the end are not made up; a cut-off one is kept.
        {Header + Group("3") + Lines({"/b/x", "7"}), {"[x] " + x + " /b/x|7|0|0"}},
    };
    for (const auto& [data, groups] : cases) {
        const TLoaded loaded = Load(data);
        EXPECT_EQ(loaded.Outcome, TLoadOutcome::Loaded) << data;
        EXPECT_EQ(loaded.Groups, groups) << data;
        EXPECT_EQ(loaded.FilesRead, 12) << data;
    }
}

TEST(ResultListFileTest, AHugeCountWithLittleDataEndsAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    const TLoaded loaded = Load(Header + Group("2000000000"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(loaded.Outcome, TLoadOutcome::Loaded);
    EXPECT_EQ(loaded.Groups, std::vector<std::string>{"[x] /a/x|1024|776032614|1"});
}

TEST(ResultListFileTest, FileFailures) {
    TTestTree tree;
    TFileInfoList list;
    AddEarlier(list);
    int32_t filesRead = 7;
    double elapsedTime = 0.5;
    try {
        LoadResultList(tree / "missing.twl", list, filesRead, elapsedTime);
        FAIL() << "a missing file was read";
    } catch (const EInOutError& error) {
        EXPECT_STREQ(error.what(), "File not found");
    }
    EXPECT_EQ(list.Count(), 0);

    std::vector<TResultRow> rows;
    rows.push_back(Row("x", std::vector<TFileInfoRec>(3000, Copy("/a/x", 1, 2, 3))));
    try {
        SaveResultList(tree / "missing/result.twl", DefaultOptions(), 0, 0, rows);
        FAIL() << "no error for a missing directory";
    } catch (const EInOutError& error) {
        EXPECT_STREQ(error.what(), "File not found");
    }

    // A save that fails part-way leaves the file it was to replace as it was.
    const std::string kept = tree / "kept.twl";
    std::ofstream(kept, std::ios::binary) << "old content";
    try {
        TFileSizeCap cap(4096);
        SaveResultList(kept, DefaultOptions(), 0, 0, rows);
        FAIL() << "no error for a write beyond the size limit";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.ErrorCode(), EFBIG);
    }
    EXPECT_EQ(ReadBytes(kept), "old content");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Root()))
        names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"kept.twl"});
}

TEST(ResultListFileTest, AScannedResultSurvivesSaveAndLoadByteForByte) {
    TTestTree tree{{"a/big.iso", 3 * GiB},   {"b/big.iso", 3 * GiB}, {"a/readme.txt", 10},
                   {"b/sub/README.TXT", 10}, {"c/readme.txt", 10},   {"c/unique.doc", 1}};
    TOptionRec options = DefaultOptions();
    options.ScanPath = tree.Root();
    options.FileTypes = "*.*";
    TScan scan;
    ASSERT_TRUE(scan.Run(options));
    std::vector<TResultRow> rows = std::move(scan.Last().Rows);
    ASSERT_EQ(rows.size(), 2u);
    const int32_t filesRead = scan.Listener.Messages().back().First;
    SaveResultList(tree / "first.twl", options, filesRead, 0.000123456789012345678, rows);

    TFileInfoList list;
    int32_t loadedFiles = 0;
    double loadedTime = 0;
    ASSERT_EQ(LoadResultList(tree / "first.twl", list, loadedFiles, loadedTime),
              TLoadOutcome::Loaded);
    EXPECT_EQ(loadedFiles, 6);
    std::vector<TResultRow> loaded = list.TakeRows();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(Describe(loaded[0].Caption, *loaded[0].Group),
              Describe(rows[0].Caption, *rows[0].Group));
    EXPECT_EQ(loaded[0].Group->Info(0).Size, 3 * GiB);
    SaveResultList(tree / "second.twl", options, loadedFiles, loadedTime, loaded);
    const std::string first = ReadBytes(tree / "first.twl");
    EXPECT_NE(first.find("\r\n3221225472\r\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(tree / "second.twl"), first);
}

TEST(ResultListFileTest, TimesAtTheEndOfTheDosRangeSurviveScanSaveLoadAndReport) {
    // The DOS time ends with 2107: the last two seconds of that year share one step, and every
    // later moment packs as 0 (so such copies compare equal in time), while the last-write
    // stamp and the date shown go on.
    constexpr time_t Dec31st2107At235958 = 4354819198;
    constexpr time_t Jan1st2108 = Dec31st2107At235958 + 2;
    constexpr time_t Jan2nd2108At010203 = Jan1st2108 + 86400 + 3723;
    const std::pair<const char*, time_t> files[] = {
        {"a/x.txt", Dec31st2107At235958}, {"b/x.txt", Jan1st2108 - 1},
        {"a/y.txt", Jan1st2108 - 1},      {"b/y.txt", Jan1st2108},
        {"a/z.txt", Jan1st2108},          {"b/z.txt", Jan2nd2108At010203}};
    TTestTree tree;
    for (const auto& [path, time] : files) {
        tree.File(path, 10);
        const timespec times[2] = {{time, 0}, {time, 0}};
        struct stat status {};
        if (utimensat(AT_FDCWD, (tree / path).c_str(), times, 0) != 0 ||
            stat((tree / path).c_str(), &status) != 0 || status.st_mtime != time)
            GTEST_SKIP() << "the file system of " << tree.Root() << " keeps no time after 2106";
    }

    TOptionRec options = DefaultOptions();
    options.ScanPath = tree.Root();
    TScan scan;
    ASSERT_TRUE(scan.Run(options));
    const std::vector<TResultRow> rows = std::move(scan.Last().Rows);
    const std::vector<std::string> expected = {
        "[x.txt] " + tree / "b/x.txt" + "|10|4288659325|159992927990000000 " + tree / "a/x.txt" +
            "|10|4288659325|159992927980000000",
        "[z.txt] " + tree / "b/z.txt" + "|10|0|159993829230000000 " + tree / "a/z.txt" +
            "|10|0|159992928000000000"};
    std::vector<std::string> scanned;
    for (const TResultRow& row : rows)
        scanned.push_back(Describe(row.Caption, *row.Group));
    EXPECT_EQ(scanned, expected);

    SaveResultList(tree / "r.twl", options, 6, 0, rows);
    EXPECT_NE(ReadBytes(tree / "r.twl").find("\r\n-6307971\r\n"), std::string::npos)
        << "the DOS time of 2107 goes out as a signed value";
    TFileInfoList list;
    int32_t filesRead = 0;
    double elapsed = 0;
    ASSERT_EQ(LoadResultList(tree / "r.twl", list, filesRead, elapsed), TLoadOutcome::Loaded);
    EXPECT_EQ(Describe(list), expected);

    TLocaleFormats formats;
    formats.ShortDate = "%d.%m.%Y";
    formats.LongTime = "%H:%M:%S";
    SaveTextReport(tree / "report.txt", filesRead, elapsed, list.TakeRows(), formats);
    const std::string report = ReadBytes(tree / "report.txt");
    for (const std::string& line : {tree / "b/x.txt" + ", 10, 31.12.2107 23:59:59,\r\n",
                                    tree / "a/x.txt" + ", 10, 31.12.2107 23:59:58,\r\n",
                                    tree / "b/z.txt" + ", 10, 02.01.2108 01:02:03,\r\n",
                                    tree / "a/z.txt" + ", 10, 01.01.2108,\r\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "in\n" << report;
}

// Saves the rows with the example's options; returns what was left out and the rows read back.
struct TSaved {
    TLeftOutCopies LeftOut;
    std::vector<std::string> Groups;
    std::string Bytes;
};

TSaved SaveAndLoad(const std::vector<TResultRow>& rows) {
    TTestTree tree;
    TOptionRec options;
    options.ScanPath = "C:\\Temp";
    options.FileTypes = "*.*";
    TSaved saved;
    saved.LeftOut = SaveResultList(tree / "r.twl", options, 12, 12.0 / 86400, rows);
    saved.Bytes = ReadBytes(tree / "r.twl");
    const TLoaded loaded = Load(saved.Bytes);
    EXPECT_EQ(loaded.Outcome, TLoadOutcome::Loaded);
    saved.Groups = loaded.Groups;
    return saved;
}

const std::string MiB(MaxResultListLine, 'm');

TEST(ResultListFileTest, CopiesThatCannotBeStoredAreLeftOutAndCounted) {
    struct TCase {
        const char* Name;
        std::string Key;
        std::vector<std::string> Paths;
        std::vector<std::string> Kept; // the others are left out, in their order
    };
    // A CR in a directory name once spelled a forged copy of a file never scanned.
    const std::string forged = "/t/a\r\n1\r\n/etc/passwd\r\n9\r\n0\r\n0\r\n0\r\nb/x";
    const std::string longest = "/" + MiB.substr(1);
    const std::vector<TCase> cases{
        {"plain names", "x", {"/a/x", "/b/x"}, {"/a/x", "/b/x"}},
        {"a forged entry in a directory name", "x", {forged, "/b/x", "/c/x"}, {"/b/x", "/c/x"}},
        {"LF in a name", "x", {"/a/x", "/b/x\n", "/c/x"}, {"/a/x", "/c/x"}},
        {"Ctrl-Z in a directory", "x", {"/a\x1a/x", "/b/x", "/c/x"}, {"/b/x", "/c/x"}},
        {"a path of 1 MiB", "m", {longest, "/b/m"}, {longest, "/b/m"}},
        {"a path longer than 1 MiB", "m", {"/b/m", "/" + MiB}, {"/b/m"}},
        {"every copy left out", "x", {"/a\r/x", "/b\r/x"}, {}},
        {"a name key with CR", "x\r", {"/a/x\r", "/b/x\r"}, {}},
        {"a name key with LF", "\nx", {"/a/\nx", "/b/\nx"}, {}},
        {"a name key longer than 1 MiB", MiB + "m", {"/a/x", "/b/x"}, {}},
        {"other controls and invalid UTF-8",
         "z\t\x7f\xff",
         {"/\x1b/\t\xff", "/b/x"},
         {"/\x1b/\t\xff", "/b/x"}},
    };
    for (const TCase& c : cases) {
        std::vector<TResultRow> rows;
        rows.push_back(Row("before", {Copy("/a/before", 5, 6, 7), Copy("/b/before", 5, 6, 7)}));
        rows.push_back(Row(c.Key, {}));
        std::vector<std::string> groups{"[before] /a/before|5|6|7 /b/before|5|6|7"};
        std::string kept = "[" + c.Key + "]";
        std::vector<std::string> leftOut;
        for (const std::string& path : c.Paths) {
            rows.back().Group->Add(Copy(path, 1, 2, 3));
            if (std::find(c.Kept.begin(), c.Kept.end(), path) != c.Kept.end())
                kept += " " + path + "|1|2|3";
            else
                leftOut.push_back(path);
        }
        if (!c.Kept.empty())
            groups.push_back(kept);
        const TSaved saved = SaveAndLoad(rows);
        EXPECT_EQ(saved.Groups, groups) << c.Name;
        EXPECT_EQ(saved.LeftOut.Count, static_cast<int64_t>(leftOut.size())) << c.Name;
        EXPECT_EQ(saved.LeftOut.FirstPath, leftOut.empty() ? "" : leftOut[0]) << c.Name;
    }
}

TEST(ResultListFileTest, LeftOutCopiesAreCountedOverAllGroupsAndTheCountFollows) {
    std::vector<TResultRow> rows;
    rows.push_back(
        Row("a", {Copy("/1/a", 1, 2, 3), Copy("/2\r/a", 1, 2, 3), Copy("/3/a", 1, 2, 3)}));
    rows.push_back(Row("b\n", {Copy("/1/b", 1, 2, 3), Copy("/2/b", 1, 2, 3)}));
    rows.push_back(Row("c", {Copy("/1/c\n", 1, 2, 3), Copy("/2/c", 1, 2, 3)}));
    rows.push_back(Row("empty", {}));
    const TSaved saved = SaveAndLoad(rows);
    EXPECT_EQ(saved.LeftOut.Count, 4);
    EXPECT_EQ(saved.LeftOut.FirstPath, "/2\r/a");
    // The count written is that of the copies written; a group keeps its single survivor, and
    // a group read without copies is written as before.
    EXPECT_EQ(saved.Bytes,
              Header + Lines({"a", "2", "/1/a", "1",    "2", "3", "0", "/3/a", "1",     "2", "3",
                              "0", "c", "1",    "/2/c", "1", "2", "3", "0",    "empty", "0"}));
    EXPECT_EQ(LeftOutCopiesMessage(saved.LeftOut),
              "Copies left out of the saved list: 4 (a path or name holds a line break or byte "
              "26, or is longer than 1 MiB). The first: /2\\r/a");
    EXPECT_EQ(LeftOutCopiesMessage(TLeftOutCopies()), "");
}

TEST(ResultListFileTest, ALineBreakInTheOptionTextsSavesNothing) {
    struct TCase {
        const char* Name;
        std::string TOptionRec::*Field;
        std::string Value;
    };
    const TCase cases[] = {
        {"CR in the scan text", &TOptionRec::ScanPath, "/a\r/etc"},
        {"LF in the exclude text", &TOptionRec::ExcludePath, "/a\n"},
        {"Ctrl-Z in the masks", &TOptionRec::FileTypes, "*.\x1a"},
        // The reader would take the file for damaged.
        {"scan text longer than a line", &TOptionRec::ScanPath,
         std::string(MaxResultListLine + 1, 'a')},
    };
    std::vector<TResultRow> rows;
    rows.push_back(Row("x", {Copy("/a/x", 1, 2, 3), Copy("/b/x", 1, 2, 3)}));
    for (const TCase& c : cases) {
        TTestTree tree;
        TOptionRec options = DefaultOptions();
        options.*c.Field = c.Value;
        std::ofstream(tree / "old.twl", std::ios::binary) << "old";
        for (const char* name : {"old.twl", "new.twl"}) {
            try {
                SaveResultList(tree / name, options, 1, 0, rows);
                ADD_FAILURE() << c.Name << ": saved";
            } catch (const EFileError& error) {
                EXPECT_STREQ(error.what(), "The scan, exclude or mask text holds a line break or "
                                           "byte 26, or is longer than 1 MiB; the result list "
                                           "was not saved.")
                    << c.Name;
            }
        }
        EXPECT_EQ(ReadBytes(tree / "old.twl"), "old") << c.Name;
        EXPECT_FALSE(std::filesystem::exists(tree / "new.twl")) << c.Name;
        // Written into an open writer, not a byte reaches it either.
        const int fd = memfd_create("list", 0);
        TTextFileWriter out = TTextFileWriter::ForDescriptor(fd);
        EXPECT_THROW(WriteResultList(out, options, 1, 0, rows), EFileError) << c.Name;
        out.Close();
        EXPECT_EQ(lseek(fd, 0, SEEK_END), 0) << c.Name;
        close(fd);
    }
}

TEST(ResultListFileTest, ALineLongerThanOneMebibyteIsDamage) {
    struct TCase {
        const char* Name;
        std::string Data;
        TLoadOutcome Outcome;
    };
    const std::string copy = Lines({"1", "2", "3", "0"});
    const std::vector<TCase> cases{
        {"a path of 1 MiB", Header + Lines({"x", "1", MiB}) + copy, TLoadOutcome::Loaded},
        {"a path one byte longer", Header + Lines({"x", "1", MiB + "m"}) + copy,
         TLoadOutcome::Damaged},
        {"a key one byte longer", Header + Lines({MiB + "m", "1", "/a/x"}) + copy,
         TLoadOutcome::Damaged},
        {"a scan text one byte longer", Indicator + "\r\n" + MiB + "m\r\n\r\n*.*\r\n12\r\n0\r\n",
         TLoadOutcome::Damaged},
        {"endless bytes without a line end", Header + "x\r\n1\r\n" + std::string(3 << 20, '\0'),
         TLoadOutcome::Damaged},
    };
    for (const TCase& c : cases) {
        const TLoaded loaded = Load(c.Data);
        EXPECT_EQ(loaded.Outcome, c.Outcome) << c.Name;
        EXPECT_EQ(loaded.Groups.size(), c.Outcome == TLoadOutcome::Loaded ? 1u : 0u) << c.Name;
    }
}

TEST(ResultListFileTest, OnlyARegularFileIsRead) {
    TTestTree tree;
    tree.Fifo("pipe.twl");
    tree.Dir("dir.twl");
    for (const std::string& name :
         {tree / "pipe.twl", tree / "dir.twl", std::string("/dev/zero")}) {
        // A pipe without a writer would wait for ever, /dev/zero would never end.
        const TChildOutcome outcome = RunBoundedChild(
            [&]() -> std::string {
                TFileInfoList list;
                AddEarlier(list);
                int32_t filesRead = 7;
                double elapsedTime = 0.5;
                try {
                    LoadResultList(name, list, filesRead, elapsedTime);
                } catch (const EInOutError& error) {
                    return error.what() + std::string(list.Count() == 0 ? "" : ", list kept");
                }
                return "read";
            },
            20);
        EXPECT_TRUE(outcome.Ended) << name;
        EXPECT_EQ(outcome.Output, "File access denied") << name;
    }
}

// Loads the file in a child and compares the memory it took with the bound.
void ExpectLoadWithinMemoryBound(const std::string& file, const char* what) {
    const long long size = static_cast<long long>(std::filesystem::file_size(file));
    const TChildOutcome outcome = RunBoundedChild([&]() -> std::string {
        TFileInfoList list;
        int32_t filesRead = 0;
        double elapsedTime = 0;
        const long long before = PeakMemory();
        if (LoadResultList(file, list, filesRead, elapsedTime) != TLoadOutcome::Loaded)
            return "not loaded";
        const long long used = PeakMemory() - before;
        if (used > MemoryBound(size))
            return std::to_string(size) + " bytes read with " + std::to_string(used) + " bytes";
        return ChildHeld;
    });
    EXPECT_TRUE(outcome.Ended) << what;
    EXPECT_EQ(outcome.Output, ChildHeld) << what;
}

TEST(ResultListFileTest, ReadingTakesAtMostThirtyTwoTimesTheFileSize) {
    if (!MemoryIsMeasurable)
        GTEST_SKIP() << "memory is not measured under a sanitizer";
    TTestTree tree;
    const std::string file = tree / "worst.twl";
    struct TCase {
        const char* Name;
        std::string Group; // repeated
        size_t Repeats;
    };
    // The smallest blocks the reader accepts: groups without copies, copies with an empty path
    // and one-digit numbers, copies in alternating directories that cannot share a string.
    const std::string copy = "\r0\r0\r0\r0\r";
    const std::vector<TCase> cases{
        {"empty groups", "\r0\r", 5 << 20},
        {"empty copies",
         "x\r1000000\r" +
             [&] {
                 std::string block;
                 for (int i = 0; i < 1000000; ++i)
                     block += copy;
                 return block;
             }(),
         3},
        {"copies in changing directories", "x\r2\ra/" + copy + "b/" + copy, 1 << 20},
    };
    for (const TCase& c : cases) {
        {
            std::ofstream out(file, std::ios::binary);
            out << Header;
            for (size_t i = 0; i < c.Repeats; ++i)
                out << c.Group;
        }
        ExpectLoadWithinMemoryBound(file, c.Name);
    }
}

} // namespace
