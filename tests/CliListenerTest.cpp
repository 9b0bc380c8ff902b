#include "CliListener.h"
#include "CliScan.h"
#include "ScanThread.h"
#include "TestTree.h"

#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <new>

namespace {

// The progress line of the command line, written to a memory stream in place of a terminal.
class CliListenerTest : public testing::Test {
  protected:
    void SetUp() override { Stream = open_memstream(&Buffer, &Size); }
    void TearDown() override {
        if (Stream != nullptr)
            std::fclose(Stream);
        std::free(Buffer);
    }
    std::string Output() {
        std::fflush(Stream);
        return std::string(Buffer, Size);
    }

    char* Buffer = nullptr;
    size_t Size = 0;
    FILE* Stream = nullptr;
};

TEST_F(CliListenerTest, ShowsProgressAndClearsTheLineAtTheEnd) {
    TCliListener listener(Stream, TLocaleFormats());
    listener.Start();
    listener.ScanMessage(WM_SCAN_PROGRESS, 5, 2);
    EXPECT_EQ(Output(), "\rTime: 00:00:00  Files read: 5  Directories read: 2\x1b[K");
    listener.ScanMessage(WM_SCAN_CHECK, 0, 0); // the last check is always shown
    EXPECT_NE(Output().find("\rTime: 00:00:00  Files to check: 0\x1b[K"), std::string::npos);

    listener.ScanMessage(WM_SCAN_DONE, 3, 0);
    listener.WaitDone();
    EXPECT_EQ(Output().substr(Output().size() - 4), "\r\x1b[K"); // the line is cleared
}

TEST_F(CliListenerTest, WithoutATerminalNothingIsShown) {
    TCliListener listener(nullptr, TLocaleFormats());
    listener.Start();
    listener.ScanMessage(WM_SCAN_PROGRESS, 5, 2);
    listener.ScanMessage(WM_SCAN_DONE, 0, 0);
    listener.WaitDone();
    EXPECT_EQ(Output(), "");
}

TEST(CliScanTest, ScansAndSaysWhatWentWrong) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}};
    TOptionRec options = DefaultOptions();
    options.ScanPath = tree.Root();

    // A failure on the scan thread ends the scan without a result, and the program goes on.
    TScanThread::FaultHook = [](TScanThread::TScanStep step) {
        if (step == TScanThread::TScanStep::Grouping)
            throw std::bad_alloc();
    };
    TScanResult result = RunCliScan(options, nullptr, TLocaleFormats());
    TScanThread::FaultHook = nullptr;
    EXPECT_EQ(result.Failure, "Out of memory");
    EXPECT_EQ(result.FilesRead, 0);
    EXPECT_TRUE(result.Rows.empty());

    TTestTree single{{"a/x.txt"}, {"b/x.txt"}, {"c/once.txt"}};
    options.ScanPath = single.Root();
    result = RunCliScan(options, nullptr, TLocaleFormats());
    EXPECT_EQ(result.Failure, "");
    EXPECT_EQ(result.FilesRead, 3);
    EXPECT_GT(result.ElapsedTime, 0.0);
    // A name found once is not part of the result.
    ASSERT_EQ(result.Rows.size(), 1u);
    EXPECT_EQ(result.Rows[0].Count(), 2);
    EXPECT_TRUE(result.RootFailures.empty());

    // A scan directory that cannot be opened is named; the others are scanned.
    options.ScanPath = tree / "a;" + tree / "missing;" + tree / "b";
    result = RunCliScan(options, nullptr, TLocaleFormats());
    EXPECT_EQ(result.Failure, "");
    EXPECT_EQ(result.Rows.size(), 1u);
    ASSERT_EQ(result.RootFailures.size(), 1u);
    EXPECT_EQ(result.RootFailures[0].Dir, tree / "missing");
    EXPECT_EQ(result.RootFailures[0].ErrorCode, ENOENT);
}

} // namespace
