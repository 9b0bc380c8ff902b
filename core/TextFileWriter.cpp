#include "TextFileWriter.h"

#include "FileActions.h"
#include "IoError.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BufferSize = 1 << 16;
// As many links as the kernel follows in one path before it gives up with ELOOP.
constexpr int MaxLinkHops = 40;
// The temporary name holds at most this much of the target's name, so that it stays within
// the 255 bytes a name may have.
constexpr size_t MaxBaseInTemporary = 200;

// The text of a symbolic link, however long.
std::string LinkText(const std::string& link) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t length = readlink(link.c_str(), text.data(), text.size());
        if (length < 0)
            throw EInOutError(errno);
        if (static_cast<size_t>(length) < text.size()) {
            text.resize(static_cast<size_t>(length));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// A link in a sticky directory that anyone may write to may have been planted by someone else
// to redirect the write; it is followed only when it belongs to the caller or to the owner of
// that directory.
void CheckLinkIsTrusted(const struct stat& link, const std::string& dir) {
    struct stat holder {};
    if (stat(dir.empty() ? "." : dir.c_str(), &holder) != 0)
        throw EInOutError(errno);
    const bool shared = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
    if (shared && link.st_uid != geteuid() && link.st_uid != holder.st_uid)
        throw EInOutError(EACCES);
}

// The file a name stands for: symbolic links are followed (also to a file that does not exist
// yet), so that a link stays a link and its file gets the new content.
std::string ResolvedTarget(const std::string& fileName) {
    std::string path = fileName;
    for (int hop = 0; hop <= MaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        const std::string dir = DirectoryPart(path);
        CheckLinkIsTrusted(info, dir);
        const std::string text = LinkText(path);
        path = !text.empty() && text.front() == '/' ? text : dir + text;
    }
    throw EInOutError(ELOOP);
}

// The process's file mode creation mask, read without changing it.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "Umask:") == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
    return 022;
}

// Creates a new file beside the target, with the permissions and, where allowed, the owner the
// target has (or those a new file would get). It is made private first and opened up only
// then, so that nobody can open it while it has wider permissions than the target. Returns -1
// with errno set on failure.
int CreateBeside(const std::string& target, const struct stat* existing, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::string dir = DirectoryPart(target);
    const std::string base = target.substr(dir.size(), MaxBaseInTemporary);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name =
            dir + "." + base + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return fd;
        // The owner first: changing it clears set-user-ID bits that the mode then restores.
        // Only root may give a file away; for anyone else the file stays theirs.
        if (existing != nullptr && fchown(fd, existing->st_uid, existing->st_gid) != 0 &&
            errno != EPERM) {
            const int error = errno;
            ::close(fd);
            ::unlink(name.c_str());
            errno = error;
            return -1;
        }
        // A file system that keeps no modes (FAT, some network shares) leaves the file as it
        // is: the save goes on.
        const mode_t mode =
            existing != nullptr ? existing->st_mode & 07777 : 0666 & ~CurrentUmask();
        (void)fchmod(fd, mode);
        return fd;
    }
    return -1;
}

// Opens what is not a regular file (a device, a pipe) for writing in place, without waiting
// for a reader. Returns -1 when the name turned out to be a regular file after all.
int OpenInPlace(const std::string& target) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw EInOutError(errno);
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        throw EInOutError(error);
    }
    return fd;
}

} // namespace

TTextFileWriter::TTextFileWriter(const std::string& fileName) {
    FBuffer.reserve(BufferSize);
    if (fileName.empty())
        throw EInOutError(ENOENT);
    const std::string target = ResolvedTarget(fileName);
    struct stat info {};
    bool exists = stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        FFd = OpenInPlace(target);
        if (FFd >= 0)
            return;
        exists = stat(target.c_str(), &info) == 0;
    }
    // A regular file is never truncated in place: without a file beside it, the write fails.
    FFd = CreateBeside(target, exists ? &info : nullptr, FTemporary);
    if (FFd < 0) {
        const int error = errno;
        FTemporary.clear();
        throw EInOutError(error);
    }
    FTarget = target;
}

TTextFileWriter::TTextFileWriter(int fd, bool owned) : FFd(fd), FOwned(owned) {
    FBuffer.reserve(BufferSize);
}

TTextFileWriter TTextFileWriter::ForDescriptor(int fd) {
    return TTextFileWriter(fd, false);
}

TTextFileWriter::TTextFileWriter(TTextFileWriter&& other) noexcept
    : FFd(other.FFd), FOwned(other.FOwned), FTarget(std::move(other.FTarget)),
      FTemporary(std::move(other.FTemporary)), FBuffer(std::move(other.FBuffer)) {
    other.FFd = -1;
    other.FTemporary.clear();
}

TTextFileWriter::~TTextFileWriter() {
    if (FFd >= 0 && FOwned)
        ::close(FFd);
    if (!FTemporary.empty())
        ::unlink(FTemporary.c_str());
}

void TTextFileWriter::Write(std::string_view text) {
    FBuffer.append(text);
    if (FBuffer.size() >= BufferSize)
        Flush();
}

void TTextFileWriter::WriteLine(std::string_view text) {
    Write(text);
    Write("\r\n");
}

void TTextFileWriter::Flush() {
    const char* data = FBuffer.data();
    size_t left = FBuffer.size();
    while (left > 0) {
        const ssize_t written = ::write(FFd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(errno);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    FBuffer.clear();
}

void TTextFileWriter::Close() {
    if (FFd < 0)
        return;
    Flush();
    if (!FTemporary.empty() && fsync(FFd) != 0)
        throw EInOutError(errno);
    const int fd = FFd;
    FFd = -1;
    if (FOwned && ::close(fd) != 0)
        throw EInOutError(errno);
    if (!FTemporary.empty()) {
        if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0)
            throw EInOutError(errno);
        FTemporary.clear();
    }
}
