#include "ScanThread.h"
#include "ForkedChild.h"
#include "GroupBuilder.h"
#include "KeyPipeline.h"
#include "RecordingListener.h"
#include "ScanFixture.h"
#include "ScanWorkers.h"
#include "TestScanWorkers.h"
#include "TestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TStrings = std::vector<std::string>;
using TMessages = std::vector<TRecordedMessage>;

constexpr int64_t GiB = int64_t{1} << 30;

TOptionRec Options(const std::string& scanPath, int32_t compareMode = cmNameOnly) {
    TOptionRec options;
    options.CompareMode = compareMode;
    options.ScanPath = scanPath;
    return options;
}

TEST(ScanThreadTest, SendsTheMessagesOfAPlainScan) {
    TTestTree single{{"a.txt"}, {"b.txt"}};
    TScan scan;
    ASSERT_TRUE(scan.Run(Options(single.Root())));
    EXPECT_EQ(scan.Listener.Messages(), (TMessages{{WM_SCAN_CHECK, 0, 0}, {WM_SCAN_DONE, 2, 0}}));
    EXPECT_EQ(scan.Result(single), TStrings{});

    // The first file starts the group; each of the others joins it with the falling count.
    TTestTree three{{"a/x.txt"}, {"b/x.txt"}, {"c/x.txt"}};
    TScan second;
    ASSERT_TRUE(second.Run(Options(three.Root())));
    const TMessages expected = {{WM_SCAN_PROGRESS, 0, 1}, {WM_SCAN_PROGRESS, 1, 2},
                                {WM_SCAN_PROGRESS, 2, 3}, {WM_SCAN_CHECK, 1, 0},
                                {WM_SCAN_CHECK, 0, 0},    {WM_SCAN_CHECK, 0, 0},
                                {WM_SCAN_DONE, 3, 0}};
    EXPECT_EQ(second.Listener.Messages(), expected);
    EXPECT_EQ(second.Result(three), TStrings{"x.txt: c/x.txt, b/x.txt, a/x.txt"});
}

TEST(ScanThreadTest, GroupsFilesUnderTheirNameKeys) {
    TTestTree tree{{"case/a/Readme.TXT"},
                   {"case/b/readme.txt"},
                   {"ignore/a/File_A.txt"},
                   {"ignore/b/File A.txt"},
                   {"ignore/c/FileA.txt"}};
    const TStrings folded = {"readme.txt: case/b/readme.txt, case/a/Readme.TXT"};
    // Two single files: the lookups find each other, but only identical keys group, and names
    // found once are not part of the result.
    const TStrings kept = {};
    const TStrings stripped = {
        "filea.txt: ignore/c/FileA.txt, ignore/b/File A.txt, ignore/a/File_A.txt"};
    struct TCase {
        std::string Dir;
        bool CaseSensitive;
        std::string IgnoreChar;
        TStrings Result;
    } cases[] = {
        {"case", false, "", folded},
        {"case", true, "", kept},
        {"ignore", false, "_;\" \"", stripped},
        {"ignore", true, "_;\" \"", {}}, // the ignore entries are not used
    };
    for (const TCase& c : cases) {
        TScan scan;
        TOptionRec options = Options(tree / c.Dir);
        options.CaseSensitive = c.CaseSensitive;
        options.IgnoreChar = c.IgnoreChar;
        ASSERT_TRUE(scan.Run(options));
        EXPECT_EQ(scan.Result(tree), c.Result) << c.Dir << ", case sensitive " << c.CaseSensitive;
    }
}

TEST(ScanThreadTest, ComparesFilesAsTheCompareModeAsks) {
    // Two-second steps: T and T+1 share one (T is even), T+2 starts the next.
    constexpr time_t T = TTestTree::DefaultTime;
    TTestTree tree{{"a/x.txt", 10, T}, {"b/x.txt", 20, T + 1}, {"c/x.txt", 10, T + 2}};
    const TStrings nameOnly = {"x.txt: c/x.txt, b/x.txt, a/x.txt"};
    struct TCase {
        int32_t Mode;
        TStrings Result;
    } cases[] = {
        // The copies that match no other are left out of the result.
        {cmNameSizeTime, {}},
        {cmNameSize, {"x.txt: c/x.txt, a/x.txt"}},
        {cmNameTime, {"x.txt: b/x.txt, a/x.txt"}},
        {cmNameOnly, nameOnly},
        {7, nameOnly},
        {-1, nameOnly},
    };
    for (const TCase& c : cases) {
        TScan scan;
        ASSERT_TRUE(scan.Run(Options(tree.Root(), c.Mode)));
        EXPECT_EQ(scan.Result(tree), c.Result) << "mode " << c.Mode;
    }
}

TEST(ScanThreadTest, PutsTheFileFoundLastFirst) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}};
    TScan scan;
    ASSERT_TRUE(scan.Run(Options(tree / "a;" + tree / "b", cmNameSizeTime)));
    EXPECT_EQ(scan.Listener.Messages(),
              (TMessages{{WM_SCAN_CHECK, 0, 0}, {WM_SCAN_CHECK, 0, 0}, {WM_SCAN_DONE, 2, 0}}));
    EXPECT_EQ(scan.Result(tree), TStrings{"x.txt: b/x.txt, a/x.txt"});

    ASSERT_TRUE(scan.Run(Options(tree / "b;" + tree / "a", cmNameSizeTime)));
    EXPECT_EQ(scan.Result(tree), TStrings{"x.txt: a/x.txt, b/x.txt"});
}

TEST(ScanThreadTest, UsesStarDotStarWhenNoFileTypesAreGiven) {
    TTestTree tree{{"a/readme"}, {"b/readme"}, {"b/notes.txt"}};
    struct TCase {
        std::string FileTypes;
        TStrings Masks;
        TStrings Result;
    } cases[] = {
        {"", {"*.*"}, {"readme: b/readme, a/readme"}},
        {"  ", {"*.*"}, {"readme: b/readme, a/readme"}},
        {"\t", {"*.*"}, {"readme: b/readme, a/readme"}},
        {"*.TXT; *.doc", {"*.TXT", "*.doc"}, {}},
    };
    for (const TCase& c : cases) {
        TScan scan;
        TOptionRec options = Options(tree.Root());
        options.FileTypes = c.FileTypes;
        ASSERT_TRUE(scan.Run(options));
        EXPECT_EQ(scan.Thread.Masks(), c.Masks) << '"' << c.FileTypes << '"';
        EXPECT_EQ(scan.Result(tree), c.Result) << '"' << c.FileTypes << '"';
    }
}

TEST(ScanThreadTest, KeepsSizesOfFourGibibytesAndMore) {
    // Sparse files; with sizes cut to 32 bits, 5 GiB would equal 1 GiB.
    TTestTree tree{{"a/x.bin", 3 * GiB},
                   {"b/x.bin", 3 * GiB},
                   {"c/x.bin", GiB},
                   {"d/y.bin", 5 * GiB},
                   {"e/y.bin", GiB}};
    TScan scan;
    ASSERT_TRUE(scan.Run(Options(tree.Root(), cmNameSize)));
    // The names found once (c/x.bin with its own size, and each y.bin) are not in the result.
    EXPECT_EQ(scan.Result(tree), TStrings{"x.bin: b/x.bin, a/x.bin"});
    ASSERT_EQ(scan.Last().Rows.size(), 1u);
    EXPECT_EQ(scan.Last().Rows[0].Group->Info(0).Size, 3 * GiB);
}

TEST(ScanThreadTest, RecordsTheIdentityOfEachCopy) {
    // Removing a copy later checks that the path still names the file the scan saw.
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}};
    TScan scan;
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    ASSERT_EQ(scan.Last().Rows.size(), 1u);
    struct stat status {};
    ASSERT_EQ(stat((tree / "b/x.txt").c_str(), &status), 0);
    const TFileInfoRec& first = scan.Last().Rows[0].Group->Info(0);
    EXPECT_EQ(first.Device, status.st_dev);
    EXPECT_EQ(first.Inode, status.st_ino);
}

TEST(ScanThreadTest, ADirectoryReplacedBeforeTheGroupingContributesNothing) {
    // "a" is swapped for a directory with a file of the same name after the walk has read it:
    // the grouping must not take that other file for the one the walk found.
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}, {"c/x.txt"}};
    TScan scan;
    scan.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message != WM_SCAN_PROGRESS || message.Second != 3)
            return;
        ASSERT_EQ(rename((tree / "a").c_str(), (tree / "old").c_str()), 0);
        tree.File("a/x.txt");
    };
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    EXPECT_EQ(scan.Result(tree), TStrings{"x.txt: c/x.txt, b/x.txt"});
}

TEST(ScanThreadTest, KeepsLastWriteTimesBeyondTheStampRange) {
    // tmpfs keeps any 64-bit time; the file systems of the test machine may not, so a tmpfs of
    // its own is mounted in a child with a mount namespace of its own.
    constexpr time_t Largest = 1833029933770; // the last second whose stamp fits in 64 bits
    const struct {
        const char* Path;
        time_t Seconds;
    } files[] = {
        {"a/x.txt", INT64_MAX}, {"b/x.txt", Largest + 1}, {"c/y.txt", Largest},
        {"d/y.txt", Largest},   {"e/z.txt", INT64_MIN},   {"f/z.txt", -11644473601},
    };
    TTestTree tree;
    const TChildOutcome outcome = RunInForkedChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", tree.Root().c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip: cannot mount a tmpfs: ") + std::strerror(errno);
        for (const auto& file : files)
            tree.File(file.Path, 0, file.Seconds);
        TScan scan;
        if (!scan.Run(Options(tree.Root(), cmNameSizeTime)))
            return "the scan did not end";
        std::string text;
        for (const TResultRow& row : scan.Last().Rows) {
            const TFileGroup& group = *row.Group;
            for (int c = 0; c < group.Count(); ++c)
                text += group.Info(c).Name + " " + std::to_string(group.Info(c).LastWriteTime) +
                        " " + std::to_string(group.Info(c).Time) + "\n";
        }
        return text;
    });
    if (outcome.Output.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << outcome.Output;
    ASSERT_TRUE(outcome.Ended) << outcome.Output;
    // Stamps the 64 bits cannot hold stay at the largest one, times before 1601 at 0; none of
    // them has a DOS time.
    EXPECT_EQ(outcome.Output, "x.txt 18446744073709551615 0\n"
                              "x.txt 18446744073709551615 0\n"
                              "y.txt 18446744073700000000 0\n"
                              "y.txt 18446744073700000000 0\n"
                              "z.txt 0 0\n"
                              "z.txt 0 0\n");
}

TEST(ScanThreadTest, StopDuringTheWalkEndsWithoutGrouping) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}, {"c/x.txt"}, {"d/x.txt"}};
    const TStrings full = {"x.txt: d/x.txt, c/x.txt, b/x.txt, a/x.txt"};
    TScan scan;
    std::atomic<bool> stopAtProgress{false};
    scan.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message == WM_SCAN_PROGRESS && stopAtProgress.exchange(false))
            scan.Thread.StopScan();
    };
    // A complete scan first, so that a result list left over would show.
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    ASSERT_EQ(scan.Result(tree), full);

    stopAtProgress = true;
    const size_t before = scan.Listener.Messages().size();
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    const TMessages messages = scan.Listener.Messages();
    EXPECT_EQ(TMessages(messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end()),
              (TMessages{{WM_SCAN_PROGRESS, 0, 1}, {WM_SCAN_DONE, 0, 0}}));
    EXPECT_EQ(scan.Result(tree), TStrings{});

    // The next scan starts afresh.
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    EXPECT_EQ(scan.Listener.Messages().back(), (TRecordedMessage{WM_SCAN_DONE, 4, 0}));
    EXPECT_EQ(scan.Result(tree), full);
}

TEST(ScanThreadTest, StopDuringTheGroupingKeepsTheGroupsBuiltSoFar) {
    TTestTree tree{{"a/x.txt"}, {"a/y.txt"}, {"a/z.txt"}, {"b/x.txt"},
                   {"b/y.txt"}, {"b/z.txt"}, {"c/x.txt"}};
    TScan scan;
    bool stopped = false; // touched by the scan thread only
    scan.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message == WM_SCAN_CHECK && message.First != 0 && !stopped) {
            stopped = true;
            scan.Thread.StopScan();
        }
    };
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    const TMessages expected = {{WM_SCAN_PROGRESS, 0, 1}, {WM_SCAN_PROGRESS, 3, 2},
                                {WM_SCAN_PROGRESS, 6, 3}, {WM_SCAN_CHECK, 5, 0},
                                {WM_SCAN_CHECK, 0, 0},    {WM_SCAN_DONE, 7, 0}};
    EXPECT_EQ(scan.Listener.Messages(), expected);
    EXPECT_EQ(scan.Result(tree), TStrings{"x.txt: c/x.txt, b/x.txt"});
}

// Stops the scan from the start of one share of the status reading: the scan thread's own share
// (0) or the helper's. The helper first waits for the scan thread's share to begin and lets it
// read for a moment, so that the stop most likely finds some statuses read and others not (how
// far it got never changes what the scan must report). Set while no scan runs.
TScanThread* statusScan = nullptr;
bool stopInFirstShare = true;
std::atomic<bool> firstShareBegun{false};
std::atomic<int> sharesBegun{0};
void StopInOneShare(uint32_t firstItem) {
    ++sharesBegun;
    if (firstItem == 0)
        firstShareBegun = true;
    if ((firstItem == 0) != stopInFirstShare)
        return;
    if (firstItem != 0) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!firstShareBegun && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        std::this_thread::sleep_for(2ms);
    }
    statusScan->StopScan();
}

// Two scan workers for one test, whatever the program runs with: what they share is the test.
struct TTwoWorkers {
    TTwoWorkers() { SetScanWorkers(2); }
    ~TTwoWorkers() { SetScanWorkers(TestScanWorkers()); }
};

TEST(ScanThreadTest, AStopDuringAGroupingSharedByTwoCoresKeepsOnlyTheGroupsBuiltBeforeIt) {
    // Enough names for the grouping to take its classes in two runs, one per core: a stop in
    // the first run must not leave the second run's groups behind a gap.
    const TTwoWorkers twoWorkers;
    constexpr int Names = 10500;
    TTestTree tree;
    for (int i = 0; i < Names; ++i) {
        const std::string name = std::to_string(100000 + i) + ".txt";
        tree.File("a/" + name);
        tree.File("b/" + name);
    }
    TScan scan;
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    const TStrings full = scan.Result(tree);
    ASSERT_EQ(full.size(), size_t{Names});

    int joins = 0; // touched by the scan thread only
    scan.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message == WM_SCAN_CHECK && message.First != 0 && ++joins == 100)
            scan.Thread.StopScan();
    };
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    const TStrings kept = scan.Result(tree);
    ASSERT_FALSE(kept.empty());
    ASSERT_LT(kept.size(), full.size() / 2);
    EXPECT_EQ(kept,
              TStrings(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(kept.size())));

    // A stop while the second run's messages are sent, after both runs have grouped: the groups
    // stay, and no message of a join follows the one in which the stop came.
    joins = 0;
    scan.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message == WM_SCAN_CHECK && message.First != 0 && ++joins == Names - 100)
            scan.Thread.StopScan();
    };
    const size_t earlier = scan.Listener.Messages().size();
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    EXPECT_EQ(scan.Result(tree), full);
    const std::vector<TRecordedMessage> messages = scan.Listener.Messages();
    const auto sentJoins = std::count_if(
        messages.begin() + static_cast<std::ptrdiff_t>(earlier), messages.end(),
        [](const TRecordedMessage& m) { return m.Message == WM_SCAN_CHECK && m.First != 0; });
    EXPECT_EQ(sentJoins, Names - 100);
}

TEST(ScanThreadTest, StopWhileReadingSizesAndTimesEndsWithoutGroups) {
    const TTwoWorkers twoWorkers;
    // A few files on one thread; and enough files that the statuses are read on two threads,
    // each key's two names ("k00001.txt", "k00001_.txt") standing side by side in the reading.
    TTestTree few{{"a/x.txt"}, {"b/x.txt"}, {"c/y.txt"}, {"d/y.txt"}};
    TTestTree many;
    constexpr int Pairs = 10001;
    for (int i = 0; i < Pairs; ++i) {
        const std::string number = std::to_string(100000 + i).substr(1);
        many.File("k" + number + ".txt");
        many.File("k" + number + "_.txt");
    }
    struct TCase {
        const char* Why;
        const TTestTree& Tree;
        bool FirstShare;
        TMessages Messages;
        size_t Groups; // of a complete scan
    } cases[] = {
        {"one share, stopped at its start",
         few,
         true,
         {{WM_SCAN_PROGRESS, 0, 1},
          {WM_SCAN_PROGRESS, 1, 2},
          {WM_SCAN_PROGRESS, 2, 3},
          {WM_SCAN_PROGRESS, 3, 4},
          {WM_SCAN_CHECK, 0, 0},
          {WM_SCAN_DONE, 4, 0}},
         2},
        {"two shares, stopped in the helper's",
         many,
         false,
         {{WM_SCAN_CHECK, 0, 0}, {WM_SCAN_DONE, 2 * Pairs, 0}},
         Pairs},
    };
    for (const TCase& c : cases) {
        TScan scan;
        TOptionRec options = Options(c.Tree.Root());
        options.IgnoreChar = "_";
        statusScan = &scan.Thread;
        stopInFirstShare = c.FirstShare;
        firstShareBegun = false;
        sharesBegun = 0;
        TGroupBuilder::StatusesHook = StopInOneShare;
        const bool ended = scan.Run(options);
        TGroupBuilder::StatusesHook = nullptr;
        ASSERT_TRUE(ended) << c.Why;
        ASSERT_EQ(sharesBegun.load(), c.FirstShare ? 1 : 2) << c.Why;
        // Like a stop during the grouping: the files read count, and no group is half-checked.
        EXPECT_EQ(scan.Listener.Messages(), c.Messages) << c.Why;
        EXPECT_TRUE(scan.Last().Rows.empty()) << c.Why;
        EXPECT_EQ(scan.Last().Failure, "") << c.Why;

        // The next scan starts afresh.
        ASSERT_TRUE(scan.Run(options)) << c.Why;
        EXPECT_EQ(scan.Result(c.Tree).size(), c.Groups) << c.Why;
    }
}

// What the fault hook throws, and at which step; set by the test thread while no scan runs.
TScanThread::TScanStep failAt = TScanThread::TScanStep::Walk;
void (*throwFault)() = nullptr;

void FailAtChosenStep(TScanThread::TScanStep step) {
    if (step == failAt && throwFault != nullptr)
        throwFault();
}

// Clears the hook however the test ends, so that no other test fails by it.
struct THookedScan : TScan {
    THookedScan() { TScanThread::FaultHook = FailAtChosenStep; }
    ~THookedScan() { TScanThread::FaultHook = nullptr; }
};

TEST(ScanThreadTest, AFailedScanEndsWithAnEmptyResultAndItsReason) {
    using TStep = TScanThread::TScanStep;
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}, {"b/y.txt"}};
    const TStrings full = {"x.txt: b/x.txt, a/x.txt"};
    struct TCase {
        const char* Name;
        TStep Step;
        void (*Throw)();
        std::string Failure;
        TMessages Messages; // of the failed scan
    } cases[] = {
        {"no memory for the walk",
         TStep::Walk,
         [] { throw std::bad_alloc(); },
         "Out of memory",
         {{WM_SCAN_DONE, 0, 0}}},
        {"too many names",
         TStep::Walk,
         [] { throw std::length_error("Too many file names for one scan"); },
         "Too many file names for one scan",
         {{WM_SCAN_DONE, 0, 0}}},
        {"no memory for the grouping",
         TStep::Grouping,
         [] { throw std::bad_alloc(); },
         "Out of memory",
         {{WM_SCAN_PROGRESS, 0, 1}, {WM_SCAN_PROGRESS, 1, 2}, {WM_SCAN_DONE, 0, 0}}},
        {"an error without text",
         TStep::Grouping,
         [] { throw std::runtime_error(""); },
         "The scan failed",
         {{WM_SCAN_PROGRESS, 0, 1}, {WM_SCAN_PROGRESS, 1, 2}, {WM_SCAN_DONE, 0, 0}}},
        {"not a standard exception",
         TStep::Walk,
         [] { throw 42; },
         "The scan failed",
         {{WM_SCAN_DONE, 0, 0}}},
    };
    for (const TCase& c : cases) {
        THookedScan scan;
        // A complete scan first, so that a result left over would show.
        throwFault = nullptr;
        ASSERT_TRUE(scan.Run(Options(tree.Root())));
        ASSERT_EQ(scan.Result(tree), full);

        failAt = c.Step;
        throwFault = c.Throw;
        const size_t before = scan.Listener.Messages().size();
        ASSERT_TRUE(scan.Run(Options(tree.Root()))) << c.Name;
        const TMessages messages = scan.Listener.Messages();
        EXPECT_EQ(TMessages(messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end()),
                  c.Messages)
            << c.Name;
        EXPECT_EQ(scan.Result(tree), TStrings{}) << c.Name;
        EXPECT_TRUE(scan.Last().Rows.empty()) << c.Name;
        EXPECT_EQ(scan.Last().Failure, c.Failure) << c.Name;

        // The thread lives on, and the next scan knows nothing of the failure.
        throwFault = nullptr;
        ASSERT_TRUE(scan.Run(Options(tree.Root()))) << c.Name;
        EXPECT_EQ(scan.Listener.Messages().back(), (TRecordedMessage{WM_SCAN_DONE, 3, 0}))
            << c.Name;
        EXPECT_EQ(scan.Result(tree), full) << c.Name;
        EXPECT_EQ(scan.Last().Failure, "") << c.Name;
    }
}

// Which share of the status reading fails: 0 is the scan thread's, the other the helper's.
std::atomic<bool> failFirstShare{true};
void FailOneShare(uint32_t firstItem) {
    if ((firstItem == 0) == failFirstShare.load())
        throw std::bad_alloc();
}

TEST(ScanThreadTest, AFailureOnEitherCoreOfTheStatusPhaseEndsTheScan) {
    // Enough files with shared names that the statuses are read on two threads.
    TTestTree tree;
    constexpr int Names = 10001;
    for (int i = 0; i < Names; ++i) {
        tree.File("a/" + std::to_string(i));
        tree.File("b/" + std::to_string(i));
    }
    const TTwoWorkers twoWorkers;
    TScan scan;
    TGroupBuilder::StatusesHook = FailOneShare;
    for (const bool scanThreadShare : {true, false}) {
        failFirstShare = scanThreadShare;
        ASSERT_TRUE(scan.Run(Options(tree.Root()))) << scanThreadShare;
        EXPECT_EQ(scan.Listener.Messages().back(), (TRecordedMessage{WM_SCAN_DONE, 0, 0}));
        EXPECT_TRUE(scan.Last().Rows.empty());
        EXPECT_EQ(scan.Last().Failure, "Out of memory");
    }
    TGroupBuilder::StatusesHook = nullptr;
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    EXPECT_EQ(scan.Last().Rows.size(), static_cast<size_t>(Names));
    EXPECT_EQ(scan.Last().Failure, "");
}

// With two workers the name keys are built on a second thread; its failure ends the scan as a
// failure of the walk would, once the walk is over, and the next scan starts afresh.
TEST(ScanThreadTest, AFailureWhileBuildingTheKeysBesideTheWalkEndsTheScan) {
    TTestTree tree;
    for (int i = 0; i < 9000; ++i) // more than one batch of names
        tree.File((i % 2 == 0 ? "a/" : "b/") + std::to_string(i / 2));
    const TTwoWorkers twoWorkers;
    TScan scan;
    TKeyPipeline::StoreHook = [] { throw std::bad_alloc(); };
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    EXPECT_EQ(scan.Listener.Messages().back(), (TRecordedMessage{WM_SCAN_DONE, 0, 0}));
    EXPECT_TRUE(scan.Last().Rows.empty());
    EXPECT_EQ(scan.Last().Failure, "Out of memory");

    TKeyPipeline::StoreHook = nullptr;
    ASSERT_TRUE(scan.Run(Options(tree.Root())));
    EXPECT_EQ(scan.Last().Rows.size(), size_t{4500});
    EXPECT_EQ(scan.Last().Failure, "");
}

// With two workers the progress messages are sent beside the walk: the walk goes on while the
// listener handles one, and the messages still come in order, all before the grouping's.
std::promise<void>* walkHandedOver = nullptr;
void SignalHandOver() {
    if (walkHandedOver != nullptr) {
        walkHandedOver->set_value();
        walkHandedOver = nullptr;
    }
}

TEST(ScanThreadTest, TheWalkGoesOnWhileAProgressMessageIsHandled) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}, {"c/x.txt"}};
    const TTwoWorkers twoWorkers;
    std::promise<void> handedOver;
    std::future<void> walkOver = handedOver.get_future();
    walkHandedOver = &handedOver;
    // The tree's names fit in one batch, which the key thread gets once the walk is over.
    TKeyPipeline::StoreHook = SignalHandOver;
    TScan scan;
    bool walkEndedMeanwhile = false;
    scan.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message == WM_SCAN_PROGRESS && message.Second == 1)
            walkEndedMeanwhile = walkOver.wait_for(10s) == std::future_status::ready;
    };
    const bool ran = scan.Run(Options(tree.Root()));
    TKeyPipeline::StoreHook = nullptr;
    walkHandedOver = nullptr;
    ASSERT_TRUE(ran);
    EXPECT_TRUE(walkEndedMeanwhile);
    const TMessages expected = {{WM_SCAN_PROGRESS, 0, 1}, {WM_SCAN_PROGRESS, 1, 2},
                                {WM_SCAN_PROGRESS, 2, 3}, {WM_SCAN_CHECK, 1, 0},
                                {WM_SCAN_CHECK, 0, 0},    {WM_SCAN_CHECK, 0, 0},
                                {WM_SCAN_DONE, 3, 0}};
    EXPECT_EQ(scan.Listener.Messages(), expected);
}

TEST(ScanThreadTest, NamesTheScanDirectoriesItCannotOpen) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}, {"file.txt"}};
    tree.Symlink("dangling", "nowhere");
    tree.Symlink("to-file", "file.txt");
    tree.Symlink("to-dir", "b");
    tree.Fifo("fifo");
    struct TCase {
        std::string Entry; // relative to the tree, or absolute
        int ErrorCode;     // 0: no failure
    } cases[] = {
        {"missing", ENOENT},
        {"missing/below", ENOENT},
        {"file.txt", ENOTDIR},
        {"file.txt/", ENOTDIR},
        {"file.txt/below", ENOTDIR},
        {"dangling", ENOENT},
        {"to-file", ENOTDIR},
        {"fifo", ENOTDIR}, // refused without waiting for a writer
        {"a", 0},
        {"a/", 0},
        {"to-dir", 0}, // a link the user named is followed
        {"/proc", 0},  // a virtual file system is passed by on purpose
        {"a/../a", 0}, // met twice: passed by on purpose
        {"", 0},       // an empty entry names no directory
    };
    std::string scanPath;
    std::vector<TRootFailure> expected;
    for (const TCase& c : cases) {
        const std::string dir = c.Entry.empty() || c.Entry[0] == '/' ? c.Entry : tree / c.Entry;
        scanPath += "\"" + dir + "\";";
        if (c.ErrorCode != 0)
            expected.push_back({dir, c.ErrorCode});
    }
    TScan scan;
    ASSERT_TRUE(scan.Run(Options(scanPath)));
    const auto& failures = scan.Last().RootFailures;
    ASSERT_EQ(failures.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(failures[i].Dir, expected[i].Dir);
        EXPECT_EQ(failures[i].ErrorCode, expected[i].ErrorCode) << expected[i].Dir;
    }
    // The other directories are scanned all the same.
    EXPECT_EQ(scan.Result(tree), TStrings{"x.txt: to-dir/x.txt, a/x.txt"});
    EXPECT_EQ(scan.Last().Failure, "");

    // Each scan starts with a clean slate.
    ASSERT_TRUE(scan.Run(Options(tree / "a")));
    EXPECT_TRUE(scan.Last().RootFailures.empty());
}

int CompleteScans(const TRecordingListener& listener, int32_t files) {
    int complete = 0;
    for (const TRecordedMessage& message : listener.Messages())
        complete += message == TRecordedMessage{WM_SCAN_DONE, files, 0};
    return complete;
}

TEST(ScanThreadTest, AStartRightAfterTheEndIsNeverLost) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}};
    const TOptionRec options = Options(tree.Root());
    constexpr int Scans = 50;

    // Started from the handler of WM_SCAN_DONE: the thread is certainly not asleep yet.
    TScan fromHandler;
    int started = 1; // touched by the scan thread only
    fromHandler.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message == WM_SCAN_DONE && started < Scans) {
            ++started;
            fromHandler.Thread.StartScan(options);
        }
    };
    fromHandler.Thread.StartScan(options);
    ASSERT_TRUE(fromHandler.Listener.WaitForDone(Scans, 30s))
        << fromHandler.Listener.DoneCount() << " of " << Scans << " scans ended";
    EXPECT_EQ(CompleteScans(fromHandler.Listener, 2), Scans);

    // Started by the test thread the moment it sees the end, racing the thread back to sleep
    // (ThreadSanitizer then also sees whether the thread still touches scan data).
    TScan fromOwner;
    for (int i = 1; i <= Scans; ++i) {
        fromOwner.Thread.StartScan(options);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (fromOwner.Listener.DoneCount() < i && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_EQ(fromOwner.Listener.DoneCount(), i) << "scan " << i << " was lost";
    }
    EXPECT_EQ(CompleteScans(fromOwner.Listener, 2), Scans);
    EXPECT_EQ(fromOwner.Result(tree), TStrings{"x.txt: b/x.txt, a/x.txt"});
}

// A scan thread whose objects live as long as anyone uses them, so that a destruction that hangs
// can be left behind on its own thread while the test fails.
struct TOwnedScan {
    TRecordingListener Listener;
    std::unique_ptr<TScanThread> Thread = std::make_unique<TScanThread>(Listener);
};

bool DestroyedWithin(std::chrono::seconds timeout, const std::shared_ptr<TOwnedScan>& scan) {
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> done = finished->get_future();
    std::thread([scan, finished] {
        scan->Thread.reset();
        finished->set_value();
    }).detach();
    return done.wait_for(timeout) == std::future_status::ready;
}

TEST(ScanThreadTest, DestroyingASleepingThreadEnds) {
    EXPECT_TRUE(DestroyedWithin(10s, std::make_shared<TOwnedScan>())) << "never started";

    TTestTree tree{{"a.txt"}};
    auto scan = std::make_shared<TOwnedScan>();
    scan->Thread->StartScan(Options(tree.Root()));
    ASSERT_TRUE(scan->Listener.WaitForDone(1, 10s));
    EXPECT_TRUE(DestroyedWithin(10s, scan)) << "after a scan";
}

TEST(ScanThreadTest, DestroyingAScanningThreadEndsTheScan) {
    constexpr int Dirs = 50;
    TTestTree tree;
    for (int i = 0; i < Dirs; ++i)
        tree.File("d" + std::to_string(100 + i) + "/x.txt");

    // Destroy while the walk runs, and while the grouping runs: each message is held a little,
    // so that the whole scan would take far longer than the destruction may.
    for (const uint32_t during : {WM_SCAN_PROGRESS, WM_SCAN_CHECK}) {
        // Shared with the hook, which may outlive this loop if a destruction hangs.
        struct THold {
            std::promise<void> Reached;
            std::atomic<bool> Signalled{false};
            std::atomic<int> Count{0};
        };
        auto hold = std::make_shared<THold>();
        auto scan = std::make_shared<TOwnedScan>();
        scan->Listener.OnMessage = [hold, during](const TRecordedMessage& message) {
            if (message.Message != during)
                return;
            ++hold->Count;
            if (!hold->Signalled.exchange(true))
                hold->Reached.set_value();
            std::this_thread::sleep_for(20ms);
        };
        scan->Thread->StartScan(Options(tree.Root()));
        ASSERT_EQ(hold->Reached.get_future().wait_for(30s), std::future_status::ready);
        ASSERT_TRUE(DestroyedWithin(10s, scan)) << "message " << during;
        EXPECT_LT(hold->Count.load(), Dirs / 2) << "the scan went on after the destruction began";
        EXPECT_LE(scan->Listener.DoneCount(), 1);
    }
}

} // namespace
