// The walk to a file's folder that removals and the desktop actions rely on: which paths it
// refuses, which symbolic links it follows and which it does not.

#include "TrustedPath.h"
#include "AsNobody.h"
#include "IoError.h"
#include "TestTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;

// Device and inode of what a path names, following links; {0, 0} when it cannot be stat'ed.
std::pair<dev_t, ino_t> Identity(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return {0, 0};
    return {status.st_dev, status.st_ino};
}

std::pair<dev_t, ino_t> Identity(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0)
        return {0, 0};
    return {status.st_dev, status.st_ino};
}

TEST(TrustedPathTest, RefusesPathsThatAreNotPlainAndAbsolute) {
    TTestTree tree({{"d/x", 1}});
    const std::string d = tree / "d";
    for (const std::string& path :
         {std::string(), std::string("/"), std::string("d/x"), std::string("x"), d + "/../d/x",
          d + "/./x", d + "//x", d + "/x/", d + "/x//", d + "/.", d + "/..",
          tree.Root() + "/./d/x"}) {
        const TTrustedPath way(path);
        EXPECT_EQ(way.Error(), EINVAL) << path;
        EXPECT_EQ(way.FolderFd(), -1) << path;
        EXPECT_EQ(way.ErrorText(), IoErrorText(EINVAL)) << path;
    }
}

TEST(TrustedPathTest, ReachesTheFolderOfAPlainPath) {
    TTestTree tree({{"d/e/x", 1}, {"top", 1}});
    const TTrustedPath way(tree / "d/e/x");
    ASSERT_EQ(way.Error(), 0) << way.ErrorText();
    EXPECT_EQ(way.ErrorText(), "");
    EXPECT_EQ(way.Name(), "x");
    EXPECT_EQ(Identity(way.FolderFd()), Identity(tree / "d/e"));

    // The name at the end need not exist: that is for the caller to look up.
    const TTrustedPath missing(tree / "missing");
    ASSERT_EQ(missing.Error(), 0);
    EXPECT_EQ(Identity(missing.FolderFd()), Identity(tree.Root()));

    const TTrustedPath root("/top-level-name");
    ASSERT_EQ(root.Error(), 0);
    EXPECT_EQ(root.Name(), "top-level-name");
    EXPECT_EQ(Identity(root.FolderFd()), Identity("/"));
}

TEST(TrustedPathTest, ReportsAWayThatNoLongerExists) {
    TTestTree tree({{"d/x", 1}, {"file", 1}});
    const struct {
        const char* Path;
        int Error;
    } cases[] = {{"gone/x", ENOENT}, {"d/gone/x", ENOENT}, {"file/x", ENOTDIR}};
    for (const auto& c : cases) {
        const TTrustedPath way(tree / c.Path);
        EXPECT_EQ(way.Error(), c.Error) << c.Path;
        EXPECT_FALSE(way.UntrustedLink()) << c.Path;
        EXPECT_EQ(way.ErrorText(), std::strerror(c.Error)) << c.Path;
        EXPECT_EQ(way.FolderFd(), -1) << c.Path;
    }
}

// The test tree belongs to root (the user running the tests) and nobody else may write to
// it, so links made in it are trusted.
TEST(TrustedPathTest, FollowsTrustedLinks) {
    TTestTree tree({{"real/sub/x", 1}});
    tree.Dir("pub");
    tree.Chmod("pub", 0755);
    tree.Symlink("pub/relative", "../real");
    tree.Symlink("pub/absolute", tree / "real");
    tree.Symlink("pub/chain", "relative");
    tree.Symlink("pub/dotted", ".//../real/./sub/..");
    tree.Symlink("pub/up", "relative/sub/../.."); // ".." after a link: its physical parent
    tree.Symlink("pub/deep", "relative/sub");
    const struct {
        const char* Path;
        const char* Folder;
    } cases[] = {{"pub/relative/x", "real"},
                 {"pub/absolute/sub/x", "real/sub"},
                 {"pub/chain/sub/x", "real/sub"},
                 {"pub/dotted/x", "real"},
                 {"pub/up/x", ""},
                 {"pub/deep/x", "real/sub"}};
    for (const auto& c : cases) {
        const TTrustedPath way(tree / c.Path);
        ASSERT_EQ(way.Error(), 0) << c.Path << ": " << way.ErrorText();
        EXPECT_EQ(way.Name(), "x");
        EXPECT_EQ(Identity(way.FolderFd()), Identity(*c.Folder ? tree / c.Folder : tree.Root()))
            << c.Path;
    }
}

TEST(TrustedPathTest, RefusesLinksOthersCouldHavePlanted) {
    TTestTree tree({{"real/x", 1}});
    tree.Dir("sticky");
    tree.Chmod("sticky", 01777);
    tree.Symlink("sticky/l", tree / "real");
    tree.Dir("group");
    tree.Chmod("group", 0775);
    tree.Symlink("group/l", "../real");
    tree.Dir("other");
    tree.Chmod("other", 0757);
    tree.Symlink("other/l", "../real");
    for (const char* path : {"sticky/l/x", "group/l/x", "other/l/x"}) {
        const TTrustedPath way(tree / path);
        EXPECT_EQ(way.Error(), EPERM) << path;
        EXPECT_TRUE(way.UntrustedLink()) << path;
        EXPECT_EQ(way.ErrorText(), TTrustedPath::UntrustedLinkText) << path;
        EXPECT_EQ(way.FolderFd(), -1) << path;
    }
}

TEST(TrustedPathTest, RefusesLinksOfAnotherUser) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give files to another user";
    TTestTree tree({{"real/x", 1}});
    tree.Symlink("theirs", "real");
    ASSERT_EQ(lchown((tree / "theirs").c_str(), Nobody, Nobody), 0);
    tree.Dir("their-dir");
    tree.Chmod("their-dir", 0755);
    ASSERT_EQ(chown((tree / "their-dir").c_str(), Nobody, Nobody), 0);
    tree.Symlink("their-dir/mine", "../real");
    for (const char* path : {"theirs/x", "their-dir/mine/x"}) {
        const TTrustedPath way(tree / path);
        EXPECT_EQ(way.Error(), EPERM) << path;
        EXPECT_TRUE(way.UntrustedLink()) << path;
    }
    // Their own folder with their own link is theirs to trust.
    tree.Chmod("", 0755);
    const std::string own = tree / "their-dir/own";
    ASSERT_EQ(symlink("../real", own.c_str()), 0);
    ASSERT_EQ(lchown(own.c_str(), Nobody, Nobody), 0);
    const std::string viaOwn = tree / "their-dir/own/x";
    EXPECT_AS_NOBODY(TTrustedPath(viaOwn).Error() == 0);
    // Root's links stay trusted for them too.
    tree.Dir("pub");
    tree.Chmod("pub", 0755);
    tree.Symlink("pub/l", "../real");
    const std::string viaRoot = tree / "pub/l/x";
    EXPECT_AS_NOBODY(TTrustedPath(viaRoot).Error() == 0);
}

TEST(TrustedPathTest, EndsLinkLoops) {
    TTestTree tree;
    tree.Symlink("a", "b");
    tree.Symlink("b", "a");
    tree.Symlink("self", "./self");
    tree.Symlink("dangling", "nowhere");
    tree.Symlink("empty-end", "real/");
    const struct {
        const char* Path;
        int Error;
    } cases[] = {
        {"a/x", ELOOP}, {"self/x", ELOOP}, {"dangling/x", ENOENT}, {"empty-end/x", ENOENT}};
    for (const auto& c : cases) {
        const TTrustedPath way(tree / c.Path);
        EXPECT_EQ(way.Error(), c.Error) << c.Path;
        EXPECT_FALSE(way.UntrustedLink()) << c.Path;
    }
}

// A folder of the scan replaced by a link to another folder: a trusted link is followed (the
// removal's check of the file is what refuses the file found there), one in a folder that
// others may write to is not.
TEST(TrustedPathTest, AFolderSwappedForALink) {
    TTestTree tree({{"scanned/x", 1}, {"elsewhere/x", 1}});
    tree.Dir("shared");
    tree.Chmod("shared", 01777);
    tree.File("shared/scanned/x", 1);
    const TTrustedPath before(tree / "shared/scanned/x");
    ASSERT_EQ(before.Error(), 0);

    tree.Remove("scanned");
    tree.Symlink("scanned", "elsewhere");
    const TTrustedPath trusted(tree / "scanned/x");
    ASSERT_EQ(trusted.Error(), 0);
    EXPECT_EQ(Identity(trusted.FolderFd()), Identity(tree / "elsewhere"));

    tree.Remove("shared/scanned");
    tree.Symlink("shared/scanned", tree / "elsewhere");
    EXPECT_TRUE(TTrustedPath(tree / "shared/scanned/x").UntrustedLink());
}

// The folders are opened for lookups only: reading them is not needed, searching them is.
TEST(TrustedPathTest, FoldersNeedSearchPermissionOnly) {
    TTestTree tree({{"search-only/sub/x", 1}, {"closed/sub/x", 1}});
    tree.Chmod("", 0755);
    tree.Chmod("search-only", 0711);
    tree.Chmod("closed", 0700);
    const std::string open = tree / "search-only/sub/x", closed = tree / "closed/sub/x";
    EXPECT_AS_NOBODY(TTrustedPath(open).Error() == 0);
    EXPECT_AS_NOBODY(TTrustedPath(closed).Error() == EACCES &&
                     TTrustedPath(closed).ErrorText() == std::strerror(EACCES));
    // The closed folder itself can be reached; what it holds cannot be looked up.
    const std::string inClosed = tree / "closed/sub";
    EXPECT_AS_NOBODY(TTrustedPath(inClosed).Error() == 0);
}

} // namespace
