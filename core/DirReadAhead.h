#pragma once

#include "DevIno.h"
#include "DirListing.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unordered_map>
#include <vector>

// Lists, on a thread of its own, directories that a depth-first walk will enter later, while the
// walk lists the ones it is in. The walk offers the subdirectories of each directory it has
// listed; the thread takes the next one offered at the highest level (the one the walk reaches
// last, and below which the most is left) and lists the tree below it in the walk's order, until
// the walk reaches it. The walk opens every directory itself and decides what to enter; it takes
// a listing the thread made only for the same directory (device and inode) unchanged since (the
// same change and modification times), and lists any other itself.
//
// The thread does not open what the walk would not (mayOpen: excluded directories), nor list what
// it would pass by: what mayList refuses (the trash), directories on another file system, and
// levels far below the one it began at.
class TDirReadAhead {
  public:
    // The subdirectories of one directory, as offered.
    class TGroup;
    // Whether the walk may open the directory at path (without its trailing "/").
    using TMayOpen = std::function<bool(const std::string& path)>;
    // Whether the walk may enter the directory named `name` that has the given status.
    using TMayList = std::function<bool(std::string_view name, const struct stat& status)>;

    TDirReadAhead(const std::atomic<bool>& stopRequested, TMayOpen mayOpen, TMayList mayList);
    // The walk has released every group by now.
    ~TDirReadAhead();
    TDirReadAhead(const TDirReadAhead&) = delete;
    TDirReadAhead& operator=(const TDirReadAhead&) = delete;

    // Offers the subdirectories after the first (which the walk enters next) of the directory
    // dir (ending in "/"), open at fd on device. The descriptor stays the walk's and must stay
    // open until Release.
    std::unique_ptr<TGroup> Offer(int fd, dev_t device, const std::string& dir,
                                  const std::vector<std::string>& names);
    // The walk is about to enter subdirectory `index` of the group: the thread does not begin it,
    // and stops listing below it if it had.
    void Entering(TGroup& group, size_t index);
    // The walk has opened a directory with the given status: its listing when the thread made
    // one of that directory and it has not changed since.
    bool TakeListing(const struct stat& status, TDirListing& listing);
    // The walk is done with the group or closes its directory's descriptor. Does not throw.
    void Release(TGroup& group) noexcept;
    // The walk of a scan directory is over, every group released: the listings it did not take
    // (of directories it passed by, walked before say) are dropped.
    void Forget() noexcept;

    // Called on the thread with each directory's path (ending in "/") once its listing is kept;
    // tests wait for it.
    static inline void (*ListedHook)(const std::string& path) = nullptr;

  private:
    enum class TState : uint8_t { Waiting, Taken, Claimed };
    struct TListed {
        struct timespec ChangeTime;
        struct timespec ModifyTime;
        TDirListing Listing;
    };
    // A level of the tree the thread lists.
    struct TLevel {
        int Fd;
        std::string Path; // ending in "/"
        std::vector<std::string> Subdirs;
        size_t Next = 0;
    };

    void Run();
    // Claims the next subdirectory to list below, or returns false when none is offered.
    bool NextJob(TGroup*& group, size_t& index);
    // Lists the tree below the directory open at fd, in the walk's order.
    void ListTree(int fd, const std::string& path, std::string_view name, dev_t device);
    // Lists the directory open at fd when the walk may enter it, and keeps the listing; false
    // when it is not to be descended into.
    bool ListOne(int fd, const std::string& path, std::string_view name, dev_t device,
                 std::vector<std::string>& subdirs);
    // A listing the walk is done with, to list into, or an empty one.
    TDirListing TakeSpare();
    bool HasRoom() const;
    // Under the lock: the walk has reached the job's directory, or the thread or the scan ends.
    bool JobOver() const;
    bool JobGoesOn();
    // Keeps a listing once there is room for it; false when the job is over meanwhile, or the
    // directory was listed already.
    bool Keep(const struct stat& status, TListed listed);

    const std::atomic<bool>& FStopRequested;
    TMayOpen FMayOpen;
    TMayList FMayList;

    std::mutex FMutex;
    std::condition_variable FWorkChanged; // the thread waits here for work or room
    std::condition_variable FOpened;      // Release waits here for a subdirectory being opened
    std::vector<TGroup*> FGroups;         // offered and not released, oldest first
    std::unordered_map<TDevIno, TListed, TDevInoHash> FListed; // made and not taken
    size_t FListedBytes = 0;
    std::vector<TDirListing> FSpare; // listings the walk is done with
    bool FJobCaught = false;         // the walk has reached the directory the thread lists below
    TGroup* FJobGroup = nullptr;
    size_t FJobIndex = 0;
    bool FEnded = false;
    std::thread FThread; // last: it starts once everything above is ready
};

class TDirReadAhead::TGroup {
    friend class TDirReadAhead;
    int Fd = -1;
    dev_t Device = 0;
    std::string Dir;
    std::vector<std::string> Names;
    std::vector<TState> States;
    size_t Next = 0;      // no subdirectory before this one is waiting
    bool Opening = false; // the thread is opening one of them with Fd
};
