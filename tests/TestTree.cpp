#include "TestTree.h"

#include "FileTimes.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Check(bool ok, const std::string& what) {
    if (!ok)
        throw std::runtime_error("test tree: " + what);
}

// Removes everything below the directory open at fd, and closes fd. A test tree may be deeper
// than any path a system call accepts, and than the descriptors a process may hold, so the
// removal goes down and back up ("..") holding one descriptor. Directories a test made
// unreadable are opened up again first.
void EmptyDirectory(int fd) {
    struct TLevel {
        std::string Name; // in the level above
        std::vector<std::string> Subdirs;
        size_t Next = 0;
    };
    std::vector<TLevel> levels;
    auto list = [&](const std::string& name) {
        TLevel level{name, {}, 0};
        DIR* listing = fdopendir(dup(fd));
        while (listing != nullptr) {
            const dirent* entry = readdir(listing);
            if (entry == nullptr)
                break;
            const std::string child = entry->d_name;
            struct stat status {};
            if (child == "." || child == ".." ||
                fstatat(fd, child.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(status.st_mode))
                level.Subdirs.push_back(child);
            else
                unlinkat(fd, child.c_str(), 0);
        }
        if (listing != nullptr)
            closedir(listing);
        levels.push_back(std::move(level));
    };
    list({});
    while (!levels.empty()) {
        TLevel& level = levels.back();
        if (level.Next < level.Subdirs.size()) {
            const std::string& name = level.Subdirs[level.Next++];
            fchmodat(fd, name.c_str(), S_IRWXU, 0);
            const int child =
                openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                close(fd);
                fd = child;
                list(name);
            }
            continue;
        }
        const std::string name = level.Name;
        levels.pop_back();
        if (levels.empty())
            break;
        const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = parent;
        if (fd < 0)
            return;
        unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    }
    close(fd);
}

} // namespace

TFileSizeCap::TFileSizeCap(rlim_t bytes) : FHandler(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &FSaved);
    rlimit capped = FSaved;
    capped.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &capped);
}

TFileSizeCap::~TFileSizeCap() {
    setrlimit(RLIMIT_FSIZE, &FSaved);
    std::signal(SIGXFSZ, FHandler);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TTestTree::TTestTree() {
    std::string pattern = fs::temp_directory_path() / "twinseek-test-XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    FRoot = pattern;
}

TTestTree::TTestTree(std::initializer_list<TFileSpec> files) : TTestTree() {
    for (const TFileSpec& file : files) {
        if (!file.Path.empty() && file.Path.back() == '/')
            Dir(file.Path);
        else
            File(file);
    }
}

TTestTree::~TTestTree() {
    const int fd = open(FRoot.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        EmptyDirectory(fd);
    rmdir(FRoot.c_str());
}

void TTestTree::MakeParents(const std::string& relative) {
    const fs::path parent = fs::path(*this / relative).parent_path();
    std::error_code error;
    fs::create_directories(parent, error);
    Check(!error, "create " + parent.string());
}

void TTestTree::File(const std::string& relative, int64_t size, time_t time) {
    MakeParents(relative);
    const std::string path = *this / relative;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Check(fd >= 0, "create " + path);
    const bool sized = ftruncate(fd, size) == 0;
    close(fd);
    Check(sized, "size " + path);
    const timespec times[2] = {{time, 0}, {time, 0}};
    Check(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0, "time " + path);
}

void TTestTree::Dir(const std::string& relative) {
    std::error_code error;
    fs::create_directories(*this / relative, error);
    Check(!error, "create " + relative);
}

void TTestTree::Symlink(const std::string& relative, const std::string& target) {
    MakeParents(relative);
    Check(symlink(target.c_str(), (*this / relative).c_str()) == 0, "symlink " + relative);
}

void TTestTree::Fifo(const std::string& relative) {
    MakeParents(relative);
    Check(mkfifo((*this / relative).c_str(), 0644) == 0, "mkfifo " + relative);
}

void TTestTree::Chmod(const std::string& relative, unsigned mode) {
    Check(chmod((*this / relative).c_str(), mode) == 0, "chmod " + relative);
}

void TTestTree::Remove(const std::string& relative) {
    std::error_code error;
    fs::remove_all(*this / relative, error);
    Check(!error, "remove " + relative);
}

TFileInfoRec RecordOf(const std::string& path) {
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
