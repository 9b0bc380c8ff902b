#include "DirWalker.h"

#include "ScanWorkers.h"
#include "Trash.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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
    if (ReadsAhead())
        FAhead = std::make_unique<TDirReadAhead>(
            FStopRequested, [this](const std::string& path) { return !IsExcluded(path); },
            [this](std::string_view name, const struct stat& status) {
                return !IsTrash(name, status.st_dev, status.st_ino);
            });
}

bool TDirWalker::ReadsAhead() {
    return ScanWorkers() > 1 && RoomForReadAhead();
}

bool TDirWalker::RoomForReadAhead() {
    // The read-ahead holds a few descriptors beside the walk's own; where the limit is tight,
    // the walk keeps them all, so that it never fails to open a directory for want of one.
    rlimit limit{};
    return getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
           (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= MinDescriptorsForReadAhead);
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
                              const TDirListing& listing) {
    // Masks are applied one after another, as a search per mask would find the files; a file
    // that a second mask matches as well is not collected again.
    const std::vector<TDirListing::TEntry>& entries = listing.Entries;
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
    FListing.Read(frame.Fd);
    TakeListing(frame, dir, FListing, subdirs);
}

void TDirWalker::TakeListing(const TFrame& frame, const std::string& dir,
                             const TDirListing& listing, std::vector<std::string>& subdirs) {
    CollectFiles(frame, dir, listing);
    listing.AppendSubdirs(subdirs);
}

void TDirWalker::Offer(TFrame& frame, const std::string& dir) {
    if (FAhead != nullptr && frame.Subdirs.size() > 1 && frame.Fd >= 0 && !Stopped())
        frame.Ahead = FAhead->Offer(frame.Fd, frame.Device, dir, frame.Subdirs);
}

void TDirWalker::CloseLevel(TFrame& frame) {
    if (frame.Ahead != nullptr) {
        FAhead->Release(*frame.Ahead);
        frame.Ahead.reset();
    }
    if (frame.Fd >= 0)
        close(frame.Fd);
    frame.Fd = -1;
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
        !FWalked.Insert({info.st_dev, info.st_ino})) {
        close(rootFd);
        return 0;
    }

    // path always begins with the path of every level on the stack.
    std::vector<TFrame> stack;
    // A failure that ends the walk early (no memory, too many names) leaves no level open.
    struct TOpenLevels {
        TDirWalker& Walker;
        std::vector<TFrame>& Frames;
        ~TOpenLevels() {
            for (TFrame& frame : Frames)
                Walker.CloseLevel(frame);
            if (Walker.FAhead != nullptr)
                Walker.FAhead->Forget();
        }
    } openLevels{*this, stack};
    stack.push_back({rootFd, info.st_dev, info.st_ino, path.size(), {}, 0});
    ReadDirectory(stack.back(), path, stack.back().Subdirs);
    Offer(stack.back(), path);

    while (!stack.empty()) {
        TFrame& top = stack.back();
        if (Stopped() || top.Next == top.Subdirs.size()) {
            CloseLevel(top);
            stack.pop_back();
            continue;
        }
        if (top.Fd < 0 && !Reopen(stack, path)) {
            top.Next = top.Subdirs.size(); // replaced or gone since it was listed
            continue;
        }
        const size_t index = top.Next++;
        const std::string& name = top.Subdirs[index];
        path.resize(top.PathLength);
        path += name; // compared with the exclude list without its trailing "/"
        if (IsExcluded(path))
            continue;

        if (top.Ahead != nullptr)
            FAhead->Entering(*top.Ahead, index);
        const int fd =
            openat(top.Fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat sub {};
        const bool known = fd >= 0 ? fstat(fd, &sub) == 0
                                   : fstatat(top.Fd, name.c_str(), &sub, AT_SYMLINK_NOFOLLOW) == 0;
        // A directory that vanished or turned into something else since the listing is passed by.
        if (!known || !S_ISDIR(sub.st_mode) || IsTrash(name, sub.st_dev, sub.st_ino) ||
            (sub.st_dev != top.Device && FVirtual.IsVirtual(sub.st_dev, fd)) ||
            !FWalked.Insert({sub.st_dev, sub.st_ino})) {
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
        if (stack.size() > OpenLevels + 1) // the level that leaves the newest ones
            CloseLevel(stack[stack.size() - 1 - OpenLevels]);
        if (FAhead != nullptr && FAhead->TakeListing(sub, FListing))
            TakeListing(stack.back(), path, FListing, stack.back().Subdirs);
        else
            ReadDirectory(stack.back(), path, stack.back().Subdirs);
        Offer(stack.back(), path);
    }
    return 0;
}
