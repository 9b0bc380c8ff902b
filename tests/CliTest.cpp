#include "TestTree.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace {

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs twinseek-cli through the shell, with standard error captured in a file (so it is not a
// terminal and no progress line appears).
TRun RunCli(const std::string& arguments) {
    TTestTree scratch;
    const std::string errFile = scratch / "stderr";
    const std::string command =
        std::string(TWINSEEK_CLI) + " " + arguments + " 2>'" + errFile + "'";
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 4096> buffer{};
    size_t read = 0;
    while ((read = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.Out.append(buffer.data(), read);
    const int status = pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    run.Err = text.str();
    return run;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

TEST(CliTest, ReportsTheDuplicatesOfAScan) {
    TTestTree tree{{"a/x.txt", 10}, {"b/x.txt", 10}, {"b/X.TXT", 20}, {"a/unique.txt", 1}};
    const TRun run = RunCli("--scan " + Quoted(tree.Root()) + " --compare name-size");
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    // Sizes 10, 10 and 20 under name-size: the two files of size 10 form the only row; the
    // newest-first order puts b before a.
    const std::string expected = "Scanned files:    4\r\n"
                                 "Duplicated files: 1\r\n"
                                 "Scan time:        00:00:00\r\n"
                                 "\r\n"
                                 "x.txt\r\n" +
                                 tree.Root() + "/b/x.txt, 10, 02/01/03 10:11:12,\r\n" +
                                 tree.Root() + "/a/x.txt, 10, 02/01/03 10:11:12,\r\n";
    EXPECT_EQ(run.Out, expected);
}

TEST(CliTest, OptionsReachTheScan) {
    TTestTree tree{{"a/File_A.txt", 1}, {"b/File A.txt", 1}, {"c/FileA.doc", 1}, {"old/FileA.txt", 1}};
    const std::string root = Quoted(tree.Root());
    // Ignored characters, the exclude list and the masks all take list texts.
    TRun run = RunCli("--scan " + root + " --ignore '_;\" \"' --types '*.txt' --exclude " +
                      Quoted(tree / "old") + " --compare 3");
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("Scanned files:    2\r\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\r\nfilea.txt\r\n"), std::string::npos) << run.Out;

    run = RunCli("--scan " + root + " --ignore _ --case-sensitive --compare name");
    EXPECT_NE(run.Out.find("Duplicated files: 0\r\n"), std::string::npos) << run.Out;
}

TEST(CliTest, WritesTheReportToAFile) {
    TTestTree tree{{"a/x", 1}, {"b/x", 1}};
    const std::string report = tree / "report.txt";
    const TRun run = RunCli("--scan " + Quoted(tree.Root()) + " --report " + Quoted(report));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    std::ifstream in(report, std::ios::binary);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "Scanned files:    2\r");
}

TEST(CliTest, FailuresAndUsage) {
    TTestTree tree;
    TRun run = RunCli("--scan " + Quoted(tree.Root()) + " --report " + Quoted(tree / "no/such/dir/r.txt"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("File not found"), std::string::npos) << run.Err;

    run = RunCli("--compare sideways");
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("Usage:"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");

    run = RunCli("--no-such-option");
    EXPECT_EQ(run.Status, 2);

    run = RunCli("--help");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("--case-sensitive"), std::string::npos);

    // Any integer is a compare mode; those outside 0..3 compare by name only.
    TTestTree sizes{{"a/x", 1}, {"b/x", 2}};
    run = RunCli("--scan " + Quoted(sizes.Root()) + " --compare 9");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("Duplicated files: 1\r\n"), std::string::npos) << run.Out;
}

TEST(CliTest, ConfigurationFiles) {
    TTestTree tree{{"a/x", 1}, {"b/x", 1}};
    const std::string config = tree / "in.twc";
    std::ofstream(config, std::ios::binary)
        << "[Options]\r\nVersion=3\r\nCompareMode=2\r\nIgnoreChar=_\r\nScanPath=/from/config\r\n"
           "ExcludePath=/ex\r\nFileTypes=*.txt\r\n";
    // The options given on the command line win over the file's; saving them scans nothing.
    TRun run = RunCli("--config " + Quoted(config) + " --scan " + Quoted(tree.Root()) +
                      " --compare name --case-sensitive --save-config " + Quoted(tree / "out.twc"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(ReadBytes(tree / "out.twc"),
              "[Options]\r\nVersion=3\r\nCompareMode=3\r\nCaseSensitive=1\r\nIgnoreChar=_\r\n"
              "ScanPath=" + tree.Root() + "\r\nExcludePath=/ex\r\nFileTypes=*.txt\r\n\r\n");

    // A rejected file leaves every option empty, the scan path too: nothing is scanned.
    std::ofstream(config, std::ios::binary)
        << "[Options]\r\nVersion=2\r\nScanPath=" << tree.Root() << "\r\nFileTypes=*\r\n";
    run = RunCli("--config " + Quoted(config));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.find("Scanned files:    0\r\nDuplicated files: 0\r\n"), 0u) << run.Out;

    run = RunCli("--config " + Quoted(tree / "a"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("Cannot open file " + tree / "a"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
}

TEST(CliTest, ResultListFiles) {
    TTestTree tree{{"a/x.txt", 10}, {"b/x.txt", 10}, {"c/y.txt", 1}};
    TTestTree out;
    const std::string scan = " --scan " + Quoted(tree.Root());
    // Loaded and saved again under the same options, a list keeps its bytes and its report.
    TRun run = RunCli(scan + " --save-list " + Quoted(out / "first.twl") + " --report " +
                      Quoted(out / "first.txt"));
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = RunCli("--load-list " + Quoted(out / "first.twl") + scan + " --save-list " +
                 Quoted(out / "second.twl"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadBytes(out / "second.twl"), ReadBytes(out / "first.twl"));
    EXPECT_EQ(run.Out, ReadBytes(out / "first.txt"));
    EXPECT_EQ(run.Out.find("Scanned files:    3\r\nDuplicated files: 1\r\n"), 0u) << run.Out;

    // The report shows the totals of the file: 12 files in 12 seconds.
    const std::string header = "saved result version 1.3\r\n/tmp\r\n\r\n*.*\r\n12\r\n"
                               " 1.38888888888889E-0004\r\nreadme.txt\r\n2\r\n";
    const std::string copy = "readme.txt\r\n1024\r\n776032614\r\n1060151296\r\n29542874\r\n";
    const std::string copies = "/tmp/" + copy + "/tmp/old/" + copy;
    std::ofstream(out / "example.twl", std::ios::binary) << "Twinseek " << header << copies;
    run = RunCli("--load-list " + Quoted(out / "example.twl"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Scanned files:    12\r\nDuplicated files: 1\r\n"
                       "Scan time:        00:00:12\r\n\r\nreadme.txt\r\n"
                       "/tmp/readme.txt, 1024, 02/01/03 10:11:12,\r\n"
                       "/tmp/old/readme.txt, 1024, 02/01/03 10:11:12,\r\n");

    // A file that is not a result list stops the program before anything is written.
    std::ofstream(out / "wrong.twl", std::ios::binary) << "twinseek " << header << copies;
    std::ofstream(out / "report.txt", std::ios::binary) << "old report";
    for (const std::string& report : {std::string(), " --report " + Quoted(out / "report.txt")}) {
        run = RunCli("--load-list " + Quoted(out / "wrong.twl") + report + " --save-list " +
                     Quoted(out / "never.twl"));
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Err, "twinseek-cli: File has not the right file indicator.\n");
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_EQ(ReadBytes(out / "report.txt"), "old report");
    EXPECT_FALSE(std::ifstream(out / "never.twl").is_open());
}

TEST(CliTest, CopiesLeftOutOfASavedListAreAWarning) {
    TTestTree tree{{"a\rb/x.txt", 10}, {"c/x.txt", 10}, {"d/x.txt", 10}};
    TTestTree out;
    TRun run = RunCli("--scan " + Quoted(tree.Root()) + " --save-list " + Quoted(out / "r.twl"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "twinseek-cli: warning: Copies left out of the saved list: 1 (a path or "
                       "name holds a line break or byte 26, or is longer than 1 MiB). The first: " +
                           tree.Root() + "/a\\rb/x.txt\n");
    // The report still shows every copy, the name on one line.
    EXPECT_NE(run.Out.find("\r\n" + tree.Root() + "/a\\rb/x.txt, 10, "), std::string::npos)
        << run.Out;
    run = RunCli("--load-list " + Quoted(out / "r.twl"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.find("\r\n" + tree.Root() + "/a"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\r\n" + tree.Root() + "/c/x.txt, 10, "), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\r\n" + tree.Root() + "/d/x.txt, 10, "), std::string::npos) << run.Out;
}

TEST(CliTest, ALineBreakInAnOptionPlantsNothing) {
    TTestTree out;
    const std::string config = out / "planted.twc";
    TRun run =
        RunCli("--ignore \"$(printf '_\\r\\nScanPath=/etc')\" --save-config " + Quoted(config));
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "twinseek-cli: A configuration value holds a line break; the file " +
                           config + " was not saved.\n");
    EXPECT_FALSE(std::ifstream(config).is_open());

    TTestTree tree{{"a/x", 1}, {"b/x", 1}};
    run = RunCli("--scan " + Quoted(tree.Root()) +
                 " --types \"$(printf '*\\r\\n*')\" --save-list " + Quoted(out / "r.twl"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err,
              "twinseek-cli: The scan, exclude or mask text holds a line break or byte 26, or is "
              "longer than 1 MiB; the result list was not saved.\n");
    EXPECT_FALSE(std::ifstream(out / "r.twl").is_open());
}

} // namespace
