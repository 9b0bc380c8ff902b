#include "ContentComparison.h"

#include "IoError.h"
#include "TrustedPath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BlockSize = size_t(1) << 18;
// Copies compared at once with one reading of the kept copy; a larger group reads the kept copy
// once more per batch, so that the open files stay within the process's limit.
constexpr size_t BatchSize = 200;

// An open copy, checked to be the regular file of the recorded size.
class TOpenCopy {
  public:
    TOpenCopy(const TFileInfoRec& record, TCompared& compared) {
        const TTrustedPath way(record.FullPath());
        if (way.Error() != 0) {
            compared.ErrorText = way.ErrorText();
            return;
        }
        FFd = openat(way.FolderFd(), way.Name().c_str(),
                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat status {};
        if (FFd < 0 || fstat(FFd, &status) != 0) {
            if (errno == ENOENT || errno == ELOOP)
                compared.Outcome = TCompared::cChanged; // gone, or a link in its place
            compared.ErrorText = SystemErrorText(errno);
            Close();
            return;
        }
        if (!S_ISREG(status.st_mode) || static_cast<int64_t>(status.st_size) != record.Size) {
            compared.Outcome = TCompared::cChanged;
            compared.ErrorText = "The file changed since the scan; it was kept.";
            Close();
            return;
        }
        compared.Device = status.st_dev;
        compared.Inode = status.st_ino;
    }
    ~TOpenCopy() { Close(); }
    TOpenCopy(const TOpenCopy&) = delete;
    TOpenCopy& operator=(const TOpenCopy&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    // Fills the buffer as far as the file allows: the bytes read, or -1 with errno.
    ssize_t Read(char* buffer, size_t size) const {
        size_t done = 0;
        while (done < size) {
            const ssize_t count = ::read(FFd, buffer + done, size - done);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                return -1;
            if (count == 0)
                break;
            done += static_cast<size_t>(count);
        }
        return static_cast<ssize_t>(done);
    }
    void Close() {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }

  private:
    int FFd = -1;
};

} // namespace

std::vector<TCompared> CompareContents(const TFileInfoRec& kept,
                                       const std::vector<TFileInfoRec>& copies,
                                       std::string& keptError) {
    keptError.clear();
    std::vector<TCompared> results(copies.size());
    std::vector<size_t> pending;
    for (size_t i = 0; i < copies.size(); ++i) {
        if (copies[i].Size != kept.Size)
            results[i].Outcome = TCompared::cDiffers;
        else
            pending.push_back(i);
    }
    std::vector<char> keptBlock(BlockSize);
    std::vector<char> copyBlock(BlockSize);
    for (size_t first = 0; first < pending.size(); first += BatchSize) {
        const size_t last = std::min(pending.size(), first + BatchSize);
        TCompared keptStatus;
        TOpenCopy keptFile(kept, keptStatus);
        if (!keptFile.IsOpen()) {
            keptError = keptStatus.ErrorText;
            for (size_t i : pending)
                results[i] = {TCompared::cFailed, keptError, 0, 0};
            return results;
        }
        std::vector<std::unique_ptr<TOpenCopy>> files;
        std::vector<size_t> active;
        for (size_t at = first; at < last; ++at) {
            const size_t i = pending[at];
            files.push_back(std::make_unique<TOpenCopy>(copies[i], results[i]));
            if (files.back()->IsOpen()) {
                results[i].Outcome = TCompared::cEqual;
                active.push_back(files.size() - 1);
            }
        }
        while (!active.empty()) {
            const ssize_t count = keptFile.Read(keptBlock.data(), keptBlock.size());
            if (count < 0) {
                keptError = SystemErrorText(errno);
                for (size_t i : pending)
                    results[i] = {TCompared::cFailed, keptError, 0, 0};
                return results;
            }
            std::vector<size_t> still;
            for (size_t f : active) {
                TCompared& result = results[pending[first + f]];
                const ssize_t got = files[f]->Read(copyBlock.data(), copyBlock.size());
                if (got < 0) {
                    result = {TCompared::cFailed, SystemErrorText(errno), 0, 0};
                    files[f]->Close();
                } else if (got != count || std::memcmp(keptBlock.data(), copyBlock.data(),
                                                       static_cast<size_t>(count)) != 0) {
                    result.Outcome = TCompared::cDiffers;
                    files[f]->Close();
                } else if (count > 0) {
                    still.push_back(f);
                }
            }
            if (count == 0)
                break; // both at their end with equal bytes
            active = std::move(still);
        }
    }
    return results;
}
