#include "CleanUp.h"

#include "AsNobody.h"
#include "ContentComparison.h"
#include "FileTimes.h"
#include "TestTree.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using TStrings = std::vector<std::string>;

TResultRow RowOf(const std::string& caption, const TStrings& paths) {
    TResultRow row{caption, std::make_unique<TFileGroup>()};
    for (const std::string& path : paths)
        row.Group->Add(RecordOf(path));
    return row;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

TStrings RemovedPaths(const std::vector<TResultRow>& rows, const TCleanUpSummary& summary) {
    TStrings paths;
    for (const TCleanUpStep& step : summary.Removed)
        paths.push_back(rows[static_cast<size_t>(step.Row)].Group->Path(step.Copy));
    return paths;
}

TEST(KeepRuleTest, EachRuleKeepsOneCopyAndATieKeepsTheFirst) {
    auto copy = [](const std::string& path, uint64_t time) {
        TFileInfoRec info = FileInfoForPath(path);
        info.LastWriteTime = time;
        return info;
    };
    TFileGroup group;
    group.Add(copy("/long/path/x", 5));
    group.Add(copy("/b/x", 9));
    group.Add(copy("/c/x", 9));
    group.Add(copy("/a/x", 1));
    group.Add(copy("/d/x", 1));
    const TFolderSet none;
    EXPECT_EQ(KeptCopy(group, TKeepRule::Newest, none), 1);
    EXPECT_EQ(KeptCopy(group, TKeepRule::Oldest, none), 3);
    EXPECT_EQ(KeptCopy(group, TKeepRule::First, none), 0);
    EXPECT_EQ(KeptCopy(group, TKeepRule::ShortestPath, none), 1);
    EXPECT_EQ(KeptCopy(TFileGroup(), TKeepRule::First, none), -1);

    TTestTree tree({{"in/x"}, {"out/x"}});
    TFileGroup below;
    below.Add(RecordOf(tree / "out/x"));
    below.Add(RecordOf(tree / "in/x"));
    EXPECT_EQ(KeptCopy(below, TKeepRule::FirstBelow, TFolderSet({tree / "in"})), 1);
    EXPECT_EQ(KeptCopy(below, TKeepRule::FirstBelow, TFolderSet({tree / "elsewhere"})), -1);

    TKeepRule rule{};
    EXPECT_TRUE(KeepRuleFromName("shortest-path", rule));
    EXPECT_EQ(rule, TKeepRule::ShortestPath);
    EXPECT_FALSE(KeepRuleFromName("Newest", rule));
}

TEST(FolderSetTest, KnowsFoldersByIdentityNotBySpelling) {
    TTestTree tree({{"keep/sub/x"}, {"other/x"}, {"file"}});
    tree.Symlink("alias", tree / "keep");
    const TFolderSet set({tree / "keep", tree / "missing", tree / "file"});
    EXPECT_TRUE(set.Holds(tree / "keep/x"));
    EXPECT_TRUE(set.Holds(tree / "keep/sub/x"));
    EXPECT_TRUE(set.Holds(tree / "alias/sub/x")); // through a link
    EXPECT_TRUE(set.Holds(tree / "other/../keep/x"));
    EXPECT_FALSE(set.Holds(tree / "other/x"));
    EXPECT_FALSE(set.Holds(tree / "keep")); // the folder itself is not below itself
    ASSERT_EQ(set.Missing().size(), 2u);
    EXPECT_EQ(set.Missing()[0].rfind(tree / "missing: ", 0), 0u) << set.Missing()[0];
    EXPECT_EQ(set.Missing()[1].rfind(tree / "file: ", 0), 0u) << set.Missing()[1];
    EXPECT_TRUE(TFolderSet({"/"}).Holds("/anything/x"));
}

TEST(CleanUpPlanTest, ProtectedCopiesAndRowsWithoutAKeptCopyStay) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}, {"safe/x", 10}, {"a/y", 7}, {"b/y", 7}});
    std::vector<TResultRow> rows;
    rows.push_back(RowOf("x", {tree / "a/x", tree / "b/x", tree / "safe/x"}));
    rows.push_back(RowOf("y", {tree / "b/y", tree / "a/y"}));
    const TFolderSet protect({tree / "safe"});

    TCleanUpPlan plan = PlanCleanUp(rows, TKeepRule::First, TFolderSet(), protect);
    ASSERT_EQ(plan.Steps.size(), 2u);
    EXPECT_EQ(rows[0].Group->Path(plan.Steps[0].Copy), tree / "b/x");
    EXPECT_EQ(plan.Steps[0].Kept, 0);
    EXPECT_EQ(rows[1].Group->Path(plan.Steps[1].Copy), tree / "a/y");
    EXPECT_EQ(plan.Names, 2);
    EXPECT_EQ(plan.Bytes, 17);
    EXPECT_EQ(plan.ProtectedCopies, 1);

    // Keeping the copy below "a": both rows have one.
    plan = PlanCleanUp(rows, TKeepRule::FirstBelow, TFolderSet({tree / "a"}), protect);
    ASSERT_EQ(plan.Steps.size(), 2u);
    EXPECT_EQ(plan.Steps[1].Kept, 1);
    // Only the selected row; and a folder no copy lies below leaves every row alone.
    EXPECT_EQ(PlanCleanUp(rows, TKeepRule::First, TFolderSet(), protect, 1).Steps.size(), 1u);
    EXPECT_TRUE(
        PlanCleanUp(rows, TKeepRule::FirstBelow, TFolderSet({tree / "b"}), TFolderSet({tree / "a"}))
            .Steps.size() == 1u);
    EXPECT_TRUE(PlanCleanUp(rows, TKeepRule::FirstBelow, TFolderSet({tree / "none"}), protect)
                    .Steps.empty());
}

// Three copies of one name and size: two with the same bytes, one with other bytes.
struct TCopies {
    TTestTree Tree;
    std::vector<TResultRow> Rows;
    TCleanUpPlan Plan;

    TCopies() {
        for (const char* folder : {"a", "b", "c"})
            Tree.Dir(folder);
        WriteBytes(Tree / "a/x", "same bytes");
        WriteBytes(Tree / "b/x", "same bytes");
        WriteBytes(Tree / "c/x", "SAME BYTES");
        Rows.push_back(RowOf("x", {Tree / "a/x", Tree / "b/x", Tree / "c/x"}));
        Plan = PlanCleanUp(Rows, TKeepRule::First, TFolderSet(), TFolderSet());
    }
    TCleanUpSummary Run(const TCleanUpMethod& how, TActionLog* log) {
        const std::atomic<bool> stop{false};
        return RunCleanUp(Rows, Plan, how, log, stop);
    }
};

TEST(CleanUpRunTest, OnlyCopiesWithTheKeptCopysBytesGo) {
    TCopies copies;
    TActionLog log(copies.Tree / "actions.log");
    size_t calls = 0;
    const std::atomic<bool> stop{false};
    const TCleanUpSummary summary =
        RunCleanUp(copies.Rows, copies.Plan, {TRemovalMethod::Delete, true, false}, &log, stop,
                   [&](size_t done, size_t total) {
                       ++calls;
                       EXPECT_EQ(done, calls);
                       EXPECT_EQ(total, 2u);
                   });
    EXPECT_EQ(RemovedPaths(copies.Rows, summary), TStrings{copies.Tree / "b/x"});
    EXPECT_EQ(summary.Differed, 1);
    EXPECT_EQ(summary.Changed + summary.Failed, 0);
    EXPECT_EQ(calls, 2u);
    EXPECT_TRUE(Exists(copies.Tree / "a/x") && Exists(copies.Tree / "c/x"));
    EXPECT_FALSE(Exists(copies.Tree / "b/x"));
    const std::string logText = ReadBytes(copies.Tree / "actions.log");
    EXPECT_NE(logText.find("\tdelete\t" + copies.Tree / "b/x" + "\t10\t"), std::string::npos);
    EXPECT_NE(logText.find("\t" + copies.Tree / "a/x" + "\n"), std::string::npos) << logText;
}

TEST(CleanUpRunTest, WithoutTheContentCheckEveryPlannedCopyGoes) {
    TCopies copies;
    TActionLog log(copies.Tree / "actions.log");
    const TCleanUpSummary summary = copies.Run({TRemovalMethod::Delete, false, false}, &log);
    EXPECT_EQ(RemovedPaths(copies.Rows, summary),
              (TStrings{copies.Tree / "b/x", copies.Tree / "c/x"}));
    EXPECT_TRUE(Exists(copies.Tree / "a/x"));
}

TEST(CleanUpRunTest, ADryRunChecksEverythingAndTouchesNothing) {
    TCopies copies;
    const TCleanUpSummary summary = copies.Run({TRemovalMethod::Delete, true, true}, nullptr);
    EXPECT_EQ(RemovedPaths(copies.Rows, summary), TStrings{copies.Tree / "b/x"});
    EXPECT_EQ(summary.Differed, 1);
    EXPECT_TRUE(Exists(copies.Tree / "b/x") && Exists(copies.Tree / "c/x"));
    EXPECT_FALSE(Exists(copies.Tree / "actions.log"));
}

TEST(CleanUpRunTest, NothingGoesWithoutTheLog) {
    TCopies copies;
    TActionLog log(copies.Tree / "no/such/actions.log");
    const TCleanUpSummary summary = copies.Run({TRemovalMethod::Delete, true, false}, &log);
    EXPECT_TRUE(summary.Removed.empty());
    EXPECT_EQ(summary.Failed, 2);
    EXPECT_TRUE(Exists(copies.Tree / "b/x"));
}

TEST(CleanUpRunTest, ChangedFilesAreSkipped) {
    {
        TCopies copies;
        WriteBytes(copies.Tree / "b/x", "same bytes, longer"); // after the scan
        TActionLog log(copies.Tree / "actions.log");
        const TCleanUpSummary summary = copies.Run({TRemovalMethod::Delete, false, false}, &log);
        EXPECT_EQ(RemovedPaths(copies.Rows, summary), TStrings{copies.Tree / "c/x"});
        EXPECT_EQ(summary.Changed, 1);
        ASSERT_EQ(summary.Problems.size(), 1u);
        EXPECT_EQ(summary.Problems[0].rfind(copies.Tree / "b/x: ", 0), 0u);
        EXPECT_TRUE(Exists(copies.Tree / "b/x"));
    }
    {
        // With the content check, a copy that changed is found when it is opened: still a change.
        TCopies copies;
        WriteBytes(copies.Tree / "b/x", "same bytes, longer");
        TActionLog log(copies.Tree / "actions.log");
        const TCleanUpSummary summary = copies.Run({TRemovalMethod::Delete, true, false}, &log);
        EXPECT_TRUE(summary.Removed.empty());
        EXPECT_EQ(summary.Changed, 1);
        EXPECT_EQ(summary.Failed, 0);
        EXPECT_EQ(summary.Differed, 1);
    }
    {
        // The copy to keep changed: nothing of its group goes.
        TCopies copies;
        WriteBytes(copies.Tree / "a/x", "other");
        TActionLog log(copies.Tree / "actions.log");
        const TCleanUpSummary summary = copies.Run({TRemovalMethod::Delete, false, false}, &log);
        EXPECT_TRUE(summary.Removed.empty());
        EXPECT_EQ(summary.Changed, 2);
        EXPECT_TRUE(Exists(copies.Tree / "b/x") && Exists(copies.Tree / "c/x"));
    }
}

TEST(CleanUpRunTest, TheKeptCopyReachedByAnotherPathStays) {
    TTestTree tree;
    tree.Dir("a");
    WriteBytes(tree / "a/x", "bytes");
    tree.Symlink("alias", tree / "a");
    std::vector<TResultRow> rows;
    rows.push_back({"x", std::make_unique<TFileGroup>()});
    for (const std::string& path : {tree / "a/x", tree / "alias/x"}) {
        // As loaded from a list: no identity recorded, the disk must tell.
        TFileInfoRec info = RecordOf(path);
        info.Device = info.Inode = 0;
        rows[0].Group->Add(info);
    }
    const TCleanUpPlan plan = PlanCleanUp(rows, TKeepRule::First, TFolderSet(), TFolderSet());
    ASSERT_EQ(plan.Steps.size(), 1u);
    TActionLog log(tree / "actions.log");
    for (const bool verify : {true, false}) {
        const std::atomic<bool> stop{false};
        const TCleanUpSummary summary =
            RunCleanUp(rows, plan, {TRemovalMethod::Delete, verify, false}, &log, stop);
        EXPECT_TRUE(summary.Removed.empty()) << verify;
        EXPECT_EQ(summary.Changed, 1) << verify;
        EXPECT_TRUE(Exists(tree / "a/x"));
    }
}

TEST(CleanUpRunTest, AStopEndsBeforeTheNextFile) {
    TCopies copies;
    TActionLog log(copies.Tree / "actions.log");
    const std::atomic<bool> stop{true};
    const TCleanUpSummary summary =
        RunCleanUp(copies.Rows, copies.Plan, {TRemovalMethod::Delete, false, false}, &log, stop);
    EXPECT_TRUE(summary.Stopped);
    EXPECT_TRUE(summary.Removed.empty());
    EXPECT_TRUE(Exists(copies.Tree / "b/x") && Exists(copies.Tree / "c/x"));
}

TEST(CleanUpRunTest, RowsLeftWithOneCopyLeaveTheResult) {
    std::vector<TResultRow> rows;
    rows.push_back(RowOf("a", {"/1/a", "/2/a", "/3/a"}));
    rows.push_back(RowOf("b", {"/1/b", "/2/b"}));
    rows.push_back(RowOf("c", {"/1/c", "/2/c"}));
    rows.push_back({"none", nullptr}); // a loaded name without copies is not touched
    ApplyRemovals(rows, {{0, 0, 2}, {1, 1, 0}, {0, 1, 2}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Caption, "c");
    EXPECT_EQ(rows[1].Caption, "none");
    std::vector<TResultRow> partly;
    partly.push_back(RowOf("a", {"/1/a", "/2/a", "/3/a"}));
    ApplyRemovals(partly, {{0, 1, 0}});
    ASSERT_EQ(partly.size(), 1u);
    EXPECT_EQ(partly[0].Caption, "a"); // a row that stays in its place keeps its caption
    EXPECT_EQ(partly[0].Group->Path(1), "/3/a");
}

TEST(ContentComparisonTest, ComparesBlockByBlockToTheEnd) {
    TTestTree tree;
    const std::string big(700 * 1024, 'z'); // more than two blocks
    std::string lastDiffers = big;
    lastDiffers.back() = 'y';
    std::string firstDiffers = big;
    firstDiffers.front() = 'y';
    WriteBytes(tree / "kept", big);
    WriteBytes(tree / "equal", big);
    WriteBytes(tree / "last", lastDiffers);
    WriteBytes(tree / "first", firstDiffers);
    WriteBytes(tree / "short", "z");
    std::string keptError;
    const std::vector<TCompared> compared = CompareContents(
        RecordOf(tree / "kept"),
        {RecordOf(tree / "equal"), RecordOf(tree / "last"), RecordOf(tree / "first"),
         RecordOf(tree / "short"), RecordOf(tree / "missing")},
        keptError);
    EXPECT_EQ(keptError, "");
    ASSERT_EQ(compared.size(), 5u);
    EXPECT_EQ(compared[0].Outcome, TCompared::cEqual);
    EXPECT_EQ(compared[1].Outcome, TCompared::cDiffers);
    EXPECT_EQ(compared[2].Outcome, TCompared::cDiffers);
    EXPECT_EQ(compared[3].Outcome, TCompared::cDiffers); // by size, unread
    EXPECT_EQ(compared[4].Outcome, TCompared::cDiffers); // recorded size 0
    // A copy that cannot be read fails; one whose kept copy cannot be read fails too.
    tree.Chmod("", 0755);
    tree.Chmod("equal", 0644);
    tree.Chmod("last", 0600);
    EXPECT_AS_NOBODY([&] {
        std::string error;
        const std::vector<TCompared> asNobody =
            CompareContents(RecordOf(tree / "equal"), {RecordOf(tree / "last")}, error);
        return error.empty() && asNobody[0].Outcome == TCompared::cFailed &&
               asNobody[0].ErrorText == std::strerror(EACCES);
    }());
}

} // namespace
