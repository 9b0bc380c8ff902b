#include "DirWalker.h"
#include "DirReadAhead.h"
#include "ForkedChild.h"
#include "RecordingListener.h"
#include "ScanFixture.h"
#include "ScanThread.h"
#include "TestTree.h"
#include "VirtualFileSystems.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <linux/capability.h>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using TStrings = std::vector<std::string>;

// Records the walk's reports with paths relative to the tree: each file, and "enter N" for each
// subdirectory about to be entered.
class TRecordingSink : public TWalkSink {
  public:
    explicit TRecordingSink(std::string prefix) : FPrefix(std::move(prefix)) {}

    uint32_t BeginDirectory(const std::string& dir, uint64_t, uint64_t) override {
        FDirs.push_back(dir.compare(0, FPrefix.size(), FPrefix) == 0 ? dir.substr(FPrefix.size())
                                                                     : dir);
        return static_cast<uint32_t>(FDirs.size() - 1);
    }
    void CollectFile(uint32_t dirIndex, std::string_view name) override {
        Files.push_back(FDirs.at(dirIndex) + std::string(name));
        Events.push_back(Files.back());
        if (OnFile)
            OnFile(Files.back());
    }
    void EnteringSubdirectory(int directoriesRead) override {
        Events.push_back("enter " + std::to_string(directoriesRead));
    }

    std::function<void(const std::string&)> OnFile;
    TStrings Files;
    TStrings Events;

  private:
    std::string FPrefix;
    TStrings FDirs;
};

struct TWalk {
    TStrings Files;
    TStrings Events;
    int DirectoriesRead = 0;
};

TWalk Walk(const TTestTree& tree, const TStrings& roots, const TStrings& masks = {"*.*"},
           const TStrings& excludes = {},
           const std::function<void(const std::string&)>& onFile = nullptr) {
    std::atomic<bool> stop{false};
    TRecordingSink sink(tree.Root() + "/");
    sink.OnFile = onFile;
    TDirWalker walker(std::vector<TWildcardMask>(masks.begin(), masks.end()), excludes, stop, sink);
    for (const std::string& root : roots)
        walker.ScanRoot(root);
    return {sink.Files, sink.Events, walker.DirectoriesRead()};
}

size_t OpenDescriptors() {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        count += entry.exists() ? 1 : 0;
    return count;
}

TEST(DirWalkerTest, AFailureDuringTheWalkLeavesNoDirectoryOpen) {
    // The siblings of "a" are offered to the read-ahead, which may be below them when the walk
    // fails.
    TTestTree tree{{"a/b/c/d/x.txt"}, {"e/f/g/y.txt"}, {"h/i/j/z.txt"}};
    const size_t before = OpenDescriptors();
    EXPECT_THROW(Walk(tree, {tree.Root()}, {"*.*"}, {},
                      [](const std::string&) { throw std::runtime_error("Too many names"); }),
                 std::runtime_error);
    EXPECT_EQ(OpenDescriptors(), before);
}

// A whole scan through the thread, for the rules that only show in its messages or its groups.
bool RunScan(TScan& scan, const std::string& scanPath, const std::string& excludePath = {}) {
    TOptionRec options;
    options.CompareMode = cmNameOnly;
    options.ScanPath = scanPath;
    options.ExcludePath = excludePath;
    return scan.Run(options);
}

TEST(DirWalkerTest, WalksFilesFirstThenSubdirectoriesInByteOrder) {
    TTestTree tree{{"a.txt"},   {"B.txt"},  {"_.txt"},   {"\xc3\xa9.txt"},
                   {"Sub/one"}, {"sub/zz"}, {"sub/two"}, {"sub/deeper/three"}};
    const TWalk walk = Walk(tree, {tree.Root()});
    const TStrings expected = {"B.txt",   "_.txt",   "a.txt",           "\xc3\xa9.txt",
                               "enter 1", "Sub/one", "enter 2",         "sub/two",
                               "sub/zz",  "enter 3", "sub/deeper/three"};
    EXPECT_EQ(walk.Events, expected);
    EXPECT_EQ(walk.DirectoriesRead, 3); // the scan root itself is not counted
}

TEST(DirWalkerTest, CollectsRegularFilesOnlyAndNeverOpensThem) {
    TTestTree tree{{"a/x.txt"}, {"h/x.txt"}, {"e/"}};
    tree.Fifo("b/x.txt");
    tree.Symlink("c/x.txt", tree / "a/x.txt");
    tree.Symlink("d", tree / "a"); // not followed, not counted
    tree.Symlink("e/loop", ".");   // would loop if followed
    tree.Symlink("e/up", "..");
    tree.Symlink("g/x.txt", tree / "nowhere");
    const std::string socketPath = tree / "f/x.txt";
    tree.Dir("f");
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    TScan scan;
    const bool done = RunScan(scan, tree.Root());
    if (!done) {
        // A walk stuck in opening the FIFO is released by a writer, so that the test can end.
        const int fd = open((tree / "b/x.txt").c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    }
    close(sock);
    ASSERT_TRUE(done) << "the scan did not end: the FIFO was opened";

    const std::vector<TRecordedMessage> expected = {
        {WM_SCAN_PROGRESS, 0, 1}, {WM_SCAN_PROGRESS, 1, 2}, {WM_SCAN_PROGRESS, 1, 3},
        {WM_SCAN_PROGRESS, 1, 4}, {WM_SCAN_PROGRESS, 1, 5}, {WM_SCAN_PROGRESS, 1, 6},
        {WM_SCAN_PROGRESS, 1, 7}, {WM_SCAN_CHECK, 0, 0},    {WM_SCAN_CHECK, 0, 0},
        {WM_SCAN_DONE, 2, 0}};
    EXPECT_EQ(scan.Listener.Messages(), expected);
    EXPECT_EQ(scan.Result(tree), TStrings{"x.txt: h/x.txt, a/x.txt"});
}

TEST(DirWalkerTest, CountsEnteredSubdirectoriesOnly) {
    TTestTree tree{{"a.txt"},      {"sub1/b.txt"},   {"sub1/deep/c.txt"},
                   {"sub2/d.txt"}, {".Trash/e.txt"}, {"skip/f.txt"}};
    TScan scan;
    ASSERT_TRUE(RunScan(scan, tree.Root(), tree / "skip"));
    const std::vector<TRecordedMessage> expected = {{WM_SCAN_PROGRESS, 1, 1},
                                                    {WM_SCAN_PROGRESS, 2, 2},
                                                    {WM_SCAN_PROGRESS, 3, 3},
                                                    {WM_SCAN_CHECK, 0, 0},
                                                    {WM_SCAN_DONE, 4, 0}};
    EXPECT_EQ(scan.Listener.Messages(), expected);
}

TEST(DirWalkerTest, ExcludesSubdirectoriesByTheirExactPath) {
    TTestTree tree{{"top.txt"}, {"new/n.txt"}, {"old/o.txt"}, {"old/deep/d.txt"}};
    const TStrings all = {"top.txt", "new/n.txt", "old/o.txt", "old/deep/d.txt"};
    struct TCase {
        const char* Why;
        std::string Exclude;
        TStrings Files;
        int DirectoriesRead;
    } cases[] = {
        {"exact path", tree / "old", {"top.txt", "new/n.txt"}, 1},
        {"nested path", tree / "old/deep", {"top.txt", "new/n.txt", "old/o.txt"}, 2},
        {"a trailing slash never matches", tree / "old/", all, 3},
        {"letter case counts", tree / "Old", all, 3},
        {"a bare name is no path", "old", all, 3},
        {"the scan root is never tested", tree.Root(), all, 3},
    };
    for (const TCase& c : cases) {
        const TWalk walk = Walk(tree, {tree.Root()}, {"*.*"}, {c.Exclude});
        EXPECT_EQ(walk.Files, c.Files) << c.Why;
        EXPECT_EQ(walk.DirectoriesRead, c.DirectoriesRead) << c.Why;
    }
}

TEST(DirWalkerTest, DoesNotEnterTrashBelowAScanRoot) {
    // A trash is ".Trash" or ".Trash-" with at least one digit, spelt with this letter case.
    TTestTree tree{{".Trash/a"},       {".Trash-1000/b"}, {".Trash-abc/c"}, {"Trash/d"},
                   {".Trash-1000x/f"}, {"x/.Trash/g"},    {"x/h"},          {".Trash-/i"},
                   {".Trash-0/j"},     {".trash/k"},      {".trash-1000/l"}};
    const TWalk walk = Walk(tree, {tree.Root()});
    EXPECT_EQ(walk.Files, (TStrings{".Trash-/i", ".Trash-1000x/f", ".Trash-abc/c", ".trash/k",
                                    ".trash-1000/l", "Trash/d", "x/h"}));
    EXPECT_EQ(walk.DirectoriesRead, 7);

    // A trash directory the user names as the scan root is walked.
    EXPECT_EQ(Walk(tree, {tree / ".Trash"}).Files, TStrings{".Trash/a"});
    EXPECT_EQ(Walk(tree, {tree / ".Trash-1000"}).Files, TStrings{".Trash-1000/b"});
}

// Sets an environment variable for one test and restores it afterwards.
class TEnvironment {
  public:
    TEnvironment(const char* name, const std::string& value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = old;
        setenv(name, value.c_str(), 1);
    }
    ~TEnvironment() {
        if (FOld)
            setenv(FName, FOld->c_str(), 1);
        else
            unsetenv(FName);
    }

  private:
    const char* FName;
    std::optional<std::string> FOld;
};

TEST(DirWalkerTest, DoesNotEnterTheHomeTrashBelowAScanRoot) {
    TTestTree tree{{"data/Trash/files/t.txt"}, {"other/Trash/u.txt"}};
    tree.Symlink("alias", ".");
    {
        TEnvironment dataHome("XDG_DATA_HOME", tree / "data");
        EXPECT_EQ(Walk(tree, {tree.Root()}).Files, TStrings{"other/Trash/u.txt"});
        // Recognised as the same directory when reached by another path.
        EXPECT_EQ(Walk(tree, {tree / "alias"}).Files, TStrings{"alias/other/Trash/u.txt"});
        // Named as the scan root, it is walked.
        EXPECT_EQ(Walk(tree, {tree / "data/Trash"}).Files, TStrings{"data/Trash/files/t.txt"});
    }
    {
        // A relative XDG_DATA_HOME does not count.
        TEnvironment dataHome("XDG_DATA_HOME", "data");
        EXPECT_EQ(Walk(tree, {tree / "data"}).Files, TStrings{"data/Trash/files/t.txt"});
    }
}

TEST(DirWalkerTest, WalksEachDirectoryOnceAcrossScanRoots) {
    TTestTree tree{{"top.txt"}, {"sub/s.txt"}, {"sub/deeper/d.txt"}};
    tree.Symlink("alias", tree.Root());
    const TStrings inOrder = {"top.txt", "sub/s.txt", "sub/deeper/d.txt"};
    struct TCase {
        const char* Why;
        TStrings Roots;
        TStrings Files;
        int DirectoriesRead;
    } cases[] = {
        {"repeated root", {tree.Root(), tree.Root()}, inOrder, 2},
        {"repeated with a trailing slash", {tree.Root() + "/", tree.Root()}, inOrder, 2},
        {"inner root after the outer one", {tree.Root(), tree / "sub"}, inOrder, 2},
        {"inner root first",
         {tree / "sub", tree.Root()},
         {"sub/s.txt", "sub/deeper/d.txt", "top.txt"},
         1},
        {"a symlinked root is walked",
         {tree / "alias", tree.Root()},
         {"alias/top.txt", "alias/sub/s.txt", "alias/sub/deeper/d.txt"},
         2},
        {"empty and missing roots add nothing", {"", tree / "missing", tree.Root()}, inOrder, 2},
    };
    for (const TCase& c : cases) {
        const TWalk walk = Walk(tree, c.Roots);
        EXPECT_EQ(walk.Files, c.Files) << c.Why;
        EXPECT_EQ(walk.DirectoriesRead, c.DirectoriesRead) << c.Why;
    }
}

TEST(DirWalkerTest, CollectsAFileOnceWhenSeveralMasksMatchIt) {
    TTestTree tree{{"a.doc"}, {"b.txt"}, {"c.bin"}};
    // Mask by mask, as a search per mask finds them.
    EXPECT_EQ(Walk(tree, {tree.Root()}, {"*.txt", "*.*", "b*"}).Files,
              (TStrings{"b.txt", "a.doc", "c.bin"}));
    EXPECT_EQ(Walk(tree, {tree.Root()}, {"*.TXT", "B.*"}).Files, TStrings{"b.txt"});
}

TEST(DirWalkerTest, EmptyScanPathEntriesAreNotWalked) {
    TTestTree tree{{"a/x.txt"}, {"b/x.txt"}};
    // An empty entry walked as a path would reach "/" (or the working directory).
    for (const std::string& scanPath : TStrings{";;", "\"\"", ";" + tree.Root() + ";\"\";"}) {
        TScan scan;
        ASSERT_TRUE(RunScan(scan, scanPath)) << scanPath;
        const bool withTree = scanPath.find(tree.Root()) != std::string::npos;
        EXPECT_EQ(scan.Listener.Messages().back(),
                  (TRecordedMessage{WM_SCAN_DONE, withTree ? 2 : 0, 0}))
            << scanPath;
        EXPECT_EQ(scan.Result(tree), withTree ? TStrings{"x.txt: b/x.txt, a/x.txt"} : TStrings{})
            << scanPath;
    }
}

TEST(DirWalkerTest, AMissingScanRootGivesNothingAndNoError) {
    TTestTree tree;
    TScan scan;
    ASSERT_TRUE(RunScan(scan, tree / "missing"));
    const std::vector<TRecordedMessage> expected = {{WM_SCAN_CHECK, 0, 0}, {WM_SCAN_DONE, 0, 0}};
    EXPECT_EQ(scan.Listener.Messages(), expected);
}

// Takes away the calling thread's right to bypass file permissions (a root user has it). The
// capability sets belong to the thread, so the rest of the test program keeps them.
bool DropPermissionOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[cap / 32].effective &= ~(1u << (cap % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

TEST(DirWalkerTest, UnreadableDirectoriesContributeNothing) {
    TTestTree tree{{"top.txt"}, {"locked/l.txt"}, {"locked/inner/i.txt"}, {"open/o.txt"}};
    tree.Chmod("locked", 0);
    TWalk below, asRoot;
    bool enforced = false;
    std::thread walker([&] {
        if (!DropPermissionOverride())
            return;
        const int probe = open((tree / "locked").c_str(), O_RDONLY | O_DIRECTORY);
        enforced = probe < 0;
        if (probe >= 0)
            close(probe);
        if (!enforced)
            return;
        below = Walk(tree, {tree.Root()});
        asRoot = Walk(tree, {tree / "locked"});
    });
    walker.join();
    if (!enforced)
        GTEST_SKIP() << "directory permissions are not enforced for this process";
    EXPECT_EQ(below.Files, (TStrings{"top.txt", "open/o.txt"}));
    EXPECT_EQ(asRoot.Files, TStrings{});
    EXPECT_EQ(asRoot.DirectoriesRead, 0);
}

TEST(DirWalkerTest, EntriesThatVanishAfterTheListingContributeNothing) {
    TTestTree tree{{"a.txt"}, {"gone/g.txt"}, {"kept/k.txt"}};
    // The root's files are reported before its subdirectories are opened.
    const TWalk walk = Walk(tree, {tree.Root()}, {"*.*"}, {}, [&](const std::string& file) {
        if (file == "a.txt")
            tree.Remove("gone");
    });
    EXPECT_EQ(walk.Events, (TStrings{"a.txt", "enter 1", "kept/k.txt"}));

    // A file removed after the walk has listed it is left out of the groups.
    TTestTree dups{{"a/x.txt"}, {"b/x.txt"}, {"c/x.txt"}};
    TScan scan;
    scan.Listener.OnMessage = [&](const TRecordedMessage& message) {
        if (message.Message == WM_SCAN_PROGRESS && message.Second == 3)
            dups.Remove("a/x.txt");
    };
    ASSERT_TRUE(RunScan(scan, dups.Root()));
    EXPECT_EQ(scan.Result(dups), TStrings{"x.txt: c/x.txt, b/x.txt"});
}

// The directories the read-ahead has listed, as its hook reports them.
std::mutex ListedMutex;
std::condition_variable ListedChanged;
TStrings Listed;

void RecordListed(const std::string& path) {
    std::lock_guard<std::mutex> lock(ListedMutex);
    Listed.push_back(path);
    ListedChanged.notify_all();
}

TEST(DirWalkerTest, ADirectoryChangedAfterItWasReadAheadIsListedAgain) {
    // With a second worker "b" is listed beside the walk while the walk is in "a"; a file made
    // in "b" after that is found all the same.
    TTestTree tree{{"a/x.txt"}, {"b/y.txt"}};
    const std::string b = tree / "b";
    {
        std::lock_guard<std::mutex> lock(ListedMutex);
        Listed.clear();
    }
    TDirReadAhead::ListedHook = RecordListed;
    const TWalk walk = Walk(tree, {tree.Root()}, {"*.*"}, {}, [&](const std::string& file) {
        if (file != "a/x.txt")
            return;
        if (TDirWalker::ReadsAhead()) {
            std::unique_lock<std::mutex> lock(ListedMutex);
            ASSERT_TRUE(ListedChanged.wait_for(lock, std::chrono::seconds(30), [&] {
                return std::find(Listed.begin(), Listed.end(), b + "/") != Listed.end();
            }));
        }
        struct stat before {};
        ASSERT_EQ(stat(b.c_str(), &before), 0);
        // A change within one tick of the file system's clock can leave the directory's times
        // as they were; it is made again until they show it.
        struct stat after {};
        do {
            tree.Remove("b/z.txt");
            tree.File("b/z.txt");
            ASSERT_EQ(stat(b.c_str(), &after), 0);
        } while (after.st_ctim.tv_sec == before.st_ctim.tv_sec &&
                 after.st_ctim.tv_nsec == before.st_ctim.tv_nsec);
    });
    TDirReadAhead::ListedHook = nullptr;
    EXPECT_EQ(walk.Files, (TStrings{"a/x.txt", "b/y.txt", "b/z.txt"}));
}

TEST(DirWalkerTest, TheReadAheadListsNeitherExcludedDirectoriesNorTheTrash) {
    TTestTree tree{{"a/x.txt"},        {"excluded/in/x.txt"}, {"m/+first/x.txt"},
                   {"m/.Trash/x.txt"}, {"m/.Trash-0/x.txt"},  {"m/kept/x.txt"},
                   {"z/x.txt"}};
    const std::string root = tree.Root() + "/";
    {
        std::lock_guard<std::mutex> lock(ListedMutex);
        Listed.clear();
    }
    TDirReadAhead::ListedHook = RecordListed;
    // The walk waits in its first file until the read-ahead has gone past everything else.
    const TWalk walk =
        Walk(tree, {tree.Root()}, {"*.*"}, {tree / "excluded"}, [&](const std::string& file) {
            if (file != "a/x.txt" || !TDirWalker::ReadsAhead())
                return;
            std::unique_lock<std::mutex> lock(ListedMutex);
            ASSERT_TRUE(ListedChanged.wait_for(lock, std::chrono::seconds(30), [&] {
                return std::find(Listed.begin(), Listed.end(), root + "z/") != Listed.end();
            }));
        });
    TDirReadAhead::ListedHook = nullptr;
    EXPECT_EQ(walk.Files, (TStrings{"a/x.txt", "m/+first/x.txt", "m/kept/x.txt", "z/x.txt"}));
    std::lock_guard<std::mutex> lock(ListedMutex);
    for (const std::string& path : Listed)
        EXPECT_TRUE(path.rfind(root + "excluded/", 0) != 0 &&
                    path.find("/.Trash") == std::string::npos)
            << path;
    if (TDirWalker::ReadsAhead()) {
        EXPECT_NE(std::find(Listed.begin(), Listed.end(), root + "m/kept/"), Listed.end());
    }
}

TEST(DirWalkerTest, DoesNotEnterVirtualFileSystems) {
    const TVirtualFileSystems table(
        "22 28 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
        "23 28 0:5 / /dev rw,nosuid,relatime shared:2 master:1 - devtmpfs udev rw,mode=755\n"
        "24 28 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
        "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "29 28 0:40 / /tmp rw - tmpfs tmpfs rw\n"
        "garbage line without fields\n");
    EXPECT_TRUE(table.IsVirtual(makedev(0, 21), -1));
    EXPECT_TRUE(table.IsVirtual(makedev(0, 5), -1));
    EXPECT_TRUE(table.IsVirtual(makedev(0, 22), -1));
    EXPECT_FALSE(table.IsVirtual(makedev(8, 1), -1));
    EXPECT_FALSE(table.IsVirtual(makedev(0, 40), -1));

    TTestTree tree;
    for (const char* root : {"/proc", "/proc/self", "/sys"}) {
        const TWalk walk = Walk(tree, {root});
        EXPECT_EQ(walk.Files, TStrings{}) << root;
        EXPECT_EQ(walk.DirectoriesRead, 0) << root;
    }
}

// Builds a tree level by level through descriptors, as paths longer than a system call accepts
// cannot be made by name.
class TDeepDir {
  public:
    explicit TDeepDir(const std::string& dir)
        : FFd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (FFd < 0)
            throw std::runtime_error("cannot open " + dir);
    }
    ~TDeepDir() { close(FFd); }
    TDeepDir(const TDeepDir&) = delete;
    TDeepDir& operator=(const TDeepDir&) = delete;

    // A subdirectory of the current level.
    void Dir(const std::string& name) {
        if (mkdirat(FFd, name.c_str(), 0755) != 0)
            throw std::runtime_error("cannot make " + name);
    }
    // An empty file with the default time, relative to the current level.
    void File(const std::string& relative) {
        const int fd = openat(FFd, relative.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const timespec times[2] = {{TTestTree::DefaultTime, 0}, {TTestTree::DefaultTime, 0}};
        const bool made = fd >= 0 && futimens(fd, times) == 0;
        if (fd >= 0)
            close(fd);
        if (!made)
            throw std::runtime_error("cannot make " + relative);
    }
    // Makes a subdirectory and goes down into it.
    void Enter(const std::string& name) {
        Dir(name);
        const int fd = openat(FFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            throw std::runtime_error("cannot open " + name);
        close(FFd);
        FFd = fd;
    }

  private:
    int FFd;
};

// A scan's outcome in short: the files read, the directories entered and, per group, its key
// and number of copies (the paths of deep trees are too long to compare whole).
std::string Summary(const TScan& scan) {
    std::string text;
    int32_t directories = 0;
    for (const TRecordedMessage& message : scan.Listener.Messages()) {
        if (message.Message == WM_SCAN_PROGRESS)
            directories = message.Second;
        if (message.Message == WM_SCAN_DONE)
            text += "files " + std::to_string(message.First);
    }
    text += ", directories " + std::to_string(directories) + "\n";
    for (const TResultRow& row : scan.Last().Rows)
        text += row.Caption + " x" + std::to_string(row.Count()) + "\n";
    return text;
}

// "n07.txt": names that sort by their number.
std::string NumberedName(int n) {
    return "n" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".txt";
}

std::string TwoCopiesEach(int files, int directories, int names) {
    std::string text =
        "files " + std::to_string(files) + ", directories " + std::to_string(directories) + "\n";
    for (int i = 0; i < names; ++i)
        text += NumberedName(i) + " x2\n";
    return text;
}

TEST(DirWalkerTest, FindsEveryDuplicateOfATreeDeeperThanTheDescriptorLimit) {
    // 5,000 levels a/a/.../a; every 98th level holds nNN.txt and b/nNN.txt. Each "b" is entered
    // on the way back up, long after its level left the descriptors the walk keeps.
    constexpr int Levels = 5000;
    constexpr int Step = 98;
    constexpr int Names = 51;
    TTestTree tree;
    {
        TDeepDir dir(tree.Root());
        for (int level = 0; level < Levels; ++level) {
            if (level % Step == 0 && level / Step < Names) {
                const int n = level / Step;
                const std::string name = NumberedName(n);
                dir.File(name);
                dir.Dir("b");
                dir.File("b/" + name);
            }
            dir.Enter("a");
        }
    }
    const TChildOutcome outcome = RunInForkedChild([&] {
        const rlimit limit{256, 256};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            return std::string("setrlimit failed");
        TScan scan;
        return RunScan(scan, tree.Root()) ? Summary(scan) : std::string("the scan did not end");
    });
    ASSERT_TRUE(outcome.Ended) << outcome.Output;
    EXPECT_EQ(outcome.Output, TwoCopiesEach(2 * Names, Levels + Names, Names));
}

TEST(DirWalkerTest, FindsDuplicatesWhosePathsAreLongerThanASystemCallTakes) {
    // Levels named with 200 bytes: from level 21 on, every directory's path is longer than
    // PATH_MAX; levels 21 to 41 each hold nNN.txt and b/nNN.txt.
    constexpr int First = 21;
    constexpr int Names = 21;
    TTestTree tree;
    {
        TDeepDir dir(tree.Root());
        for (int level = 0; level < First + Names; ++level) {
            if (level >= First) {
                const int n = level - First;
                const std::string name = NumberedName(n);
                dir.File(name);
                dir.Dir("b");
                dir.File("b/" + name);
            }
            dir.Enter(std::string(200, 'd'));
        }
    }
    ASSERT_GT(tree.Root().size() + 1 + First * 201, size_t{PATH_MAX});
    TScan scan;
    ASSERT_TRUE(RunScan(scan, tree.Root()));
    EXPECT_EQ(Summary(scan), TwoCopiesEach(2 * Names, First + 2 * Names, Names));
}

TEST(DirWalkerTest, ADirectoryReplacedWhileTheWalkIsFarBelowItContributesNothingMore) {
    // "s" leaves the descriptors the walk keeps while the walk is 100 levels below it; when the
    // walk comes back for s/z, the path "s" names another directory.
    constexpr int Depth = 100;
    TTestTree tree{{"x.txt"}, {"s/z/x.txt"}};
    std::string bottom = "s/";
    {
        TDeepDir dir(tree / "s");
        for (int level = 0; level < Depth; ++level) {
            dir.Enter("a");
            bottom += "a/";
        }
        dir.File("bottom.txt");
    }
    bottom += "bottom.txt";
    const TWalk walk = Walk(tree, {tree.Root()}, {"*.*"}, {}, [&](const std::string& file) {
        if (file != bottom)
            return;
        ASSERT_EQ(rename((tree / "s").c_str(), (tree / "moved").c_str()), 0);
        tree.File("s/z/x.txt");
    });
    EXPECT_EQ(walk.Files, (TStrings{"x.txt", bottom}));
    EXPECT_EQ(walk.DirectoriesRead, 1 + Depth);
}

} // namespace
