#include "DirWalker.h"

#include "Trash.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct TLinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

TDirWalker::TDirWalker(std::vector<TWildcardMask> masks, std::vector<std::string> excludeDirs,
                       const std::atomic<bool>& stopRequested, TWalkSink& sink)
    : FMasks(std::move(masks)), FExcludeDirs(std::move(excludeDirs)), FStopRequested(stopRequested),
      FSink(sink) {
    const std::string trash = HomeTrashPath();
    struct stat info {};
    if (!trash.empty() && stat(trash.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        FHaveHomeTrash = true;
        FHomeTrash = {info.st_dev, info.st_ino};
    }
}

bool TDirWalker::IsTrash(std::string_view name, dev_t dev, ino_t ino) const {
    if (FHaveHomeTrash && FHomeTrash == TDevIno{dev, ino})
        return true;
    if (name == ".Trash")
        return true;
    constexpr std::string_view prefix = ".Trash-";
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return false;
    const std::string_view digits = name.substr(prefix.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool TDirWalker::IsExcluded(const std::string& path) const {
    return std::find(FExcludeDirs.begin(), FExcludeDirs.end(), path) != FExcludeDirs.end();
}

void TDirWalker::CollectFiles(const TFrame& frame, const std::string& dir,
                              const TListing& listing) {
    // Masks are applied one after another, as a search per mask would find the files; a file
    // that a second mask matches as well is not collected again.
    const std::vector<TEntry>& entries = listing.Entries;
    std::vector<bool> taken(entries.size(), false);
    bool begun = false;
    uint32_t dirIndex = 0;
    for (const TWildcardMask& mask : FMasks) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (Stopped())
                return;
            const std::string_view name = listing.Name(entries[i]);
            if (!entries[i].IsFile || taken[i] || !mask.Matches(name))
                continue;
            taken[i] = true;
            if (!begun) {
                dirIndex = FSink.BeginDirectory(dir, frame.Device, frame.Inode);
                begun = true;
            }
            FSink.CollectFile(dirIndex, name);
        }
    }
}

void TDirWalker::ReadDirectory(const TFrame& frame, const std::string& dir,
                               std::vector<std::string>& subdirs) {
    const int fd = frame.Fd;
    TListing& listing = FListing;
    listing.Names.clear();
    listing.Entries.clear();
    alignas(8) char buffer[32768];
    for (;;) {
        const long count = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (count <= 0)
            break; // end of the directory, or a read error: what was read so far counts
        for (long offset = 0; offset < count;) {
            const auto* entry = reinterpret_cast<const TLinuxDirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (IsDotOrDotDot(entry->d_name))
                continue;
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat info {};
                if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // vanished since the listing
                type = S_ISREG(info.st_mode) ? DT_REG : S_ISDIR(info.st_mode) ? DT_DIR : DT_LNK;
            }
            if (type != DT_REG && type != DT_DIR)
                continue;
            const std::string_view name(entry->d_name);
            listing.Entries.push_back({static_cast<uint32_t>(listing.Names.size()),
                                       static_cast<uint32_t>(name.size()), type == DT_REG});
            listing.Names.append(name);
        }
    }
    std::sort(listing.Entries.begin(), listing.Entries.end(),
              [&](const TEntry& a, const TEntry& b) { return listing.Name(a) < listing.Name(b); });

    CollectFiles(frame, dir, listing);
    for (const TEntry& entry : listing.Entries)
        if (!entry.IsFile)
            subdirs.emplace_back(listing.Name(entry));
}

bool TDirWalker::Reopen(std::vector<TFrame>& stack, const std::string& path) const {
    // Every level between the scan directory and the newest levels is closed, so the way down
    // starts at the deepest level still open; the levels the walk will need next keep theirs.
    const size_t top = stack.size() - 1;
    size_t from = top;
    while (stack[from].Fd < 0)
        --from; // the scan directory's descriptor stays open
    const size_t keepFrom = top >= OpenLevels ? top - OpenLevels + 1 : 1;
    int fd = stack[from].Fd;
    for (size_t level = from + 1; level <= top; ++level) {
        const size_t begin = stack[level - 1].PathLength;
        const std::string name = path.substr(begin, stack[level].PathLength - begin - 1);
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (level - 1 > from && level - 1 < keepFrom)
            close(fd);
        struct stat info {};
        if (next < 0 || fstat(next, &info) != 0 || info.st_dev != stack[level].Device ||
            info.st_ino != stack[level].Inode) {
            if (next >= 0)
                close(next);
            return false;
        }
        if (level >= keepFrom)
            stack[level].Fd = next;
        fd = next;
    }
    return true;
}

int TDirWalker::ScanRoot(const std::string& root) {
    if (root.empty() || Stopped())
        return 0;
    std::string path = root;
    if (path.back() != '/')
        path += '/';

    const int rootFd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return errno;
    struct stat info {};
    if (fstat(rootFd, &info) != 0 || FVirtual.IsVirtual(info.st_dev, rootFd) ||
        !FWalked.insert({info.st_dev, info.st_ino}).second) {
        close(rootFd);
        return 0;
    }

    // path always begins with the path of every level on the stack.
    std::vector<TFrame> stack;
    // A failure that ends the walk early (no memory, too many names) leaves no level open.
    struct TOpenLevels {
        std::vector<TFrame>& Frames;
        ~TOpenLevels() {
            for (const TFrame& frame : Frames)
                if (frame.Fd >= 0)
                    close(frame.Fd);
        }
    } openLevels{stack};
    stack.push_back({rootFd, info.st_dev, info.st_ino, path.size(), {}, 0});
    ReadDirectory(stack.back(), path, stack.back().Subdirs);

    while (!stack.empty()) {
        TFrame& top = stack.back();
        if (Stopped() || top.Next == top.Subdirs.size()) {
            if (top.Fd >= 0)
                close(top.Fd);
            stack.pop_back();
            continue;
        }
        if (top.Fd < 0 && !Reopen(stack, path)) {
            top.Next = top.Subdirs.size(); // replaced or gone since it was listed
            continue;
        }
        const std::string& name = top.Subdirs[top.Next++];
        path.resize(top.PathLength);
        path += name; // compared with the exclude list without its trailing "/"
        if (IsExcluded(path))
            continue;

        const int fd =
            openat(top.Fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat sub {};
        const bool known = fd >= 0 ? fstat(fd, &sub) == 0
                                   : fstatat(top.Fd, name.c_str(), &sub, AT_SYMLINK_NOFOLLOW) == 0;
        // A directory that vanished or turned into something else since the listing is passed by.
        if (!known || !S_ISDIR(sub.st_mode) || IsTrash(name, sub.st_dev, sub.st_ino) ||
            (sub.st_dev != top.Device && FVirtual.IsVirtual(sub.st_dev, fd)) ||
            !FWalked.insert({sub.st_dev, sub.st_ino}).second) {
            if (fd >= 0)
                close(fd);
            continue;
        }

        ++FDirectoriesRead;
        FSink.EnteringSubdirectory(FDirectoriesRead);
        if (fd < 0)
            continue; // counted, but it cannot be read
        path += '/';
        stack.push_back({fd, sub.st_dev, sub.st_ino, path.size(), {}, 0});
        if (stack.size() > OpenLevels + 1) {
            // The level that leaves the newest ones gives its descriptor back.
            TFrame& oldest = stack[stack.size() - 1 - OpenLevels];
            if (oldest.Fd >= 0)
                close(oldest.Fd);
            oldest.Fd = -1;
        }
        ReadDirectory(stack.back(), path, stack.back().Subdirs);
    }
    return 0;
}
