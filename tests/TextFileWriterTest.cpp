#include "TextFileWriter.h"
#include "ChildChecks.h"
#include "IoError.h"
#include "TestTree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Writes the text into the file; 0 when that worked, else the errno of the failure.
int Save(const std::string& fileName, const std::string& text = "new") {
    try {
        TTextFileWriter out(fileName);
        out.Write(text);
        out.Close();
    } catch (const EInOutError& error) {
        return error.ErrorCode();
    }
    return 0;
}

// ChildHeld when a save gave the error expected, else what it gave.
std::string SaveFails(const std::string& fileName, int expected) {
    const int error = Save(fileName);
    return error == expected ? ChildHeld : "error " + std::to_string(error);
}

struct stat StatOf(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info;
}

// The tree's root is private to its owner; a test that drops to another user opens it.
void OpenToEveryone(const TTestTree& tree) {
    chmod(tree.Root().c_str(), 0755);
}

TEST(TextFileWriterTest, AFileThatCannotBeMadeBesideTheTargetLeavesItUntouched) {
    // The directory belongs to root and the file may be written by anyone: writing in place
    // would work, and would cut the file off if the write then failed.
    TTestTree tree;
    OpenToEveryone(tree);
    tree.Dir("locked");
    WriteBytes(tree / "locked/old.txt", "old content");
    chmod((tree / "locked/old.txt").c_str(), 0666);
    const TChildOutcome outcome = RunBoundedChild(
        [&] { return DropToNobody() ? SaveFails(tree / "locked/old.txt", EACCES) : ChildSkipped; });
    if (outcome.Output == ChildSkipped)
        GTEST_SKIP() << "cannot become another user here";
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.Output, ChildHeld);
    EXPECT_EQ(ReadBytes(tree / "locked/old.txt"), "old content");
    EXPECT_EQ(Entries(tree / "locked"), std::vector<std::string>{"old.txt"});
}

TEST(TextFileWriterTest, NoFreeInodeLeavesTheOldFileUntouched) {
    TTestTree tree;
    tree.Dir("mnt");
    const std::string file = tree / "mnt/old.txt";
    const TChildOutcome outcome = RunBoundedChild([&]() -> std::string {
        // Two inodes: the root directory of the mount and the old file.
        if (!MountPrivateTmpfs(tree / "mnt", "nr_inodes=2,size=1m"))
            return ChildSkipped;
        WriteBytes(file, "old content");
        if (ReadBytes(file) != "old content")
            return "the old file was not made";
        const std::string saved = SaveFails(file, ENOSPC);
        if (ReadBytes(file) != "old content" || Entries(tree / "mnt").size() != 1)
            return "the old file changed";
        return saved;
    });
    if (outcome.Output == ChildSkipped)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.Output, ChildHeld);
}

TEST(TextFileWriterTest, AReplacedFileKeepsItsModeAndOwner) {
    struct TCase {
        const char* Name;
        mode_t Mode;
        uid_t Owner; // for root only
        gid_t Group;
    };
    const TCase cases[] = {
        {"private", 0600, 1234, 5678},
        {"readable by others only", 0604, 4321, 0},
        {"set-group-ID", 02750, 0, 1234},
    };
    const bool root = geteuid() == 0;
    TTestTree tree;
    for (const TCase& c : cases) {
        const std::string file = tree / c.Name;
        WriteBytes(file, "old");
        if (root) {
            ASSERT_EQ(chown(file.c_str(), c.Owner, c.Group), 0);
        }
        chmod(file.c_str(), c.Mode);
        const struct stat before = StatOf(file);
        EXPECT_EQ(Save(file), 0) << c.Name;
        EXPECT_EQ(ReadBytes(file), "new") << c.Name;
        const struct stat after = StatOf(file);
        EXPECT_NE(after.st_ino, before.st_ino) << c.Name << ": not written beside";
        EXPECT_EQ(after.st_mode & 07777, c.Mode) << c.Name;
        EXPECT_EQ(after.st_uid, before.st_uid) << c.Name;
        EXPECT_EQ(after.st_gid, before.st_gid) << c.Name;
    }
}

TEST(TextFileWriterTest, TheFileBesideTheTargetIsNeverOpenerThanTheTarget) {
    TTestTree tree;
    const std::string secret = tree / "secret.twc";
    WriteBytes(secret, "old");
    chmod(secret.c_str(), 0600);
    const mode_t savedMask = umask(022);
    {
        TTextFileWriter out(secret);
        out.WriteLine("new");
        for (const std::string& name : Entries(tree.Root())) {
            if (name.find(".tmp") != std::string::npos) {
                EXPECT_EQ(StatOf(tree / name).st_mode & 077, 0u) << name;
            }
        }
        out.Close();
    }
    EXPECT_EQ(Save(tree / "new.twc"), 0);
    umask(savedMask);
    EXPECT_EQ(StatOf(secret).st_mode & 07777, 0600u);
    // A new file gets what the mask allows, as one made directly would.
    EXPECT_EQ(StatOf(tree / "new.twc").st_mode & 07777, 0644u);
}

TEST(TextFileWriterTest, AnotherUsersFileIsReplacedByTheCallersOwn) {
    // Only root may give a file away: for anyone else, refusing to would fail every save.
    if (geteuid() != 0)
        GTEST_SKIP() << "making a directory another user's needs root";
    TTestTree tree;
    OpenToEveryone(tree);
    tree.Dir("nobody");
    ASSERT_EQ(chown((tree / "nobody").c_str(), 65534, 65534), 0);
    const std::string file = tree / "nobody/root.txt";
    WriteBytes(file, "old");
    chmod(file.c_str(), 0644);
    const TChildOutcome outcome =
        RunBoundedChild([&] { return DropToNobody() ? SaveFails(file, 0) : ChildSkipped; });
    if (outcome.Output == ChildSkipped)
        GTEST_SKIP() << "cannot become another user here";
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.Output, ChildHeld);
    EXPECT_EQ(ReadBytes(file), "new");
    EXPECT_EQ(StatOf(file).st_uid, 65534u);
    EXPECT_EQ(StatOf(file).st_mode & 07777, 0644u);
}

TEST(TextFileWriterTest, SymbolicLinksAreWrittenThroughAndStay) {
    struct TCase {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Links; // link, its text
        std::string Written;                                    // the file that gets "new"
        int Error;
    };
    const std::vector<TCase> cases{
        {"to a file", {{"link", "data/file"}}, "data/file", 0},
        {"to a file not there yet", {{"link", "data/new"}}, "data/new", 0},
        {"a chain", {{"link", "data/second"}, {"data/second", "file"}}, "data/file", 0},
        {"a loop", {{"link", "other"}, {"other", "link"}}, "", ELOOP},
        {"into a missing directory", {{"link", "none/file"}}, "", ENOENT},
    };
    for (const TCase& c : cases) {
        TTestTree tree;
        tree.Dir("data");
        WriteBytes(tree / "data/file", "old");
        for (const auto& [link, text] : c.Links)
            tree.Symlink(link, text);
        EXPECT_EQ(Save(tree / "link"), c.Error) << c.Name;
        EXPECT_TRUE(fs::is_symlink(tree / "link")) << c.Name;
        if (!c.Written.empty()) {
            EXPECT_EQ(ReadBytes(tree / c.Written), "new") << c.Name;
        }
        if (c.Written != "data/file") {
            EXPECT_EQ(ReadBytes(tree / "data/file"), "old") << c.Name;
        }
        for (const auto& [link, text] : c.Links)
            EXPECT_TRUE(fs::is_symlink(tree / link)) << c.Name << ": " << link;
    }
}

TEST(TextFileWriterTest, ALinkPlantedInASharedStickyDirectoryIsNotFollowed) {
    struct TCase {
        const char* Name;
        uid_t LinkOwner;
        uid_t DirOwner;
        mode_t DirMode;
        int Error;
    };
    const TCase cases[] = {
        {"someone else's link in a shared sticky directory", 65534, 0, 01777, EACCES},
        {"the directory owner's link", 65534, 65534, 01777, 0},
        {"the caller's own link", 0, 65534, 01777, 0},
        {"sticky but not writable by all", 65534, 0, 01775, 0},
    };
    if (geteuid() != 0)
        GTEST_SKIP() << "links of other users need root";
    for (const TCase& c : cases) {
        TTestTree tree;
        tree.Dir("shared");
        WriteBytes(tree / "target", "old");
        tree.Symlink("shared/link", tree / "target");
        ASSERT_EQ(lchown((tree / "shared/link").c_str(), c.LinkOwner, c.LinkOwner), 0);
        ASSERT_EQ(chown((tree / "shared").c_str(), c.DirOwner, c.DirOwner), 0);
        chmod((tree / "shared").c_str(), c.DirMode);
        EXPECT_EQ(Save(tree / "shared/link"), c.Error) << c.Name;
        EXPECT_EQ(ReadBytes(tree / "target"), c.Error == 0 ? "new" : "old") << c.Name;
        EXPECT_TRUE(fs::is_symlink(tree / "shared/link")) << c.Name;
        EXPECT_EQ(Entries(tree / "shared"), std::vector<std::string>{"link"}) << c.Name;
    }
}

TEST(TextFileWriterTest, APipeWithoutAReaderIsAnErrorNotAWait) {
    TTestTree tree;
    tree.Fifo("pipe");
    // A child that waited for a reader is ended by its alarm and does not count as ended.
    const TChildOutcome outcome =
        RunBoundedChild([&] { return SaveFails(tree / "pipe", ENXIO); }, 20);
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.Output, ChildHeld);
    EXPECT_EQ(StatOf(tree / "pipe").st_mode & S_IFMT, static_cast<mode_t>(S_IFIFO));
}

TEST(TextFileWriterTest, ANameOfNearlyTheLongestLengthIsSaved) {
    TTestTree tree;
    const std::string file = tree / std::string(250, 'n');
    WriteBytes(file, "old");
    EXPECT_EQ(Save(file), 0);
    EXPECT_EQ(ReadBytes(file), "new");
    EXPECT_EQ(Entries(tree.Root()).size(), 1u);
}

} // namespace
