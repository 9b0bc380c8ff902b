#include "Trash.h"

#include "UserFolders.h"

#include "IoError.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

int (*TrashRenameAt)(int, const char*, int, const char*, unsigned) = ::renameat2;

namespace {

constexpr char InfoSuffix[] = ".trashinfo";
// "NAME.trashinfo" must fit in one file name.
constexpr size_t MaxTrashName = NAME_MAX - (sizeof InfoSuffix - 1);
// How many names ("a.txt", "a.2.txt", ...) are tried before the trash counts as full.
constexpr int MaxAttempts = 10000;

// A folder descriptor that closes itself.
class TFolder {
  public:
    TFolder() = default;
    explicit TFolder(int fd) : FFd(fd) {}
    ~TFolder() {
        if (FFd >= 0)
            close(FFd);
    }
    TFolder(TFolder&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    TFolder& operator=(TFolder&& other) noexcept {
        std::swap(FFd, other.FFd);
        return *this;
    }
    int Fd() const { return FFd; }

  private:
    int FFd = -1;
};

// A trash chosen for a file: the folders that take the file and its information.
struct TTrashFolder {
    std::string Path;
    TFolder Files;
    TFolder Info;
};

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Opens the folder `name` of `parent`, never through a symbolic link; 0 or an errno value.
int OpenFolder(int parent, const std::string& name, TFolder& folder) {
    const int fd = openat(parent, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    folder = TFolder(fd);
    return 0;
}

// Like OpenFolder, making the folder (mode 0700) when it is missing.
int MakeFolder(int parent, const std::string& name, TFolder& folder) {
    const int error = OpenFolder(parent, name, folder);
    if (error != ENOENT)
        return error;
    if (mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    return OpenFolder(parent, name, folder);
}

// Opens files/ and info/ of the trash folder, making them when they are missing.
int OpenTrash(int trash, TTrashFolder& folder) {
    const int error = MakeFolder(trash, "files", folder.Files);
    return error != 0 ? error : MakeFolder(trash, "info", folder.Info);
}

// Whether a folder at `path` is, or once made would be, on the device: the nearest folder on
// the way that exists decides.
bool OnDevice(std::string path, dev_t device) {
    struct stat status {};
    while (stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT)
            return false;
        const size_t slash = path.rfind('/');
        path.resize(slash == 0 ? 1 : slash);
    }
    return status.st_dev == device;
}

// Makes the missing folders of the path, as mkdir -p does but with mode 0700.
int MakePath(const std::string& path) {
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        if (mkdir(path.substr(0, end).c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (end == std::string::npos)
            return 0;
    }
}

int OpenHomeTrash(const std::string& dataHome, TTrashFolder& folder) {
    folder.Path = dataHome + "/Trash";
    // The data folder is the user's own setting and may well be a link; the trash below it is
    // not followed through one.
    TFolder data(open(dataHome.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (data.Fd() < 0 && errno == ENOENT) {
        const int error = MakePath(dataHome);
        if (error != 0)
            return error;
        data = TFolder(open(dataHome.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (data.Fd() < 0)
        return errno;
    TFolder trash;
    const int trashError = MakeFolder(data.Fd(), "Trash", trash);
    return trashError != 0 ? trashError : OpenTrash(trash.Fd(), folder);
}

// Goes up from the folder by ".." for as long as the device stays the file's, and gives the
// highest folder reached and how many steps up it lies. Walking the descriptors rather than the
// text of the path is what makes a symbolic link on the way harmless.
int FindTop(int folder, dev_t device, TFolder& top, int& steps) {
    top = TFolder(openat(folder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat here {};
    if (top.Fd() < 0 || fstat(top.Fd(), &here) != 0)
        return errno;
    if (here.st_dev != device) // the file itself is a mount point
        return EXDEV;
    for (steps = 0;; ++steps) {
        TFolder up(openat(top.Fd(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above {};
        if (up.Fd() < 0 || fstat(up.Fd(), &above) != 0)
            return errno;
        if (above.st_dev != device || above.st_ino == here.st_ino) // a mount point, or "/"
            return 0;
        top = std::move(up);
        here = above;
    }
}

// The folder of the path without links, checked to be the open folder.
int RealFolderPath(int folder, const std::string& path, std::string& real) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return EINVAL;
    char* resolved = realpath(slash == 0 ? "/" : path.substr(0, slash).c_str(), nullptr);
    if (resolved == nullptr)
        return errno;
    real = resolved;
    std::free(resolved);
    struct stat named {
    }, opened{};
    if (stat(real.c_str(), &named) != 0 || fstat(folder, &opened) != 0)
        return errno;
    return named.st_dev == opened.st_dev && named.st_ino == opened.st_ino ? 0 : ESTALE;
}

// $topdir/.Trash/$uid, when .Trash is a folder (not a link) with the sticky bit.
bool OpenSharedTrash(int top, const std::string& uid, TTrashFolder& folder) {
    TFolder shared, own;
    struct stat status {};
    return OpenFolder(top, ".Trash", shared) == 0 && fstat(shared.Fd(), &status) == 0 &&
           (status.st_mode & S_ISVTX) != 0 && MakeFolder(shared.Fd(), uid, own) == 0 &&
           OpenTrash(own.Fd(), folder) == 0;
}

// $topdir/.Trash-$uid, when it is a folder (not a link) of the user with mode 0700: 0, or what
// was wrong (an errno value, and the reason in words).
int OpenOwnTrash(int top, const std::string& uid, TTrashFolder& folder, std::string& reason) {
    TFolder own;
    int error = MakeFolder(top, ".Trash-" + uid, own);
    struct stat status {};
    if (error == 0 && fstat(own.Fd(), &status) != 0)
        error = errno;
    if (error != 0) {
        reason = SystemErrorText(error);
        return error;
    }
    if (status.st_uid != getuid() || (status.st_mode & 07777) != 0700) {
        reason = "not a folder of the user with mode 0700";
        return EPERM;
    }
    error = OpenTrash(own.Fd(), folder);
    if (error != 0)
        reason = SystemErrorText(error);
    return error;
}

// The path with every byte but unreserved ASCII and "/" written as %XX.
std::string Encoded(const std::string& path) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' || c == '~' ||
            c == '/') {
            text += c;
        } else {
            text += '%';
            text += Hex[byte >> 4];
            text += Hex[byte & 15];
        }
    }
    return text;
}

// The name of the file in the trash at the attempt: "a.txt", then "a.2.txt", "a.3.txt", ...
// A name too long to take ".trashinfo" loses bytes at the end of its stem, never in the middle
// of a UTF-8 character.
std::string TrashName(const std::string& name, int attempt) {
    const std::string counter = attempt > 1 ? "." + std::to_string(attempt) : "";
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) // ".profile" has no extension
        dot = name.size();
    std::string stem = name.substr(0, dot);
    std::string extension = name.substr(dot);
    if (extension.size() + counter.size() >= MaxTrashName) {
        stem = name;
        extension.clear();
    }
    const size_t room = MaxTrashName - counter.size() - extension.size();
    if (stem.size() > room) {
        size_t cut = room;
        for (int back = 0;
             back < 3 && cut > 1 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80; ++back)
            --cut;
        stem.resize(cut);
    }
    return stem + counter + extension;
}

std::string LocalTimeNow() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

int WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<size_t>(written);
    }
    return 0;
}

TTrashing Failed(int error, const std::string& trash) {
    return {error, "Cannot move to the trash in " + trash + ": " + SystemErrorText(error), {}};
}

// Reserves a name in info/ with its .trashinfo, then moves the file to that name in files/.
TTrashing PutInTrash(int folder, const std::string& name, const TTrashFolder& trash,
                     const std::string& trashinfoPath) {
    const std::string content =
        "[Trash Info]\nPath=" + Encoded(trashinfoPath) + "\nDeletionDate=" + LocalTimeNow() + "\n";
    for (int attempt = 1; attempt <= MaxAttempts; ++attempt) {
        const std::string trashName = TrashName(name, attempt);
        const std::string infoName = trashName + InfoSuffix;
        const int info = openat(trash.Info.Fd(), infoName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (info < 0) {
            if (errno == EEXIST)
                continue;
            return Failed(errno, trash.Path);
        }
        int error = WriteAll(info, content);
        if (close(info) != 0 && error == 0)
            error = errno;
        if (error == 0 && TrashRenameAt(folder, name.c_str(), trash.Files.Fd(), trashName.c_str(),
                                        RENAME_NOREPLACE) == 0)
            return {0, {}, trash.Path + "/files/" + trashName};
        if (error == 0)
            error = errno;
        // The file stayed where it was: its information must not claim otherwise.
        unlinkat(trash.Info.Fd(), infoName.c_str(), 0);
        if (error != EEXIST) // a name taken in files/ only: try the next one
            return Failed(error, trash.Path);
    }
    return Failed(EEXIST, trash.Path);
}

} // namespace

std::string HomeTrashPath() {
    const std::string dataHome = UserFolder("XDG_DATA_HOME", "/.local/share");
    return dataHome.empty() ? std::string() : dataHome + "/Trash";
}

TTrashing MoveToTrash(int folder, const std::string& name, const std::string& path) {
    struct stat file {};
    if (fstatat(folder, name.c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        return {error, "Cannot move to the trash: " + SystemErrorText(error), {}};
    }
    TTrashFolder trash;
    const std::string dataHome = UserFolder("XDG_DATA_HOME", "/.local/share");
    if (!dataHome.empty() && OnDevice(dataHome, file.st_dev)) {
        const int error = OpenHomeTrash(dataHome, trash);
        return error != 0 ? Failed(error, trash.Path) : PutInTrash(folder, name, trash, path);
    }

    // Another device: the trash of the top folder of its mount, with a path relative to that.
    TFolder top;
    int steps = 0;
    std::string topPath;
    int error = FindTop(folder, file.st_dev, top, steps);
    if (error == 0)
        error = RealFolderPath(folder, path, topPath);
    std::string relative = name;
    for (int step = 0; error == 0 && step < steps; ++step) {
        const size_t slash = topPath.rfind('/');
        if (slash == 0 && topPath.size() == 1) {
            error = ESTALE;
            break;
        }
        relative = topPath.substr(slash + 1) + "/" + relative;
        topPath.resize(slash == 0 ? 1 : slash);
    }
    if (error != 0)
        return {error,
                "Cannot move to the trash: no trash folder found for " + path + ": " +
                    SystemErrorText(error),
                {}};

    const std::string uid = std::to_string(getuid());
    trash.Path = Join(topPath, ".Trash/" + uid);
    if (OpenSharedTrash(top.Fd(), uid, trash))
        return PutInTrash(folder, name, trash, relative);
    trash = TTrashFolder{};
    trash.Path = Join(topPath, ".Trash-" + uid);
    std::string reason;
    error = OpenOwnTrash(top.Fd(), uid, trash, reason);
    if (error != 0)
        return {error,
                "Cannot move to the trash: no usable trash folder on the device of " + path + " (" +
                    trash.Path + ": " + reason + ")",
                {}};
    return PutInTrash(folder, name, trash, relative);
}
