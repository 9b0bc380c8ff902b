#include "DirReadAhead.h"

#include "SpinStep.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Listings made and not taken, at most, and their bytes.
constexpr size_t MaxListed = 16384;
constexpr size_t MaxListedBytes = size_t{16} << 20;

size_t BytesOf(const TDirListing& listing) {
    return listing.Names.capacity() + listing.Entries.capacity() * sizeof(TDirListing::TEntry);
}
// Listings the walk is done with, kept for the thread to list into, at most, and the bytes of
// each.
constexpr size_t MaxSpare = 64;
constexpr size_t MaxSpareBytes = size_t{32} << 10;
// Levels the thread lists below the directory it began at, at most; the walk lists deeper ones.
constexpr size_t MaxLevels = 16;
constexpr int DirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The lock is held only for moments by either side: trying a little before going to sleep spares
// the two threads a sleep and a wake-up each time they meet.
constexpr int LockTries = 64;

std::unique_lock<std::mutex> LockBriefly(std::mutex& mutex) {
    for (int i = 0; i < LockTries; ++i) {
        if (mutex.try_lock())
            return std::unique_lock<std::mutex>(mutex, std::adopt_lock);
        SpinStep();
    }
    return std::unique_lock<std::mutex>(mutex);
}

void RelockBriefly(std::unique_lock<std::mutex>& lock) {
    std::mutex& mutex = *lock.release();
    lock = LockBriefly(mutex);
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}
} // namespace

TDirReadAhead::TDirReadAhead(const std::atomic<bool>& stopRequested, TMayOpen mayOpen,
                             TMayList mayList)
    : FStopRequested(stopRequested), FMayOpen(std::move(mayOpen)), FMayList(std::move(mayList)),
      FThread([this] { Run(); }) {
    // A listing given back never fails for want of room; the thread runs already.
    const std::lock_guard<std::mutex> lock(FMutex);
    FSpare.reserve(MaxSpare);
}

TDirReadAhead::~TDirReadAhead() {
    {
        std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
        FEnded = true;
    }
    FWorkChanged.notify_one();
    FThread.join();
}

std::unique_ptr<TDirReadAhead::TGroup> TDirReadAhead::Offer(int fd, dev_t device,
                                                            const std::string& dir,
                                                            const std::vector<std::string>& names) {
    auto group = std::make_unique<TGroup>();
    group->Fd = fd;
    group->Device = device;
    group->Dir = dir;
    group->Names = names;
    group->States.assign(names.size(), TState::Waiting);
    group->States[0] = TState::Taken;
    group->Next = 1;
    {
        std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
        FGroups.push_back(group.get());
    }
    FWorkChanged.notify_one();
    return group;
}

void TDirReadAhead::Entering(TGroup& group, size_t index) {
    {
        std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
        const bool caught =
            group.States[index] == TState::Claimed && FJobGroup == &group && FJobIndex == index;
        group.States[index] = TState::Taken;
        if (!caught)
            return;
        FJobCaught = true;
    }
    FWorkChanged.notify_one();
}

bool TDirReadAhead::TakeListing(const struct stat& status, TDirListing& listing) {
    TListed listed;
    bool unchanged = false;
    {
        std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
        const auto it = FListed.find({status.st_dev, status.st_ino});
        if (it == FListed.end())
            return false;
        listed = std::move(it->second);
        FListed.erase(it);
        FListedBytes -= BytesOf(listed.Listing);
        // Changed since: the walk lists it again.
        unchanged = SameTime(listed.ChangeTime, status.st_ctim) &&
                    SameTime(listed.ModifyTime, status.st_mtim);
        if (unchanged)
            std::swap(listing, listed.Listing);
        // The buffers the walk is done with go back to the thread, which lists into them: left
        // to the walk's thread to free, they would wait on the lock of the heap they came from.
        if (FSpare.size() < MaxSpare && BytesOf(listed.Listing) <= MaxSpareBytes)
            FSpare.push_back(std::move(listed.Listing));
    }
    FWorkChanged.notify_one(); // room for another
    return unchanged;
}

void TDirReadAhead::Release(TGroup& group) noexcept {
    std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
    const auto it = std::find(FGroups.rbegin(), FGroups.rend(), &group);
    if (it != FGroups.rend())
        FGroups.erase(std::next(it).base());
    if (FJobGroup == &group) {
        FJobCaught = true; // passed by: what lies below it is not wanted any more
        FJobGroup = nullptr;
        FWorkChanged.notify_one();
    }
    FOpened.wait(lock, [&] { return !group.Opening; });
}

bool TDirReadAhead::NextJob(TGroup*& found, size_t& index) {
    // The oldest group first: the walk reaches its subdirectories last.
    for (TGroup* group : FGroups) {
        while (group->Next < group->States.size() && group->States[group->Next] != TState::Waiting)
            ++group->Next;
        if (group->Next < group->States.size()) {
            found = group;
            index = group->Next;
            return true;
        }
    }
    return false;
}

void TDirReadAhead::Forget() noexcept {
    std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
    FListed.clear();
    FListedBytes = 0;
    FWorkChanged.notify_one();
}

TDirListing TDirReadAhead::TakeSpare() {
    std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
    if (FSpare.empty())
        return {};
    TDirListing spare = std::move(FSpare.back());
    FSpare.pop_back();
    return spare;
}

bool TDirReadAhead::HasRoom() const {
    return FListed.size() < MaxListed && FListedBytes < MaxListedBytes;
}

bool TDirReadAhead::JobOver() const {
    return FEnded || FJobCaught || FStopRequested.load(std::memory_order_relaxed);
}

bool TDirReadAhead::JobGoesOn() {
    std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
    return !JobOver();
}

bool TDirReadAhead::Keep(const struct stat& status, TListed listed) {
    std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
    FWorkChanged.wait(lock, [&] { return JobOver() || HasRoom(); });
    if (JobOver())
        return false; // the walk may have listed it already
    const size_t bytes = BytesOf(listed.Listing);
    if (!FListed.try_emplace({status.st_dev, status.st_ino}, std::move(listed)).second)
        return false; // met twice (a bind mount): the walk takes it once at most
    FListedBytes += bytes;
    return true;
}

bool TDirReadAhead::ListOne(int fd, const std::string& path, std::string_view name, dev_t device,
                            std::vector<std::string>& subdirs) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISDIR(status.st_mode) || status.st_dev != device ||
        !FMayList(name, status))
        return false;
    TListed listed{status.st_ctim, status.st_mtim, TakeSpare()};
    listed.Listing.Read(fd);
    subdirs.clear();
    listed.Listing.AppendSubdirs(subdirs);
    if (!Keep(status, std::move(listed)))
        return false;
    if (ListedHook != nullptr)
        ListedHook(path);
    return true;
}

void TDirReadAhead::ListTree(int fd, const std::string& path, std::string_view name, dev_t device) {
    // Depth first, subdirectories in the walk's order, each level with its own descriptor.
    std::vector<TLevel> stack;
    struct TOpenLevels {
        std::vector<TLevel>& Levels;
        ~TOpenLevels() {
            for (const TLevel& level : Levels)
                close(level.Fd);
        }
    } openLevels{stack};
    try {
        stack.push_back({fd, path, {}, 0});
    } catch (...) {
        close(fd);
        throw;
    }
    if (!ListOne(fd, path, name, device, stack.back().Subdirs))
        return;
    while (!stack.empty()) {
        TLevel& top = stack.back();
        if (top.Next == top.Subdirs.size() || stack.size() > MaxLevels) {
            close(top.Fd);
            stack.pop_back();
            continue;
        }
        const std::string& sub = top.Subdirs[top.Next++];
        std::string subPath = top.Path + sub;
        if (!FMayOpen(subPath))
            continue;
        const int subFd = openat(top.Fd, sub.c_str(), DirFlags);
        if (subFd < 0)
            continue;
        subPath += '/';
        try {
            stack.push_back({subFd, std::move(subPath), {}, 0});
        } catch (...) {
            close(subFd);
            throw;
        }
        TLevel& level = stack.back();
        if (!ListOne(level.Fd, level.Path, sub, device, level.Subdirs)) {
            if (!JobGoesOn())
                return;
            level.Subdirs.clear();
        }
    }
}

void TDirReadAhead::Run() {
    std::unique_lock<std::mutex> lock = LockBriefly(FMutex);
    for (;;) {
        TGroup* group = nullptr;
        size_t index = 0;
        FWorkChanged.wait(lock, [&] {
            return FEnded || (!FStopRequested.load(std::memory_order_relaxed) && HasRoom() &&
                              NextJob(group, index));
        });
        if (FEnded)
            return;
        group->States[index] = TState::Claimed;
        group->Opening = true;
        FJobGroup = group;
        FJobIndex = index;
        FJobCaught = false;
        const dev_t device = group->Device;
        const int parentFd = group->Fd;
        int fd = -1;
        std::string name;
        std::string path;
        lock.unlock();

        // What cannot be listed here (no memory, no descriptor left) the walk lists itself.
        try {
            name = group->Names[index];
            path = group->Dir + name;
            if (FMayOpen(path))
                fd = openat(parentFd, name.c_str(), DirFlags);
            path += '/';
        } catch (...) {
            if (fd >= 0)
                close(fd);
            fd = -1;
        }
        RelockBriefly(lock);
        group->Opening = false;
        FOpened.notify_one();
        if (fd >= 0 && FJobCaught) {
            close(fd);
            fd = -1;
        }
        if (fd < 0) {
            FJobGroup = nullptr;
            continue;
        }
        lock.unlock();
        try {
            ListTree(fd, path, name, device);
        } catch (...) {
        }
        RelockBriefly(lock);
        FJobGroup = nullptr;
    }
}
