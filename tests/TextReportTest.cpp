#include "TextReport.h"
#include "FileTimes.h"
#include "IoError.h"
#include "ScanWorkers.h"
#include "TestTree.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

// The tests run with TZ=UTC.
constexpr int64_t Feb1st2003At101112 = 1044094272;
constexpr int64_t Jan5th2004Midnight = 1073260800;

TLocaleFormats DayMonthYear() {
    TLocaleFormats formats;
    formats.ShortDate = "%d.%m.%Y";
    formats.LongTime = "%H:%M:%S";
    return formats;
}

TFileInfoRec Copy(const std::string& path, int64_t size, int64_t unixTime) {
    TFileInfoRec info = FileInfoForPath(path);
    info.Size = size;
    info.Time = DosDateTimeFromUnix(unixTime);
    info.LastWriteTime = LastWriteTimeFromUnix(unixTime, 0);
    return info;
}

TResultRow Row(const std::string& caption, std::initializer_list<TFileInfoRec> copies) {
    TResultRow row{caption, std::make_unique<TFileGroup>()};
    for (const TFileInfoRec& copy : copies)
        row.Group->Add(copy);
    return row;
}

TEST(FileTimesTest, StampsAndDosTimesOfAKnownMoment) {
    const uint64_t stamp = LastWriteTimeFromUnix(Feb1st2003At101112, 0);
    EXPECT_EQ(stamp & 0xffffffffu, 1060151296u);
    EXPECT_EQ(stamp >> 32, 29542874u);
    EXPECT_EQ(LastWriteTimeFromUnix(0, 123456789), 116444736001234567u);
    EXPECT_EQ(DosDateTimeFromUnix(Feb1st2003At101112), 776032614u);
    // Two seconds are one step: 10:11:12 and 10:11:13 pack alike.
    EXPECT_EQ(DosDateTimeFromUnix(Feb1st2003At101112 + 1), 776032614u);
    EXPECT_EQ(DosDateTimeFromUnix(315532799), 0u);  // 1979-12-31 23:59:59
    EXPECT_NE(DosDateTimeFromUnix(315532800), 0u);  // 1980-01-01
    EXPECT_EQ(DosDateTimeFromUnix(4354819200), 0u); // 2108-01-01
}

TEST(FileTimesTest, TimeTextShowsTheFractionOfADay) {
    const TLocaleFormats formats = DayMonthYear();
    EXPECT_EQ(TimeText(12.0 / 86400, formats), "00:00:12");
    EXPECT_EQ(TimeText(67.0 / 86400, formats), "00:01:07");
    EXPECT_EQ(TimeText(25.0 / 24, formats), "01:00:00");
    EXPECT_EQ(TimeText(0, formats), "00:00:00");
}

TEST(TextReportTest, WritesTheExampleByteForByte) {
    TTestTree tree;
    std::vector<TResultRow> rows;
    rows.push_back(Row("readme.txt", {Copy("/tmp/readme.txt", 1024, Feb1st2003At101112),
                                      Copy("/tmp/old/readme.txt", 1024, Feb1st2003At101112)}));
    SaveTextReport(tree / "report.txt", 12, 12.0 / 86400, rows, DayMonthYear());

    EXPECT_EQ(ReadBytes(tree / "report.txt"),
              "Scanned files:    12\r\n"
              "Duplicated files: 1\r\n"
              "Scan time:        00:00:12\r\n"
              "\r\n"
              "readme.txt\r\n"
              "/tmp/readme.txt, 1024, 01.02.2003 10:11:12,\r\n"
              "/tmp/old/readme.txt, 1024, 01.02.2003 10:11:12,\r\n");
}

TEST(TextReportTest, RowsInTheirOrderWithFullSizesAndTheMidnightRule) {
    TTestTree tree;
    std::vector<TResultRow> rows;
    rows.push_back(Row("big.iso", {Copy("/a/big.iso", 3221225472, Jan5th2004Midnight),
                                   Copy("/b/big.iso", 3221225472, Jan5th2004Midnight + 1)}));
    rows.push_back(Row("one left.txt", {Copy("/a, b/one left.txt", 0, Feb1st2003At101112)}));
    SaveTextReport(tree / "report.txt", 7, 0, rows, DayMonthYear());

    EXPECT_EQ(ReadBytes(tree / "report.txt"), "Scanned files:    7\r\n"
                                              "Duplicated files: 2\r\n"
                                              "Scan time:        00:00:00\r\n"
                                              "\r\n"
                                              "big.iso\r\n"
                                              "/a/big.iso, 3221225472, 05.01.2004,\r\n"
                                              "/b/big.iso, 3221225472, 05.01.2004 00:00:01,\r\n"
                                              "\r\n"
                                              "one left.txt\r\n"
                                              "/a, b/one left.txt, 0, 01.02.2003 10:11:12,\r\n");
}

TEST(TextReportTest, AnEmptyResultEndsAfterTheTotals) {
    TTestTree tree;
    SaveTextReport(tree / "report.txt", 0, 0, {}, TLocaleFormats());
    EXPECT_EQ(ReadBytes(tree / "report.txt"),
              "Scanned files:    0\r\nDuplicated files: 0\r\nScan time:        00:00:00\r\n");
}

TEST(TextReportTest, FailuresCarryTheUsersText) {
    TTestTree tree;
    try {
        SaveTextReport(tree / "missing/report.txt", 0, 0, {}, TLocaleFormats());
        FAIL() << "no error for a missing directory";
    } catch (const EInOutError& error) {
        EXPECT_STREQ(error.what(), "File not found");
    }
    try {
        SaveTextReport("/dev/full", 0, 0, {}, TLocaleFormats());
        FAIL() << "no error for a full disk";
    } catch (const EInOutError& error) {
        EXPECT_STREQ(error.what(), "Disk full");
    }
    EXPECT_EQ(IoErrorText(EACCES), "File access denied");
    EXPECT_EQ(IoErrorText(ENAMETOOLONG), "Invalid filename");
    EXPECT_EQ(IoErrorText(EMFILE), "Too many open files");
    EXPECT_EQ(IoErrorText(EIO), "I/O error 5");
}

TEST(TextReportTest, ANameNeverBreaksALine) {
    struct TCase {
        const char* Name;
        std::string Caption;
        std::string Path;
        std::string CaptionLine;
        std::string PathText;
    };
    const std::vector<TCase> cases{
        {"CR and LF", "a\r\nb", "/d\r/a\r\nb", "a\\r\\nb", "/d\\r/a\\r\\nb"},
        {"a forged line", "x", "/t/x\r\n/etc/passwd, 1, 01.02.2003 10:11:12,", "x",
         "/t/x\\r\\n/etc/passwd, 1, 01.02.2003 10:11:12,"},
        {"other bytes as they are", "\t\x1a\xff", "/\x1b[31m/\t\x1a\xff", "\t\x1a\xff",
         "/\x1b[31m/\t\x1a\xff"},
        {"a backslash stays single", "a\\r", "/a\\r", "a\\r", "/a\\r"},
    };
    for (const TCase& c : cases) {
        TTestTree tree;
        std::vector<TResultRow> rows;
        rows.push_back(Row(c.Caption, {Copy(c.Path, 1, Feb1st2003At101112)}));
        SaveTextReport(tree / "report.txt", 1, 0, rows, DayMonthYear());
        EXPECT_EQ(
            ReadBytes(tree / "report.txt"),
            "Scanned files:    1\r\nDuplicated files: 1\r\nScan time:        00:00:00\r\n\r\n" +
                c.CaptionLine + "\r\n" + c.PathText + ", 1, 01.02.2003 10:11:12,\r\n")
            << c.Name;
    }
}

TEST(TextReportTest, EveryNameGoesThroughTheNameText) {
    TTestTree tree;
    std::vector<TResultRow> rows;
    rows.push_back(
        Row("key", {Copy("/a/key", 1, Feb1st2003At101112), Copy("/b/key", 2, Feb1st2003At101112)}));
    // A path goes through it as its directory and its name.
    SaveTextReport(tree / "report.txt", 1, 0, rows, DayMonthYear(),
                   [](std::string& out, std::string_view name) {
                       out += '<';
                       out += name;
                       out += '>';
                   });
    EXPECT_EQ(ReadBytes(tree / "report.txt"),
              "Scanned files:    1\r\nDuplicated files: 1\r\nScan time:        00:00:00\r\n\r\n"
              "<key>\r\n</a/><key>, 1, 01.02.2003 10:11:12,\r\n</b/><key>, 2, 01.02.2003 "
              "10:11:12,\r\n");
}

TEST(TextReportTest, CopiesASecondApartShowTheirOwnTimes) {
    TTestTree tree;
    std::vector<TResultRow> rows;
    TFileInfoRec later = Copy("/c/key", 3, Feb1st2003At101112);
    later.LastWriteTime += TimeStepsPerSecond / 2; // the same second
    rows.push_back(Row("key", {Copy("/a/key", 1, Feb1st2003At101112),
                               Copy("/b/key", 2, Feb1st2003At101112 + 1), later,
                               Copy("/d/key", 4, Feb1st2003At101112)}));
    rows.push_back(Row("other", {Copy("/a/other", 5, Feb1st2003At101112 + 1),
                                 Copy("/b/other", 6, Jan5th2004Midnight)}));
    SaveTextReport(tree / "report.txt", 6, 0, rows, DayMonthYear());
    EXPECT_EQ(ReadBytes(tree / "report.txt"),
              "Scanned files:    6\r\nDuplicated files: 2\r\nScan time:        00:00:00\r\n"
              "\r\nkey\r\n"
              "/a/key, 1, 01.02.2003 10:11:12,\r\n/b/key, 2, 01.02.2003 10:11:13,\r\n"
              "/c/key, 3, 01.02.2003 10:11:12,\r\n/d/key, 4, 01.02.2003 10:11:12,\r\n"
              "\r\nother\r\n"
              "/a/other, 5, 01.02.2003 10:11:13,\r\n/b/other, 6, 05.01.2004,\r\n");
}

// A large report is formatted on two cores; it is the report one core writes, byte for byte,
// whichever row the halves meet at.
TEST(TextReportTest, ALargeReportIsTheSameOnOneCoreAndOnTwo) {
    TTestTree tree;
    std::vector<TResultRow> rows;
    for (int r = 0; r < 6001; ++r) {
        TResultRow row{"name" + std::to_string(r) + (r % 7 == 0 ? "\r\n" : ""),
                       std::make_unique<TFileGroup>()};
        for (int c = 0; c < 2 + r % 5; ++c)
            row.Group->Add(Copy("/dir" + std::to_string(c) + "/name" + std::to_string(r), r * c,
                                Feb1st2003At101112 + r * 3600 * (c + 1)));
        rows.push_back(std::move(row));
    }
    std::string reports[2];
    for (const int workers : {1, 2}) {
        SetScanWorkers(workers);
        const std::string file = tree / ("report" + std::to_string(workers) + ".txt");
        SaveTextReport(file, 12345, 0.5, rows, DayMonthYear());
        reports[workers - 1] = ReadBytes(file);
    }
    SetScanWorkers(0);
    EXPECT_GT(reports[0].size(), size_t{500000});
    EXPECT_EQ(reports[0], reports[1]);
    EXPECT_NE(reports[0].find("\r\n\r\nname6000\r\n/dir0/name6000, 0, "), std::string::npos);
}

} // namespace
