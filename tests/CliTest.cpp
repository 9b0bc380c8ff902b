#include "ChildChecks.h"
#include "RemovalPlaces.h"
#include "TestTree.h"
#include "Version.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
    long long PeakMemory = 0; // bytes, of a direct run
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

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// How a direct run of twinseek-cli is set up beyond its arguments.
struct TSetup {
    bool OutTerminal = false; // standard output is a terminal (else a file)
    bool ErrTerminal = false; // standard error is a terminal (else a file)
    // Run by root, the program runs as user and group 65534, to whom the test's modes apply.
    bool Unprivileged = false;
};

// Runs twinseek-cli without a shell. A terminal is a pseudo-terminal in raw mode, so that what
// the program writes arrives byte for byte.
TRun RunDirect(const std::vector<std::string>& arguments, const TSetup& setup = {}) {
    TTestTree scratch;
    TRun run;
    int master = -1;
    int slave = -1;
    if (setup.OutTerminal || setup.ErrTerminal) {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return run;
        termios mode{};
        tcgetattr(slave, &mode);
        cfmakeraw(&mode);
        tcsetattr(slave, TCSANOW, &mode);
        fcntl(master, F_SETFD, FD_CLOEXEC);
    }
    const auto output = [&](bool terminal, const std::string& file) {
        return terminal ? slave
                        : open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    };
    const int out = output(setup.OutTerminal, scratch / "out");
    const int err = output(setup.ErrTerminal, scratch / "err");
    std::vector<std::string> words{TWINSEEK_CLI};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int in = open("/dev/null", O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        if (setup.Unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    // The child holds its own copies now; the terminal's end comes when its last copy closes.
    for (int fd : {out, err})
        if (fd >= 0 && fd != slave)
            close(fd);
    if (slave >= 0)
        close(slave);
    std::string terminal;
    if (master >= 0) {
        // Read until the child's end closes the terminal (EIO), so that it never waits for room.
        std::array<char, 4096> buffer{};
        ssize_t count = 0;
        while ((count = read(master, buffer.data(), buffer.size())) > 0)
            terminal.append(buffer.data(), static_cast<size_t>(count));
        close(master);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return run;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.PeakMemory = static_cast<long long>(usage.ru_maxrss) * 1024;
    run.Out = setup.OutTerminal ? terminal : ReadBytes(scratch / "out");
    run.Err = setup.ErrTerminal ? terminal : ReadBytes(scratch / "err");
    return run;
}

// The report of a scan that found one duplicated name in two copies.
std::string ReportOfOneName(const std::string& name, const std::string& first,
                            const std::string& second) {
    return "Scanned files:    2\r\nDuplicated files: 1\r\nScan time:        00:00:00\r\n\r\n" +
           name + "\r\n" + first + ", 0, 02/01/03 10:11:12,\r\n" + second +
           ", 0, 02/01/03 10:11:12,\r\n";
}

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
    TTestTree tree{
        {"a/File_A.txt", 1}, {"b/File A.txt", 1}, {"c/FileA.doc", 1}, {"old/FileA.txt", 1}};
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

TEST(CliTest, NameRulesReachTheScanAndTheConfigurationFile) {
    TTestTree tree{{"a/report.pdf", 1},
                   {"b/Report (1).PDF", 1},
                   {"c/Copy of report.pdf", 1},
                   {"a/IMG_1.jpg", 1},
                   {"b/img_1.jpeg", 1},
                   {"a/caf\xc3\xa9.txt", 1},
                   {"b/CAFE\xcc\x81 - Copy.txt", 1},
                   {"c/notes.md", 1},
                   {"d/notes.txt", 1}};
    const std::string root = Quoted(tree.Root());
    TRun run = RunCli("--scan " + root + " --compare name");
    EXPECT_NE(run.Out.find("Duplicated files: 0\r\n"), std::string::npos) << run.Out;

    run = RunCli("--scan " + root +
                 " --compare name --unicode --ignore-copy-marks --equal-extensions 'jpg=jpeg'");
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("Duplicated files: 3\r\n"), std::string::npos) << run.Out;
    for (const char* key : {"\r\nreport.pdf\r\n", "\r\nimg_1.jpg\r\n", "\r\ncaf\xc3\xa9.txt\r\n"})
        EXPECT_NE(run.Out.find(key), std::string::npos) << key << "\n" << run.Out;

    run = RunCli("--scan " + root + " --compare name --ignore-extension");
    EXPECT_NE(run.Out.find("Duplicated files: 2\r\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\r\nnotes\r\n"), std::string::npos) << run.Out;

    run = RunCli("--scan /x --unicode --ignore-copy-marks --ignore-extension --equal-extensions "
                 "'tif=tiff' --save-config " +
                 Quoted(tree / "rules.twc"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadBytes(tree / "rules.twc"),
              "[Options]\r\nVersion=3\r\nCompareMode=0\r\nCaseSensitive=0\r\nIgnoreChar=\r\n"
              "ScanPath=/x\r\nExcludePath=\r\nFileTypes=\r\nUnicodeNames=1\r\n"
              "IgnoreCopyMarks=1\r\nIgnoreExtension=1\r\nEqualExtensions=tif=tiff\r\n\r\n");
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
    TRun run =
        RunCli("--scan " + Quoted(tree.Root()) + " --report " + Quoted(tree / "no/such/dir/r.txt"));
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

    run = RunCli("--version");
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, std::string("twinseek-cli ") + TwinseekVersion + "\n");

    // Any integer is a compare mode; those outside 0..3 compare by name only.
    TTestTree sizes{{"a/x", 1}, {"b/x", 2}};
    run = RunCli("--scan " + Quoted(sizes.Root()) + " --compare 9");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("Duplicated files: 1\r\n"), std::string::npos) << run.Out;
}

TEST(CliTest, CleanUp) {
    TTestTree tree;
    for (const char* folder : {"a", "b", "c", "keep"})
        tree.Dir(folder);
    WriteBytes(tree / "a/x.txt", "same1");
    WriteBytes(tree / "b/x.txt", "same1");
    WriteBytes(tree / "c/x.txt", "diff1");
    WriteBytes(tree / "keep/x.txt", "same1");
    const TRemovalPlaces places(tree.Root());
    const std::string scan = "--compare name-size --scan " +
                             Quoted(tree / "a;" + tree / "b;" + tree / "c;" + tree / "keep");

    const std::string wrongCombinations[] = {"--trash", "--keep first --keep-in " + tree / "keep",
                                             "--keep first --trash --delete", "--keep largest"};
    for (const std::string& wrong : wrongCombinations) {
        const TRun run = RunCli(scan + " " + wrong);
        EXPECT_EQ(run.Status, 2) << wrong;
        EXPECT_EQ(run.Out, "") << wrong;
    }

    // Without --trash or --delete: the plan, after the content check, then the report.
    TRun run = RunCli(scan + " --keep-in " + Quoted(tree / "keep"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("remove\t" + tree / "b/x.txt" + "\t" + tree / "keep/x.txt" +
                                "\nremove\t" + tree / "a/x.txt" + "\t" + tree / "keep/x.txt" +
                                "\nScanned files:    4\r\n",
                            0),
              0u)
        << run.Out;
    EXPECT_TRUE(std::filesystem::exists(tree / "a/x.txt"));
    EXPECT_FALSE(std::filesystem::exists(tree / "state"));

    // A folder that cannot be found protects nothing: nothing goes.
    run = RunCli(scan + " --keep-in " + Quoted(tree / "keep") + " --protect " +
                 Quoted(tree / "nowhere") + " --delete");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("cannot use --protect " + tree / "nowhere"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(tree / "a/x.txt"));

    // Deleting, with b protected: only a goes; the report shows the rest.
    run = RunCli(scan + " --keep-in " + Quoted(tree / "keep") + " --protect " + Quoted(tree / "b") +
                 " --delete");
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(tree / "a/x.txt"));
    EXPECT_TRUE(std::filesystem::exists(tree / "b/x.txt"));
    EXPECT_TRUE(std::filesystem::exists(tree / "c/x.txt"));
    EXPECT_EQ(run.Out.find(tree / "a/x.txt"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find(tree / "b/x.txt"), std::string::npos) << run.Out;
    const std::string log = ReadBytes(tree / "state/twinseek/actions.log");
    EXPECT_NE(log.find("\tdelete\t" + tree / "a/x.txt" + "\t5\t"), std::string::npos) << log;

    // A saved result whose copy changed since: the copy stays, it is named, the status is 1.
    ASSERT_EQ(
        RunCli(scan + " --save-list " + Quoted(tree / "r.twl") + " --report /dev/null").Status, 0);
    WriteBytes(tree / "b/x.txt", "same1 and more");
    run = RunCli("--load-list " + Quoted(tree / "r.twl") + " --keep-in " + Quoted(tree / "keep") +
                 " --trash --report /dev/null");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(tree / "b/x.txt: "), std::string::npos) << run.Err;
    EXPECT_TRUE(std::filesystem::exists(tree / "b/x.txt"));
    EXPECT_TRUE(std::filesystem::exists(tree / "c/x.txt")); // its bytes differ
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
              "ScanPath=" +
                  tree.Root() + "\r\nExcludePath=/ex\r\nFileTypes=*.txt\r\n\r\n");
}

TEST(CliTest, ConfigurationFilesThatCannotBeUsedStopTheProgram) {
    TTestTree tree{{"a/x", 1}, {"b/x", 1}, {"file", 1}, {"dir/"}, {"out/"}};
    ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0);
    ASSERT_EQ(chmod((tree / "out").c_str(), 0777), 0);
    const std::string scanned = "ScanPath=" + tree.Root() + "\r\n";
    const char* const NotAConfiguration =
        " is not a Twinseek configuration file (version 3 expected).";
    struct TCase {
        const char* Name;
        std::string File;    // relative to the tree
        const char* Content; // nullptr: the file is not written
        bool Unprivileged;
        const char* Why; // the message after the file's name
    } cases[] = {
        {"missing", "missing.twc", nullptr, false, " does not exist."},
        {"below a file", "file/in.twc", nullptr, false, " does not exist."},
        {"a directory", "dir", nullptr, false, nullptr},
        {"unreadable", "locked.twc", "[Options]\r\nVersion=3\r\n", true, nullptr},
        {"empty", "empty.twc", "", false, NotAConfiguration},
        {"older version", "v2.twc", "[Options]\r\nVersion=2\r\n", false, NotAConfiguration},
        {"no version", "none.twc", "[Options]\r\nCompareMode=1\r\n", false, NotAConfiguration},
        {"another section", "other.twc", "[Other]\r\nVersion=3\r\n", false, NotAConfiguration},
        {"no text at all", "binary.twc", "\177ELF\1\1", false, NotAConfiguration},
    };
    for (const TCase& c : cases) {
        const std::string config = tree / c.File;
        if (c.Content != nullptr) {
            std::ofstream(config, std::ios::binary) << c.Content << scanned;
            ASSERT_EQ(chmod(config.c_str(), c.Unprivileged ? 0 : 0644), 0);
        }
        // Without a reason of its own the file cannot be opened.
        const std::string message =
            c.Why != nullptr ? config + c.Why : "Cannot open file " + config;
        // Nothing is scanned, written or saved.
        const std::vector<std::vector<std::string>> runs = {
            {"--config", config},
            {"--config", config, "--report", tree / "out/report.txt"},
            {"--config", config, "--save-config", tree / "out/saved.twc"},
        };
        for (const std::vector<std::string>& arguments : runs) {
            TSetup setup;
            setup.Unprivileged = c.Unprivileged;
            const TRun run = RunDirect(arguments, setup);
            EXPECT_EQ(run.Status, 1) << c.Name;
            EXPECT_EQ(run.Err, "twinseek-cli: " + message + "\n") << c.Name;
            EXPECT_EQ(run.Out, "") << c.Name;
        }
        EXPECT_FALSE(std::ifstream(tree / "out/report.txt").is_open()) << c.Name;
        EXPECT_FALSE(std::ifstream(tree / "out/saved.twc").is_open()) << c.Name;
    }
}

TEST(CliTest, ScanDirectoriesThatCannotBeScannedAreNamed) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}, {"file.txt"}, {"locked/x.txt"}};
    ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0);
    tree.Chmod("locked", 0);
    const std::string a = tree / "a", b = tree / "b";
    const std::string report = ReportOfOneName("x.txt", b + "/x.txt", a + "/x.txt");
    const std::string missing = "twinseek-cli: cannot scan " + tree / "missing: File not found\n";
    const std::string notADirectory =
        "twinseek-cli: cannot scan " + tree / "file.txt: Not a directory\n";
    struct TCase {
        const char* Name;
        std::string ScanPath;
        std::string Err;
    } cases[] = {
        {"all there", a + ";" + b, ""},
        // Deliberate skips and empty entries are no failures.
        {"skipped on purpose", a + ";/proc;\"\";" + a + ";" + b + ";" + b + "/", ""},
        {"missing", a + ";" + tree / "missing;" + b, missing},
        {"not a directory", a + ";" + tree / "file.txt;" + b, notADirectory},
        {"cannot be opened", a + ";" + tree / "locked;" + b,
         "twinseek-cli: cannot scan " + tree / "locked: File access denied\n"},
        {"several, in list order", tree / "missing;" + a + ";" + tree / "file.txt;" + b,
         missing + notADirectory},
    };
    TSetup setup;
    setup.Unprivileged = true;
    for (const TCase& c : cases) {
        const TRun run = RunDirect({"--scan", c.ScanPath}, setup);
        EXPECT_EQ(run.Status, c.Err.empty() ? 0 : 1) << c.Name;
        EXPECT_EQ(run.Err, c.Err) << c.Name;
        // The other directories are scanned and reported all the same.
        EXPECT_EQ(run.Out, report) << c.Name;
    }
}

TEST(CliTest, EmptyFileNamesAreUsageErrors) {
    TTestTree tree{{"a/x", 1}, {"b/x", 1}};
    for (const char* option :
         {"--config", "--save-config", "--load-list", "--save-list", "--report"}) {
        const TRun run = RunDirect({"--scan", tree.Root(), option, ""});
        EXPECT_EQ(run.Status, 2) << option;
        EXPECT_EQ(run.Err.rfind("twinseek-cli: " + std::string(option) + ": empty file name\n", 0),
                  0u)
            << run.Err;
        EXPECT_NE(run.Err.find("Usage:"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "") << option;
    }
}

TEST(CliTest, NamesOnATerminalAreShownWithEscapes) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        GTEST_SKIP() << "no pseudo-terminal here";
    close(master);
    close(slave);
    // A name that would clear a terminal and colour what follows.
    const std::string name = "e\x1b[2J\x1b[31m\t.txt";
    const std::string escaped = "e\\x1B[2J\\x1B[31m\\t.txt";
    TTestTree tree;
    tree.File("a/" + name);
    tree.File("b/" + name);
    const std::string missing = tree / name;
    const std::string rawMessage = "twinseek-cli: cannot scan " + missing + ": File not found\n";
    const std::string shownMessage =
        "twinseek-cli: cannot scan " + tree / escaped + ": File not found\n";
    // Quoted: a tab separates the entries of a list text.
    const std::vector<std::string> scan = {"--scan", tree.Root() + ";\"" + missing + "\"",
                                           "--case-sensitive"};
    const std::string rawReport = ReportOfOneName(name, tree / "b/" + name, tree / "a/" + name);

    // Standard error on a terminal: the message escapes the name (the progress line comes first
    // and is cleared); the report on a file keeps every byte.
    TSetup setup;
    setup.ErrTerminal = true;
    TRun run = RunDirect(scan, setup);
    EXPECT_EQ(run.Status, 1);
    ASSERT_GE(run.Err.size(), shownMessage.size());
    EXPECT_EQ(run.Err.substr(run.Err.size() - shownMessage.size()), shownMessage) << run.Err;
    EXPECT_EQ(run.Err.find("\x1b[2J"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, rawReport);

    // Standard output on a terminal: the report escapes the names.
    setup = TSetup();
    setup.OutTerminal = true;
    run = RunDirect(scan, setup);
    EXPECT_EQ(run.Out, ReportOfOneName(escaped, tree / "b/" + escaped, tree / "a/" + escaped));
    EXPECT_EQ(run.Err, rawMessage);

    // Both on files: the bytes as they are.
    run = RunDirect(scan);
    EXPECT_EQ(run.Err, rawMessage);
    EXPECT_EQ(run.Out, rawReport);

    // So does the warning about copies a saved list leaves out.
    TTestTree lines{{"a\r\x1b[2J/x.txt"}, {"c/x.txt"}};
    setup = TSetup();
    setup.ErrTerminal = true;
    run = RunDirect({"--scan", lines.Root(), "--save-list", lines / "r.twl"}, setup);
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Err.find("The first: " + lines / "a\\r\\x1B[2J/x.txt\n"), std::string::npos)
        << run.Err;

    // Messages of files that cannot be used escape the name as well.
    setup = TSetup();
    setup.ErrTerminal = true;
    run = RunDirect({"--config", missing}, setup);
    EXPECT_EQ(run.Err, "twinseek-cli: " + tree / escaped + " does not exist.\n");
    run = RunDirect({"--scan", tree.Root(), "--report", tree / "no/" + name}, setup);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(tree / "no/" + escaped + ": File not found\n"), std::string::npos)
        << run.Err;
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

TEST(CliTest, ShowingALoadedListStaysWithinTheReadersMemoryBound) {
    if (!MemoryIsMeasurable)
        GTEST_SKIP() << "memory is not measured under a sanitizer";
    // The smallest group a list can hold, ten million times: a name without copies.
    TTestTree tree;
    const std::string list = tree / "empty-groups.twl";
    std::string bytes = "Twinseek saved result version 1.3\r\n\r\n\r\n*.*\r\n1\r\n"
                        " 0.00000000000000E+0000\r\n";
    for (int i = 0; i < 10000000; ++i)
        bytes += "\r0\r";
    WriteBytes(list, bytes);
    const TRun run = RunDirect({"--load-list", list, "--report", "/dev/null"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_LE(run.PeakMemory, MemoryBound(static_cast<long long>(bytes.size())));
}

} // namespace
