// The check of a copy against its record right before it is removed, the removal itself and the
// guard for the last copy.

#include "FileRemoval.h"
#include "ActionLog.h"
#include "AsNobody.h"
#include "FileTimes.h"
#include "ForkedChild.h"
#include "RecordedFile.h"
#include "TestTree.h"
#include "TrustedPath.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <regex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The record of the same file loaded from a result list: no identity.
TFileInfoRec Loaded(const std::string& path) {
    TFileInfoRec info = RecordOf(path);
    info.Device = 0;
    info.Inode = 0;
    return info;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

void SetTime(const std::string& path, time_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Puts a removal in place that fails with an errno for as long as the object lives.
class TFailingRemoval {
  public:
    explicit TFailingRemoval(int error) : FSaved(TRecordedFile::UnlinkAt) {
        Error = error;
        Calls = 0;
        TRecordedFile::UnlinkAt = [](int, const char*, int) {
            ++Calls;
            errno = Error;
            return -1;
        };
    }
    ~TFailingRemoval() { TRecordedFile::UnlinkAt = FSaved; }
    TFailingRemoval(const TFailingRemoval&) = delete;
    TFailingRemoval& operator=(const TFailingRemoval&) = delete;

    static inline int Error = 0;
    static inline int Calls = 0;

  private:
    int (*FSaved)(int, const char*, int);
};

TFileGroup GroupOf(std::vector<TFileInfoRec> records) {
    TFileGroup group;
    for (TFileInfoRec& record : records)
        group.Add(std::move(record));
    return group;
}

// What a copy recorded as a 10-byte file at tree/"d/x" is after a change made behind the list.
struct TChange {
    const char* Name;
    std::function<void(TTestTree&)> Make;
    bool Loaded; // the record comes from a result list file
    TRecordedFile::TState State;
};

TEST(RecordedFileTest, ComparesTheFileWithItsRecord) {
    const time_t t = TTestTree::DefaultTime;
    const std::string x = "d/x";
    const std::vector<TChange> changes = {
        {"unchanged", [](TTestTree&) {}, false, TRecordedFile::rfSame},
        {"unchanged, loaded", [](TTestTree&) {}, true, TRecordedFile::rfSame},
        {"size", [&](TTestTree& tree) { tree.File(x, 11); }, false, TRecordedFile::rfChanged},
        {"size beyond 32 bits", [&](TTestTree& tree) { tree.File(x, 10 + (int64_t{1} << 32)); },
         true, TRecordedFile::rfChanged},
        {"time", [&](TTestTree& tree) { SetTime(tree / x, t + 2, 0); }, true,
         TRecordedFile::rfChanged},
        {"time by one 100 ns step", [&](TTestTree& tree) { SetTime(tree / x, t, 100); }, true,
         TRecordedFile::rfChanged},
        {"time within one 100 ns step", [&](TTestTree& tree) { SetTime(tree / x, t, 99); }, false,
         TRecordedFile::rfSame},
        {"another file in its place",
         [&](TTestTree& tree) {
             tree.Remove(x);
             tree.File("keep-inode-busy", 10); // so that the new file cannot reuse the inode
             tree.File(x, 10);
         },
         false, TRecordedFile::rfChanged},
        {"another file in its place, loaded",
         [&](TTestTree& tree) {
             tree.Remove(x);
             tree.File(x, 10);
         },
         true, TRecordedFile::rfSame},
        {"a folder",
         [&](TTestTree& tree) {
             tree.Remove(x);
             tree.Dir(x);
         },
         true, TRecordedFile::rfChanged},
        {"a FIFO",
         [&](TTestTree& tree) {
             tree.Remove(x);
             tree.Fifo(x);
         },
         true, TRecordedFile::rfChanged},
        {"a link to a file like it",
         [&](TTestTree& tree) {
             tree.File("y", 10);
             tree.Remove(x);
             tree.Symlink(x, tree / "y");
         },
         true, TRecordedFile::rfChanged},
        {"gone", [&](TTestTree& tree) { tree.Remove(x); }, false, TRecordedFile::rfGone},
        {"folder gone", [](TTestTree& tree) { tree.Remove("d"); }, false, TRecordedFile::rfGone},
        {"folder now a file",
         [](TTestTree& tree) {
             tree.Remove("d");
             tree.File("d", 10);
         },
         false, TRecordedFile::rfGone},
    };
    for (const TChange& change : changes) {
        TTestTree tree({{x, 10, t}});
        const TFileInfoRec record = change.Loaded ? Loaded(tree / x) : RecordOf(tree / x);
        change.Make(tree);
        const TRecordedFile file(record);
        EXPECT_EQ(file.State(), change.State) << change.Name;
        const char* text = change.State == TRecordedFile::rfSame      ? ""
                           : change.State == TRecordedFile::rfChanged ? TRecordedFile::ChangedText
                                                                      : nullptr;
        if (text != nullptr) {
            EXPECT_EQ(file.ErrorText(), text) << change.Name;
        }
    }
}

TEST(RecordedFileTest, RefusedPathsAreUnreachable) {
    TTestTree tree({{"real/x", 10}});
    tree.Dir("sticky");
    tree.Chmod("sticky", 01777);
    tree.Symlink("sticky/l", tree / "real");
    const struct {
        std::string Path;
        std::string Text;
    } cases[] = {{tree / "real/../real/x", "Invalid filename"},
                 {tree / "sticky/l/x", TTrustedPath::UntrustedLinkText}};
    for (const auto& c : cases) {
        TFileInfoRec record = FileInfoForPath(c.Path);
        record.Size = 10;
        record.LastWriteTime = LastWriteTimeFromUnix(TTestTree::DefaultTime, 0);
        const TRecordedFile file(record);
        EXPECT_EQ(file.State(), TRecordedFile::rfUnreachable) << c.Path;
        EXPECT_EQ(file.ErrorText(), c.Text) << c.Path;
        EXPECT_NE(file.Remove(), 0);
    }
    EXPECT_TRUE(Exists(tree / "real/x"));
}

TEST(RecordedFileTest, AFolderTheUserCannotSearch) {
    TTestTree tree({{"closed/x", 10}});
    tree.Chmod("", 0755);
    tree.Chmod("closed", 0700);
    const TFileInfoRec record = RecordOf(tree / "closed/x");
    EXPECT_AS_NOBODY(TRecordedFile(record).State() == TRecordedFile::rfUnreachable &&
                     TRecordedFile(record).ErrorText() == std::strerror(EACCES));
}

// A log for the removals of the tests that are not about the log, opened once by the test
// program (a child that drops its rights keeps writing to it).
TActionLog& TestLog() {
    static const TTestTree folder;
    static TActionLog log(folder / "actions.log");
    return log;
}

TEST(RemoveCopyTest, RemovesTheCopyAndKeepsTheOthers) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}, {"c/x", 10}});
    const TFileGroup group =
        GroupOf({RecordOf(tree / "a/x"), RecordOf(tree / "b/x"), RecordOf(tree / "c/x")});
    const TFileRemoval removal =
        RemoveCopy(group, 1, {tree / "b/x"}, TRemovalMethod::Delete, TestLog());
    EXPECT_EQ(removal.Outcome, TFileRemoval::frRemoved);
    EXPECT_EQ(removal.ErrorText, "");
    EXPECT_TRUE(Exists(tree / "a/x") && Exists(tree / "c/x"));
    EXPECT_FALSE(Exists(tree / "b/x"));
    EXPECT_EQ(group.Count(), 3); // the caller takes the entry off
}

TEST(RemoveCopyTest, ACopyAlreadyGoneIsNoFailure) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}, {"c/x", 10}});
    const TFileGroup group =
        GroupOf({RecordOf(tree / "a/x"), RecordOf(tree / "b/x"), RecordOf(tree / "c/x")});
    tree.Remove("a");
    EXPECT_EQ(RemoveCopy(group, 0, {}, TRemovalMethod::Delete, TestLog()).Outcome,
              TFileRemoval::frGone);
    // Gone between the check and the removal.
    TFailingRemoval vanishing(ENOENT);
    const TFileRemoval removal = RemoveCopy(group, 1, {}, TRemovalMethod::Delete, TestLog());
    EXPECT_EQ(removal.Outcome, TFileRemoval::frGone);
    EXPECT_EQ(removal.ErrorText, "");
    EXPECT_EQ(TFailingRemoval::Calls, 1);
}

TEST(RemoveCopyTest, AFailedRemovalKeepsTheCopyWithTheSystemsReason) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}});
    const TFileGroup group = GroupOf({RecordOf(tree / "a/x"), RecordOf(tree / "b/x")});
    for (int error : {EACCES, EROFS, EBUSY}) {
        TFailingRemoval failing(error);
        const TFileRemoval removal = RemoveCopy(group, 0, {}, TRemovalMethod::Delete, TestLog());
        EXPECT_EQ(removal.Outcome, TFileRemoval::frKept) << error;
        EXPECT_EQ(removal.ErrorText, std::strerror(error));
        EXPECT_EQ(TFailingRemoval::Calls, 1);
        EXPECT_TRUE(Exists(tree / "a/x"));
    }
}

TEST(RemoveCopyTest, AFolderNotWritableByTheUser) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}});
    tree.Chmod("", 0755);
    const TFileGroup group = GroupOf({RecordOf(tree / "a/x"), RecordOf(tree / "b/x")});
    TestLog();
    EXPECT_AS_NOBODY(RemoveCopy(group, 0, {}, TRemovalMethod::Delete, TestLog()).ErrorText ==
                     std::strerror(EACCES));
    EXPECT_TRUE(Exists(tree / "a/x"));
}

// The copy that stays must be the file its record describes and not the doomed file itself.
TEST(RemoveCopyTest, TheLastCopyIsKept) {
    const struct {
        const char* Name;
        std::function<void(TTestTree&)> Make;
        bool Removed;
    } others[] = {
        {"a copy", [](TTestTree&) {}, true},
        {"a changed copy", [](TTestTree& tree) { tree.File("b/x", 11); }, false},
        {"a copy gone", [](TTestTree& tree) { tree.Remove("b/x"); }, false},
        {"a copy replaced by a hard link to the doomed file",
         [](TTestTree& tree) {
             tree.Remove("b/x");
             ASSERT_EQ(link((tree / "a/x").c_str(), (tree / "b/x").c_str()), 0);
         },
         false},
        {"a copy replaced by a link to the doomed file",
         [](TTestTree& tree) {
             tree.Remove("b/x");
             tree.Symlink("b/x", tree / "a/x");
         },
         false},
    };
    for (const auto& other : others) {
        TTestTree tree({{"a/x", 10}, {"b/x", 10}});
        // As loaded from a list, the records carry no identity: the disk must tell.
        const TFileGroup group = GroupOf({Loaded(tree / "a/x"), Loaded(tree / "b/x")});
        other.Make(tree);
        const TFileRemoval removal = RemoveCopy(group, 0, {}, TRemovalMethod::Delete, TestLog());
        EXPECT_EQ(removal.Outcome, other.Removed ? TFileRemoval::frRemoved : TFileRemoval::frKept)
            << other.Name;
        EXPECT_EQ(Exists(tree / "a/x"), !other.Removed) << other.Name;
        if (!other.Removed) {
            EXPECT_NE(removal.ErrorText.find("last copy"), std::string::npos) << removal.ErrorText;
        }
    }

    // A copy that is itself selected for deletion, or the same path listed twice, does not count.
    TTestTree tree({{"a/x", 10}, {"b/x", 10}});
    const TFileGroup group =
        GroupOf({RecordOf(tree / "a/x"), RecordOf(tree / "b/x"), RecordOf(tree / "a/x")});
    EXPECT_EQ(RemoveCopy(group, 0, {tree / "a/x", tree / "b/x"}, TRemovalMethod::Delete, TestLog())
                  .Outcome,
              TFileRemoval::frKept);
    EXPECT_EQ(RemoveCopy(group, 1, {tree / "b/x"}, TRemovalMethod::Delete, TestLog()).Outcome,
              TFileRemoval::frRemoved);
    EXPECT_EQ(RemoveCopy(group, 0, {tree / "a/x"}, TRemovalMethod::Delete, TestLog()).Outcome,
              TFileRemoval::frKept);
    EXPECT_TRUE(Exists(tree / "a/x"));
}

// The local time zone for as long as the object lives.
class TTimeZone {
  public:
    explicit TTimeZone(const char* zone) {
        const char* saved = std::getenv("TZ");
        FSaved = saved != nullptr ? saved : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TTimeZone() {
        setenv("TZ", FSaved.c_str(), 1);
        tzset();
    }

  private:
    std::string FSaved;
};

std::vector<std::string> LogLines(const std::string& fileName) {
    std::vector<std::string> lines;
    std::string text = ReadBytes(fileName);
    for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(text.substr(from, end - from));
    return lines;
}

TEST(ActionLogTest, ARemovalWritesOneLineWithItsFieldsEscaped) {
    TTestTree tree({{"a/x\t\r\n\\y", 10}, {"b/x\t\r\n\\y", 10}});
    SetTime(tree / "a/x\t\r\n\\y", 1700000000, 0);
    const TFileGroup group =
        GroupOf({RecordOf(tree / "a/x\t\r\n\\y"), RecordOf(tree / "b/x\t\r\n\\y")});
    TActionLog log(tree / "actions.log");
    ASSERT_TRUE(log.Usable()) << log.ErrorText();
    EXPECT_EQ(RemoveCopy(group, 0, {}, TRemovalMethod::Delete, log).Outcome,
              TFileRemoval::frRemoved);

    const std::vector<std::string> lines = LogLines(tree / "actions.log");
    ASSERT_EQ(lines.size(), 1u);
    const std::regex line("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+00:00\\tdelete\\t(.*)");
    std::smatch fields;
    ASSERT_TRUE(std::regex_match(lines[0], fields, line)) << lines[0];
    EXPECT_EQ(fields[1].str(), tree / "a/x\\t\\r\\n\\\\y" + "\t10\t2023-11-14T22:13:20+00:00\t" +
                                   tree / "b/x\\t\\r\\n\\\\y");
}

TEST(ActionLogTest, TimesCarryTheirOffset) {
    {
        TTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(TActionLog::IsoTime(0), "1970-01-01T01:00:00+01:00");
        EXPECT_EQ(TActionLog::IsoTime(1720000000), "2024-07-03T11:46:40+02:00");
    }
    {
        TTimeZone zone("<-0330>3:30");
        EXPECT_EQ(TActionLog::IsoTime(0), "1969-12-31T20:30:00-03:30");
    }
}

TEST(ActionLogTest, ItsPlaceFollowsXdgStateHome) {
    const char* savedState = std::getenv("XDG_STATE_HOME");
    const std::string restore = savedState != nullptr ? savedState : "";
    setenv("XDG_STATE_HOME", "/state/", 1);
    EXPECT_EQ(TActionLog::DefaultFileName(), "/state/twinseek/actions.log");
    setenv("XDG_STATE_HOME", "relative/state", 1); // not absolute: ignored
    const std::string home = std::getenv("HOME");
    EXPECT_EQ(TActionLog::DefaultFileName(), home + "/.local/state/twinseek/actions.log");
    // Without an absolute place the log is not made somewhere else, such as "/.local/state".
    setenv("HOME", "relative/home", 1);
    EXPECT_EQ(TActionLog::DefaultFileName(), "");
    const TActionLog nowhere;
    EXPECT_FALSE(nowhere.Usable());
    EXPECT_EQ(nowhere.ErrorText(),
              "Cannot open the action log: neither XDG_STATE_HOME nor HOME names a folder");
    setenv("HOME", home.c_str(), 1);
    if (savedState != nullptr)
        setenv("XDG_STATE_HOME", restore.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
}

TEST(ActionLogTest, WithoutALogNothingIsRemoved) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}});
    tree.Dir("log");
    const TFileGroup group = GroupOf({RecordOf(tree / "a/x"), RecordOf(tree / "b/x")});
    for (const std::string& place : {tree / "missing/actions.log", tree / "log"}) {
        TActionLog log(place);
        EXPECT_FALSE(log.Usable()) << place;
        const TFileRemoval removal = RemoveCopy(group, 0, {}, TRemovalMethod::Delete, log);
        EXPECT_EQ(removal.Outcome, TFileRemoval::frKept) << place;
        EXPECT_NE(removal.ErrorText.find("Cannot open the action log " + place), std::string::npos)
            << removal.ErrorText;
        EXPECT_TRUE(Exists(tree / "a/x"));
    }
    // A link in the log's place is not followed.
    tree.Symlink("link.log", tree / "elsewhere.log");
    EXPECT_FALSE(TActionLog(tree / "link.log").Usable());
    EXPECT_FALSE(Exists(tree / "elsewhere.log"));
}

// A line that cannot be written stops the removals that would follow it.
TEST(ActionLogTest, ALineThatCannotBeWrittenStopsFurtherRemovals) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}, {"c/x", 10}});
    const TChildOutcome outcome = RunInForkedChild([&]() -> std::string {
        const TFileGroup group =
            GroupOf({RecordOf(tree / "a/x"), RecordOf(tree / "b/x"), RecordOf(tree / "c/x")});
        TActionLog log(tree / "actions.log");
        // No byte more may be written to any file.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{0, 0};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return "skip: no file size limit";
        const TFileRemoval first = RemoveCopy(group, 0, {}, TRemovalMethod::Delete, log);
        const TFileRemoval second = RemoveCopy(group, 1, {}, TRemovalMethod::Delete, log);
        return std::to_string(first.Outcome) + " " + first.ErrorText + "|" +
               std::to_string(second.Outcome) + " " + second.ErrorText;
    });
    if (outcome.Output.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << outcome.Output;
    ASSERT_TRUE(outcome.Ended) << outcome.Output;
    const std::string failure =
        "Cannot write the action log " + tree / "actions.log" + ": " + std::strerror(EFBIG);
    EXPECT_EQ(outcome.Output, std::to_string(TFileRemoval::frRemoved) + " " + failure + "|" +
                                  std::to_string(TFileRemoval::frKept) + " " + failure);
    EXPECT_FALSE(Exists(tree / "a/x"));
    EXPECT_TRUE(Exists(tree / "b/x"));
}

} // namespace
