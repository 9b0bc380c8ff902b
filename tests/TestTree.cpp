#include "TestTree.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Check(bool ok, const std::string& what) {
    if (!ok)
        throw std::runtime_error("test tree: " + what);
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
    std::error_code error;
    // Unreadable directories made by a test are opened up again so that they can be removed.
    for (auto it = fs::recursive_directory_iterator(FRoot, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(FRoot, error);
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
