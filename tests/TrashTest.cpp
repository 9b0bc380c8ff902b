// Moving a file to the desktop trash: which trash takes it, what its .trashinfo says, names that
// are taken, and the refusals that leave the file where it was.

#include "Trash.h"
#include "ChildChecks.h"
#include "TestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Sets environment variables (and the time zone that TZ names) for the life of the object.
class TEnvironment {
  public:
    TEnvironment() = default;
    ~TEnvironment() {
        for (auto saved = FSaved.rbegin(); saved != FSaved.rend(); ++saved)
            Put(saved->first, saved->second ? saved->second->c_str() : nullptr);
    }
    TEnvironment(const TEnvironment&) = delete;
    TEnvironment& operator=(const TEnvironment&) = delete;

    // Sets the variable, or removes it for nullptr.
    void Set(const std::string& name, const char* value) {
        const char* old = std::getenv(name.c_str());
        FSaved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        Put(name, value);
    }

  private:
    static void Put(const std::string& name, const char* value) {
        if (value != nullptr)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
        tzset();
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

// Trashes the file at the path through a descriptor of its folder, as the window does, naming it
// by the path given (by default the same).
TTrashing Trash(const std::string& path, const std::string& given = {}) {
    const size_t slash = path.rfind('/');
    const int folder = open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    TTrashing result = MoveToTrash(folder, path.substr(slash + 1), given.empty() ? path : given);
    close(folder);
    return result;
}

// Writes a file, making its missing folders.
void MakeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    WriteBytes(path, bytes);
}

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

// The permission bits of the path, as "0700".
std::string Mode(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return "missing";
    char text[8];
    std::snprintf(text, sizeof text, "%04o", status.st_mode & 07777);
    return text;
}

std::string LocalTime(time_t at) {
    tm local{};
    localtime_r(&at, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// Every entry below the root, sorted, one a line: the path relative to the root ("/" after a
// folder), its mode, and a link's target.
std::string Listing(const std::string& root) {
    std::vector<std::string> lines;
    for (const fs::directory_entry& entry :
         fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied)) {
        const std::string path = entry.path().string();
        std::string line = path.substr(root.size() + 1);
        if (entry.is_symlink())
            line += " -> " + fs::read_symlink(entry.path()).string();
        else
            line += std::string(entry.is_directory() ? "/ " : " ") + Mode(path);
        lines.push_back(line);
    }
    return Sorted(std::move(lines));
}

TEST(TrashTest, HomeTrashTakesAFileOfItsDevice) {
    // A name with the bytes that must be escaped in Path=, next to those that must not.
    const std::string name = "a b%c\xff\r\n~-_.+\xc3\xa9.txt";
    TTestTree tree;
    tree.Dir("home");
    MakeFile(tree / ("d/" + name), "the bytes\n");
    ASSERT_EQ(
        tree.Root().find_first_not_of("/-_.abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                      "0123456789"),
        std::string::npos)
        << "the expected Path= below takes the root as it is";
    TEnvironment environment;
    environment.Set("HOME", (tree / "home").c_str());
    environment.Set("XDG_DATA_HOME", (tree / "data/share").c_str()); // not there yet
    environment.Set("TZ", "<+0530>-5:30"); // the date is local time, not UTC

    const time_t before = time(nullptr);
    const TTrashing trashing = Trash(tree / ("d/" + name));
    const time_t after = time(nullptr);

    ASSERT_EQ(trashing.Error, 0) << trashing.ErrorText;
    EXPECT_EQ(trashing.ErrorText, "");
    EXPECT_EQ(trashing.TrashedPath, tree / ("data/share/Trash/files/" + name));
    EXPECT_EQ(ReadBytes(trashing.TrashedPath), "the bytes\n");
    EXPECT_FALSE(Exists(tree / ("d/" + name)));
    for (const char* folder : {"data", "data/share", "data/share/Trash", "data/share/Trash/files",
                               "data/share/Trash/info"})
        EXPECT_EQ(Mode(tree / folder), "0700") << folder;
    const std::string info = tree / ("data/share/Trash/info/" + name + ".trashinfo");
    EXPECT_EQ(Mode(info), "0600");
    const std::string content = ReadBytes(info);
    const std::string head = "[Trash Info]\nPath=" + tree.Root() +
                             "/d/a%20b%25c%FF%0D%0A~-_.%2B%C3%A9.txt\nDeletionDate=";
    ASSERT_EQ(content.substr(0, head.size()), head);
    const std::string date = content.substr(head.size());
    ASSERT_EQ(date.size(), 20u) << date;
    EXPECT_EQ(date.back(), '\n');
    EXPECT_GE(date.substr(0, 19), LocalTime(before));
    EXPECT_LE(date.substr(0, 19), LocalTime(after));
    EXPECT_EQ(Entries(tree / "home"), std::vector<std::string>{}); // HOME is not used
}

TEST(TrashTest, HomeTrashFollowsTheDataFolder) {
    const struct {
        const char* Name;
        const char* DataHome; // nullptr: not set
        const char* Trash;    // below the tree
    } cases[] = {
        {"absolute", "/ROOT/data", "data/Trash"},
        {"absolute, trailing slash", "/ROOT/data/", "data/Trash"},
        {"not set", nullptr, "home/.local/share/Trash"},
        {"empty", "", "home/.local/share/Trash"},
        {"relative, ignored", "data", "home/.local/share/Trash"},
    };
    for (const auto& c : cases) {
        TTestTree tree;
        tree.File("d/x.txt", 3);
        tree.Dir("home");
        TEnvironment environment;
        environment.Set("HOME", (tree / "home").c_str());
        std::string dataHome = c.DataHome != nullptr ? c.DataHome : "";
        if (dataHome.rfind("/ROOT", 0) == 0)
            dataHome.replace(0, 5, tree.Root());
        environment.Set("XDG_DATA_HOME", c.DataHome != nullptr ? dataHome.c_str() : nullptr);
        const TTrashing trashing = Trash(tree / "d/x.txt");
        EXPECT_EQ(trashing.Error, 0) << c.Name << ": " << trashing.ErrorText;
        EXPECT_EQ(trashing.TrashedPath, tree / (std::string(c.Trash) + "/files/x.txt")) << c.Name;
        EXPECT_TRUE(Exists(tree / (std::string(c.Trash) + "/info/x.txt.trashinfo"))) << c.Name;
    }
}

TEST(TrashTest, TakenNamesGetACounterBeforeTheExtension) {
    const struct {
        const char* Name;
        std::vector<std::string> TrashNames; // of the same name trashed from three folders
    } cases[] = {
        {"a.txt", {"a.txt", "a.2.txt", "a.3.txt"}},
        {"x.tar.gz", {"x.tar.gz", "x.tar.2.gz", "x.tar.3.gz"}},
        {"plain", {"plain", "plain.2", "plain.3"}},
        {".profile", {".profile", ".profile.2", ".profile.3"}},
        {"end.", {"end.", "end.2.", "end.3."}},
    };
    for (const auto& c : cases) {
        TTestTree tree;
        TEnvironment environment;
        environment.Set("XDG_DATA_HOME", tree.Root().c_str());
        for (size_t i = 0; i < c.TrashNames.size(); ++i) {
            const std::string path = tree / ("d" + std::to_string(i) + "/" + c.Name);
            MakeFile(path, std::to_string(i));
            const TTrashing trashing = Trash(path);
            ASSERT_EQ(trashing.Error, 0) << c.Name << ": " << trashing.ErrorText;
            EXPECT_EQ(BaseName(trashing.TrashedPath), c.TrashNames[i]) << c.Name;
            EXPECT_EQ(ReadBytes(trashing.TrashedPath), std::to_string(i)) << c.Name;
            const std::string info =
                ReadBytes(tree / ("Trash/info/" + c.TrashNames[i] + ".trashinfo"));
            EXPECT_NE(info.find("\nPath=" + path + "\n"), std::string::npos) << info;
        }
    }
}

TEST(TrashTest, NameTakenInFilesOnlyIsNotOverwritten) {
    // A file in files/ without its information (left by another program) still holds its name.
    TTestTree tree;
    MakeFile(tree / "Trash/files/a.txt", "older");
    tree.Dir("Trash/info");
    MakeFile(tree / "d/a.txt", "newer");
    TEnvironment environment;
    environment.Set("XDG_DATA_HOME", tree.Root().c_str());
    const TTrashing trashing = Trash(tree / "d/a.txt");
    ASSERT_EQ(trashing.Error, 0) << trashing.ErrorText;
    EXPECT_EQ(trashing.TrashedPath, tree / "Trash/files/a.2.txt");
    EXPECT_EQ(ReadBytes(tree / "Trash/files/a.txt"), "older");
    EXPECT_EQ(ReadBytes(tree / "Trash/files/a.2.txt"), "newer");
    EXPECT_EQ(Entries(tree / "Trash/info"), std::vector<std::string>{"a.2.txt.trashinfo"});
}

TEST(TrashTest, LongNamesAreShortenedInTheTrashOnly) {
    // 255 bytes, the longest name there is: with ".trashinfo" it would not fit, so the trash
    // keeps a shorter name, cut between characters, while Path= keeps the whole one.
    std::string e;
    for (int i = 0; i < 125; ++i)
        e += "\xc3\xa9";
    const std::string name = e + "x.txt";
    ASSERT_EQ(name.size(), 255u);
    TTestTree tree;
    TEnvironment environment;
    environment.Set("XDG_DATA_HOME", tree.Root().c_str());
    std::string escaped;
    for (int i = 0; i < 125; ++i)
        escaped += "%C3%A9";
    const std::string expected[] = {e.substr(0, 240) + ".txt", e.substr(0, 238) + ".2.txt"};
    for (int i = 0; i < 2; ++i) {
        const std::string path = tree / ("d" + std::to_string(i) + "/" + name);
        MakeFile(path, "long");
        const TTrashing trashing = Trash(path);
        ASSERT_EQ(trashing.Error, 0) << trashing.ErrorText;
        EXPECT_EQ(BaseName(trashing.TrashedPath), expected[i]);
        EXPECT_EQ(ReadBytes(trashing.TrashedPath), "long");
        const std::string info = ReadBytes(tree / ("Trash/info/" + expected[i] + ".trashinfo"));
        EXPECT_NE(info.find("/" + escaped + "x.txt\n"), std::string::npos) << info;
    }
}

// Puts a rename in place that fails with an errno for as long as the object lives.
class TFailingRename {
  public:
    explicit TFailingRename(int error) : FSaved(TrashRenameAt) {
        Error = error;
        Calls = 0;
        TrashRenameAt = [](int, const char*, int, const char*, unsigned) {
            ++Calls;
            errno = Error;
            return -1;
        };
    }
    ~TFailingRename() { TrashRenameAt = FSaved; }
    TFailingRename(const TFailingRename&) = delete;
    TFailingRename& operator=(const TFailingRename&) = delete;

    static inline int Error = 0;
    static inline int Calls = 0;

  private:
    int (*FSaved)(int, const char*, int, const char*, unsigned);
};

TEST(TrashTest, AFailedMoveLeavesTheFileAndNoInformation) {
    // A move across file systems in particular must not turn into a copy.
    for (const int error : {EXDEV, EACCES, EBUSY}) {
        TTestTree tree;
        MakeFile(tree / "d/a.txt", "stays");
        TEnvironment environment;
        environment.Set("XDG_DATA_HOME", tree.Root().c_str());
        const TFailingRename failing(error);
        const TTrashing trashing = Trash(tree / "d/a.txt");
        EXPECT_EQ(trashing.Error, error);
        EXPECT_EQ(trashing.ErrorText,
                  "Cannot move to the trash in " + tree / "Trash" + ": " + std::strerror(error));
        EXPECT_EQ(trashing.TrashedPath, "");
        EXPECT_EQ(TFailingRename::Calls, 1);
        EXPECT_EQ(ReadBytes(tree / "d/a.txt"), "stays");
        EXPECT_EQ(Entries(tree / "Trash/files"), std::vector<std::string>{});
        EXPECT_EQ(Entries(tree / "Trash/info"), std::vector<std::string>{});
    }
}

TEST(TrashTest, InformationThatCannotBeWrittenStopsTheMove) {
    TTestTree tree;
    MakeFile(tree / "d/a.txt", "stays");
    TEnvironment environment;
    environment.Set("XDG_DATA_HOME", tree.Root().c_str());
    TTrashing trashing;
    {
        const TFileSizeCap cap(8);
        trashing = Trash(tree / "d/a.txt");
    }
    EXPECT_EQ(trashing.Error, EFBIG);
    EXPECT_EQ(ReadBytes(tree / "d/a.txt"), "stays");
    EXPECT_EQ(Entries(tree / "Trash/files"), std::vector<std::string>{});
    EXPECT_EQ(Entries(tree / "Trash/info"), std::vector<std::string>{});
}

TEST(TrashTest, HomeTrashThatIsNoFolderIsRefused) {
    const struct {
        const char* Name;
        std::function<void(TTestTree&)> Make;
        int Error;
    } cases[] = {
        {"Trash a file", [](TTestTree& tree) { tree.File("data/Trash"); }, ENOTDIR},
        {"Trash a link",
         [](TTestTree& tree) {
             tree.Dir("elsewhere");
             tree.Symlink("data/Trash", "../elsewhere");
         },
         ENOTDIR},
        {"files a link",
         [](TTestTree& tree) {
             tree.Dir("elsewhere");
             tree.Symlink("data/Trash/files", "../../elsewhere");
         },
         ENOTDIR},
    };
    for (const auto& c : cases) {
        TTestTree tree;
        MakeFile(tree / "d/a.txt", "stays");
        c.Make(tree);
        TEnvironment environment;
        environment.Set("XDG_DATA_HOME", (tree / "data").c_str());
        const TTrashing trashing = Trash(tree / "d/a.txt");
        EXPECT_EQ(trashing.Error, c.Error) << c.Name;
        EXPECT_EQ(ReadBytes(tree / "d/a.txt"), "stays") << c.Name;
        if (Exists(tree / "elsewhere")) {
            EXPECT_EQ(Entries(tree / "elsewhere"), std::vector<std::string>{}) << c.Name;
        }
    }
}

// A file on a second mount, "TOP/sub/deep/x y.txt", and the trash that takes it.
struct TMountCase {
    const char* Name;
    std::function<void(const std::string& top)> Prepare;
    bool AsNobody;
    std::string Given;  // the path the file is named by, below the test tree; "" for its own
    std::string Trash;  // where it goes, below TOP; "" when it is refused
    std::string Result; // its Path=, or the refusal's text
    std::vector<std::string> Others; // the entries on the mount besides the file's and the trash's
};

TEST(TrashTest, FileOnAnotherMountGoesToTheTrashOfItsTopFolder) {
    const std::string uid = std::to_string(getuid());
    const std::string own = ".Trash-" + uid;
    const std::string file = "sub/deep/x y.txt";
    const std::string relative = "sub/deep/x%20y.txt";
    const auto noTrash = [](const std::string& reason) {
        return "Cannot move to the trash: no usable trash folder on the device of TOP/sub/deep/x "
               "y.txt (TOP/" +
               reason + ")";
    };
    const auto mkdirMode = [](const std::string& path, mode_t mode) {
        mkdir(path.c_str(), 0);
        chmod(path.c_str(), mode);
    };
    const std::vector<TMountCase> cases = {
        {"sticky .Trash",
         [&](const std::string& top) { mkdirMode(top + "/.Trash", 01777); },
         false,
         "",
         ".Trash/" + uid,
         relative,
         {".Trash/ 1777"}},
        {"nothing there", [](const std::string&) {}, false, "", own, relative, {}},
        {"named through a link to the mount",
         [](const std::string& top) { symlink("mnt", (top + "/../via").c_str()); },
         false,
         "via/" + file,
         own,
         relative,
         {}},
        {"home trash on the mount",
         [](const std::string& top) { setenv("XDG_DATA_HOME", (top + "/data").c_str(), 1); },
         false,
         "",
         "data/Trash",
         "TOP/" + relative,
         {"data/ 0700"}},
        {".Trash without the sticky bit",
         [&](const std::string& top) { mkdirMode(top + "/.Trash", 0777); },
         false,
         "",
         own,
         relative,
         {".Trash/ 0777"}},
        {".Trash a link to a sticky folder",
         [&](const std::string& top) {
             mkdirMode(top + "/shared", 01777);
             symlink("shared", (top + "/.Trash").c_str());
         },
         false,
         "",
         own,
         relative,
         {".Trash -> shared", "shared/ 1777"}},
        {".Trash-UID a file",
         [&](const std::string& top) { MakeFile(top + "/" + own, ""); },
         false,
         "",
         "",
         noTrash(own + ": Not a directory"),
         {own + " 0644"}},
        {".Trash-UID with mode 0755",
         [&](const std::string& top) { mkdirMode(top + "/" + own, 0755); },
         false,
         "",
         "",
         noTrash(own + ": not a folder of the user with mode 0700"),
         {own + "/ 0755"}},
        {".Trash-UID a link",
         [&](const std::string& top) {
             mkdirMode(top + "/real", 0700);
             symlink("real", (top + "/" + own).c_str());
         },
         false,
         "",
         "",
         noTrash(own + ": Not a directory"),
         {own + " -> real", "real/ 0700"}},
        {"named by the path of another folder",
         [&](const std::string& top) { mkdirMode(top + "/other", 0755); },
         false,
         "mnt/other/x y.txt",
         "",
         "Cannot move to the trash: no trash folder found for TOP/other/x y.txt: " +
             std::string(std::strerror(ESTALE)),
         {"other/ 0755"}},
        {"another user, nothing there",
         [&](const std::string& top) { chown((top + "/sub/deep").c_str(), 65534, 65534); },
         true,
         "",
         ".Trash-65534",
         relative,
         {}},
        {"another user, .Trash-UID of root",
         [&](const std::string& top) {
             mkdirMode(top + "/.Trash-65534", 0700);
             chown((top + "/sub/deep").c_str(), 65534, 65534);
         },
         true,
         "",
         "",
         noTrash(".Trash-65534: not a folder of the user with mode 0700"),
         {".Trash-65534/ 0700"}},
    };
    for (const TMountCase& c : cases) {
        TTestTree tree;
        tree.Dir("mnt");
        tree.Dir("home");
        const std::string top = tree / "mnt";
        const TChildOutcome outcome = RunBoundedChild([&]() -> std::string {
            if (!MountPrivateTmpfs(top, "size=1m,mode=0755"))
                return ChildSkipped;
            umask(022);
            TEnvironment environment;
            environment.Set("XDG_DATA_HOME", (tree / "home").c_str());
            MakeFile(top + "/" + file, "mounted");
            c.Prepare(top);
            if (c.AsNobody) {
                chmod(tree.Root().c_str(), 0755);
                chmod(top.c_str(), 01777);
                if (!DropToNobody())
                    return ChildSkipped;
            }
            const TTrashing trashing =
                Trash(top + "/" + file, c.Given.empty() ? "" : tree / c.Given);
            std::string text;
            if (trashing.Error == 0) {
                const std::string trash = trashing.TrashedPath.substr(
                    0, trashing.TrashedPath.size() - std::string("/files/x y.txt").size());
                struct stat folder {};
                lstat(trash.c_str(), &folder);
                const std::string info = ReadBytes(trash + "/info/x y.txt.trashinfo");
                const size_t path = info.find("Path=") + 5;
                text = "trashed " + trashing.TrashedPath + "\n" +
                       info.substr(path, info.find('\n', path) + 1 - path) + "owner " +
                       std::to_string(folder.st_uid) + "\n";
                if (ReadBytes(trashing.TrashedPath) != "mounted")
                    text += "the bytes differ\n";
            } else {
                text = "refused " + trashing.ErrorText + "\n";
            }
            if (Exists(tree / "home/Trash"))
                text += "the home trash was made\n";
            text += Listing(top);
            for (size_t at; (at = text.find(top)) != std::string::npos;)
                text.replace(at, top.size(), "TOP");
            return text;
        });
        if (outcome.Output == ChildSkipped)
            GTEST_SKIP() << "cannot mount a tmpfs in a mount namespace, or become user 65534";
        ASSERT_TRUE(outcome.Ended) << c.Name << ": " << outcome.Output;

        std::vector<std::string> listing = c.Others;
        listing.insert(listing.end(), {"sub/ 0755", "sub/deep/ 0755"});
        std::string expected;
        if (c.Trash.empty()) {
            expected = "refused " + c.Result + "\n";
            listing.push_back("sub/deep/x y.txt 0644");
        } else {
            expected = "trashed TOP/" + c.Trash + "/files/x y.txt\n" + c.Result + "\nowner " +
                       (c.AsNobody ? "65534" : uid) + "\n";
            for (const char* entry : {"/ 0700", "/files/ 0700", "/files/x y.txt 0644",
                                      "/info/ 0700", "/info/x y.txt.trashinfo 0600"})
                listing.push_back(c.Trash + entry);
        }
        EXPECT_EQ(outcome.Output, expected + Sorted(listing)) << c.Name;
    }
}

} // namespace
