// The check of a copy against its record right before it is removed, the removal itself and the
// guard for the last copy.

#include "FileRemoval.h"
#include "AsNobody.h"
#include "FileTimes.h"
#include "RecordedFile.h"
#include "TestTree.h"
#include "TrustedPath.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The record a scan of this run makes of a file: size, time and identity.
TFileInfoRec Scanned(const std::string& path) {
    TFileInfoRec info = FileInfoForPath(path);
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0) {
        info.Size = status.st_size;
        info.LastWriteTime = LastWriteTimeFromUnix(status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
        info.Device = status.st_dev;
        info.Inode = status.st_ino;
    }
    return info;
}

// The record of the same file loaded from a result list: no identity.
TFileInfoRec Loaded(const std::string& path) {
    TFileInfoRec info = Scanned(path);
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
        const TFileInfoRec record = change.Loaded ? Loaded(tree / x) : Scanned(tree / x);
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
    const TFileInfoRec record = Scanned(tree / "closed/x");
    EXPECT_AS_NOBODY(TRecordedFile(record).State() == TRecordedFile::rfUnreachable &&
                     TRecordedFile(record).ErrorText() == std::strerror(EACCES));
}

TEST(RemoveCopyTest, RemovesTheCopyAndKeepsTheOthers) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}, {"c/x", 10}});
    const TFileGroup group =
        GroupOf({Scanned(tree / "a/x"), Scanned(tree / "b/x"), Scanned(tree / "c/x")});
    const TFileRemoval removal = RemoveCopy(group, 1, {tree / "b/x"});
    EXPECT_EQ(removal.Outcome, TFileRemoval::frRemoved);
    EXPECT_EQ(removal.ErrorText, "");
    EXPECT_TRUE(Exists(tree / "a/x") && Exists(tree / "c/x"));
    EXPECT_FALSE(Exists(tree / "b/x"));
    EXPECT_EQ(group.Count(), 3); // the caller takes the entry off
}

TEST(RemoveCopyTest, ACopyAlreadyGoneIsNoFailure) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}, {"c/x", 10}});
    const TFileGroup group =
        GroupOf({Scanned(tree / "a/x"), Scanned(tree / "b/x"), Scanned(tree / "c/x")});
    tree.Remove("a");
    EXPECT_EQ(RemoveCopy(group, 0, {}).Outcome, TFileRemoval::frGone);
    // Gone between the check and the removal.
    TFailingRemoval vanishing(ENOENT);
    const TFileRemoval removal = RemoveCopy(group, 1, {});
    EXPECT_EQ(removal.Outcome, TFileRemoval::frGone);
    EXPECT_EQ(removal.ErrorText, "");
    EXPECT_EQ(TFailingRemoval::Calls, 1);
}

TEST(RemoveCopyTest, AFailedRemovalKeepsTheCopyWithTheSystemsReason) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}});
    const TFileGroup group = GroupOf({Scanned(tree / "a/x"), Scanned(tree / "b/x")});
    for (int error : {EACCES, EROFS, EBUSY}) {
        TFailingRemoval failing(error);
        const TFileRemoval removal = RemoveCopy(group, 0, {});
        EXPECT_EQ(removal.Outcome, TFileRemoval::frKept) << error;
        EXPECT_EQ(removal.ErrorText, std::strerror(error));
        EXPECT_EQ(TFailingRemoval::Calls, 1);
        EXPECT_TRUE(Exists(tree / "a/x"));
    }
}

TEST(RemoveCopyTest, AFolderNotWritableByTheUser) {
    TTestTree tree({{"a/x", 10}, {"b/x", 10}});
    tree.Chmod("", 0755);
    const TFileGroup group = GroupOf({Scanned(tree / "a/x"), Scanned(tree / "b/x")});
    EXPECT_AS_NOBODY(RemoveCopy(group, 0, {}).ErrorText == std::strerror(EACCES));
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
        const TFileRemoval removal = RemoveCopy(group, 0, {});
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
        GroupOf({Scanned(tree / "a/x"), Scanned(tree / "b/x"), Scanned(tree / "a/x")});
    EXPECT_EQ(RemoveCopy(group, 0, {tree / "a/x", tree / "b/x"}).Outcome, TFileRemoval::frKept);
    EXPECT_EQ(RemoveCopy(group, 1, {tree / "b/x"}).Outcome, TFileRemoval::frRemoved);
    EXPECT_EQ(RemoveCopy(group, 0, {tree / "a/x"}).Outcome, TFileRemoval::frKept);
    EXPECT_TRUE(Exists(tree / "a/x"));
}

} // namespace
