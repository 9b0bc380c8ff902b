#include "TextFileWriter.h"

#include "IoError.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BufferSize = 1 << 16;

// The file a name stands for: a symbolic link is followed, so that the link stays a link.
std::string ResolvedTarget(const std::string& fileName) {
    struct stat info {};
    if (lstat(fileName.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(fileName.c_str(), resolved) != nullptr)
            return resolved;
    }
    return fileName;
}

// Creates a new file beside the target, with the permissions the target has (or a new file
// would get). Returns -1 with errno set on failure.
int CreateBeside(const std::string& target, const struct stat* existing, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir + "." + base + ".tmp" + std::to_string(getpid()) + "-" +
               std::to_string(counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (existing != nullptr)
                (void)fchmod(fd, existing->st_mode & 07777);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

} // namespace

TTextFileWriter::TTextFileWriter(const std::string& fileName) {
    FBuffer.reserve(BufferSize);
    if (fileName.empty())
        throw EInOutError(ENOENT);
    const std::string target = ResolvedTarget(fileName);
    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        FFd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (FFd < 0)
            throw EInOutError(errno);
        return;
    }
    FFd = CreateBeside(target, exists ? &info : nullptr, FTemporary);
    if (FFd >= 0) {
        FTarget = target;
        return;
    }
    // No file can be made in the directory: writing in place is all that is left.
    FTemporary.clear();
    FFd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFd < 0)
        throw EInOutError(errno);
}

TTextFileWriter::TTextFileWriter(int fd, bool owned) : FFd(fd), FOwned(owned) {
    FBuffer.reserve(BufferSize);
}

TTextFileWriter TTextFileWriter::ForDescriptor(int fd) { return TTextFileWriter(fd, false); }

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
