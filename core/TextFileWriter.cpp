#include "TextFileWriter.h"

#include "IoError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr size_t BufferSize = 1 << 16;
}

TTextFileWriter::TTextFileWriter(const std::string& fileName) {
    FFd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFd < 0)
        throw EInOutError(fileName.empty() ? ENOENT : errno);
    FBuffer.reserve(BufferSize);
}

TTextFileWriter::TTextFileWriter(int fd, bool owned) : FFd(fd), FOwned(owned) {
    FBuffer.reserve(BufferSize);
}

TTextFileWriter TTextFileWriter::ForDescriptor(int fd) { return TTextFileWriter(fd, false); }

TTextFileWriter::TTextFileWriter(TTextFileWriter&& other) noexcept
    : FFd(other.FFd), FOwned(other.FOwned), FBuffer(std::move(other.FBuffer)) {
    other.FFd = -1;
}

TTextFileWriter::~TTextFileWriter() {
    // A writer that was not closed was abandoned after a failure: release the descriptor only.
    if (FFd >= 0 && FOwned)
        ::close(FFd);
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
    const int fd = FFd;
    FFd = -1;
    if (FOwned && ::close(fd) != 0)
        throw EInOutError(errno);
}
