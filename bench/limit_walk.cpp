// limit_walk: the plainest fast directory walk we know how to write, used as
// the yardstick for scanner timings.
//
// usage: limit_walk [--threads N] ROOT
//
// One thread (by default), depth first.  Each directory is opened relative to its parent
// (openat with O_DIRECTORY | O_NOFOLLOW), read with raw getdents64 calls, and
// every entry gets one fstatat(AT_SYMLINK_NOFOLLOW).  Name, size and mtime of
// each regular file are kept in memory, as a scanner would have to, and the
// number of files is printed at the end.  Symlinks are neither followed nor
// counted.
//
// With --threads N, N threads share a stack of directories still to read: a
// thread takes the newest one, opens it by its path, reads and stats it as
// above and puts its subdirectories on the stack.  The order is no longer the
// walk's; this is the limit for a walk that reads on N cores.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct FileEntry {
    std::string name;
    std::int64_t size;
    std::int64_t mtime_ns;
};

// Fixed head of a record returned by getdents64; the NUL-terminated name
// follows d_type directly, and d_reclen gives the distance to the next record.
struct Dirent64Head {
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
};
constexpr std::size_t kNameOffset = offsetof(Dirent64Head, d_type) + 1;

class Walker {
  public:
    // Walks the directory open on dir_fd and closes it.
    void walk(int dir_fd) {
        // The whole directory is read before descending, so one buffer serves
        // every level and only the path down to here holds open descriptors.
        std::vector<std::string> subdirs;
        read(dir_fd, subdirs);
        for (const std::string& name : subdirs) {
            int child =
                openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) {
                report("openat", errno);
                continue;
            }
            walk(child);
        }
        close(dir_fd);
    }

    // Reads the directory open on dir_fd: its files into `files`, the names
    // of its subdirectories into `subdirs`.
    void read(int dir_fd, std::vector<std::string>& subdirs) {
        for (;;) {
            long got = syscall(SYS_getdents64, dir_fd, buffer_.data(), buffer_.size());
            if (got == 0)
                break;
            if (got < 0) {
                report("getdents64", errno);
                break;
            }
            for (long pos = 0; pos < got;) {
                const char* record = buffer_.data() + pos;
                unsigned short reclen;
                std::memcpy(&reclen, record + offsetof(Dirent64Head, d_reclen), sizeof reclen);
                pos += reclen;

                const char* name = record + kNameOffset;
                if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                    continue;

                struct stat st;
                if (fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    report("fstatat", errno);
                    continue;
                }
                if (S_ISREG(st.st_mode)) {
                    std::int64_t mtime_ns =
                        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                        st.st_mtim.tv_nsec;
                    files.push_back({name, static_cast<std::int64_t>(st.st_size), mtime_ns});
                } else if (S_ISDIR(st.st_mode)) {
                    subdirs.emplace_back(name);
                }
            }
        }
    }

    std::vector<FileEntry> files;
    std::size_t errors = 0;

    void report(const char* call, int error) {
        // One line is enough to tell that the figures are off; the rest only counts.
        if (errors++ == 0)
            std::fprintf(stderr, "limit_walk: %s: %s\n", call, std::strerror(error));
    }

  private:
    std::vector<char> buffer_ = std::vector<char>(64 * 1024);
};

// Directories still to read, shared by the threads of a parallel walk; the
// walk is over when the stack is empty and no thread is reading.
class SharedStack {
  public:
    explicit SharedStack(std::string root) { paths_.push_back(std::move(root)); }

    // The next directory to read, or false when the walk is over.
    bool take(std::string& path) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !paths_.empty() || busy_ == 0; });
        if (paths_.empty())
            return false;
        path = std::move(paths_.back());
        paths_.pop_back();
        ++busy_;
        return true;
    }

    // The directory taken last is read; these are its subdirectories.
    void done(const std::string& path, const std::vector<std::string>& subdirs) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const std::string& name : subdirs)
                paths_.push_back(path + "/" + name);
            --busy_;
        }
        ready_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::string> paths_;
    int busy_ = 0;
};

void walk_shared(SharedStack& stack, Walker& walker) {
    std::string path;
    std::vector<std::string> subdirs;
    while (stack.take(path)) {
        subdirs.clear();
        int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            walker.report("open", errno);
        } else {
            walker.read(fd, subdirs);
            close(fd);
        }
        stack.done(path, subdirs);
    }
}

} // namespace

int main(int argc, char** argv) {
    int threads = 1;
    if (argc == 4 && std::strcmp(argv[1], "--threads") == 0) {
        threads = std::atoi(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc != 2 || threads < 1) {
        std::fprintf(stderr, "usage: limit_walk [--threads N] ROOT\n");
        return 2;
    }
    int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        std::fprintf(stderr, "limit_walk: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }

    std::vector<Walker> walkers(static_cast<std::size_t>(threads));
    if (threads == 1) {
        walkers[0].walk(root);
    } else {
        close(root);
        SharedStack stack(argv[1]);
        std::vector<std::thread> others;
        for (int i = 1; i < threads; ++i)
            others.emplace_back(walk_shared, std::ref(stack), std::ref(walkers[i]));
        walk_shared(stack, walkers[0]);
        for (std::thread& thread : others)
            thread.join();
    }

    std::size_t files = 0, errors = 0;
    for (const Walker& walker : walkers) {
        files += walker.files.size();
        errors += walker.errors;
    }
    std::printf("%zu\n", files);
    if (errors != 0)
        std::fprintf(stderr, "limit_walk: %zu entries could not be read\n", errors);
    return errors == 0 ? 0 : 1;
}
