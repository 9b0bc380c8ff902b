#pragma once

#include "DevIno.h"
#include "DevInoSet.h"
#include "DirListing.h"
#include "DirReadAhead.h"
#include "VirtualFileSystems.h"
#include "WildcardMask.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

// What the walk reports: each collected file, and each subdirectory it is about to enter.
class TWalkSink {
  public:
    virtual ~TWalkSink() = default;
    // A directory (ending in "/", with the device and inode the walk saw) is about to deliver
    // its first file; returns its index.
    virtual uint32_t BeginDirectory(const std::string& dir, uint64_t device, uint64_t inode) = 0;
    virtual void CollectFile(uint32_t dirIndex, std::string_view name) = 0;
    // Called after the directory counter was raised, before the walk descends.
    virtual void EnteringSubdirectory(int directoriesRead) = 0;
};

// Walks directory trees depth first: in each directory first the files that match a mask, then
// the subdirectories, both in ascending byte order of their names. Only regular files are
// collected, each once; symbolic links are neither followed nor collected; a directory is walked
// once however often it is reached; virtual file systems, the trash and excluded directories are
// not entered. Directories that cannot be read contribute nothing, silently.
//
// However deep a tree, the walk holds a bounded number of descriptors: the scan directory's and
// those of the newest levels. An older level is opened again, name by name from the deepest level
// still open, when the walk comes back to it for its next subdirectory; if that no longer reaches
// the directory the walk listed (same device and inode), its remaining subdirectories are passed
// by, as if it had vanished.
//
// With a second CPU, a thread beside the walk opens and lists the next subdirectories of the
// levels the walk is below (TDirReadAhead); the walk takes them in its order and makes every
// decision itself, so what it reports is the same.
class TDirWalker {
  public:
    TDirWalker(std::vector<TWildcardMask> masks, std::vector<std::string> excludeDirs,
               const std::atomic<bool>& stopRequested, TWalkSink& sink);

    // Walks one scan directory. The scan directory itself is not counted and not tested against
    // the exclude list or the trash rule; when it is a symbolic link, the link is followed.
    // Returns the errno value of a scan directory that cannot be opened, else 0 (also for one
    // passed by on purpose: an empty entry, a virtual file system, a directory walked before).
    int ScanRoot(const std::string& root);

    int DirectoriesRead() const { return FDirectoriesRead; }

    // Whether a walk made now lists directories ahead on a second thread.
    static bool ReadsAhead();

  private:
    struct TFrame {
        int Fd; // -1 while the level is not among the newest
        dev_t Device;
        ino_t Inode;
        size_t PathLength; // of the directory's path with its trailing "/"
        std::vector<std::string> Subdirs;
        size_t Next = 0;
        // Its subdirectories as offered to the read-ahead, while it keeps its descriptor.
        std::unique_ptr<TDirReadAhead::TGroup> Ahead = nullptr;
    };

    // Levels below the scan directory that keep their descriptor.
    static constexpr size_t OpenLevels = 64;
    // The descriptor limit below which no directory is read ahead.
    static constexpr rlim_t MinDescriptorsForReadAhead = 512;

    void ReadDirectory(const TFrame& frame, const std::string& dir,
                       std::vector<std::string>& subdirs);
    // Collects the files of a directory's listing and keeps its subdirectories.
    void TakeListing(const TFrame& frame, const std::string& dir, const TDirListing& listing,
                     std::vector<std::string>& subdirs);
    void CollectFiles(const TFrame& frame, const std::string& dir, const TDirListing& listing);
    // Offers the subdirectories after the first (which the walk enters next) to the read-ahead.
    void Offer(TFrame& frame, const std::string& dir);
    // The level gives its descriptor back, after the read-ahead is done with it.
    void CloseLevel(TFrame& frame);
    // Opens the newest level again; false when its path no longer leads to it.
    bool Reopen(std::vector<TFrame>& stack, const std::string& path) const;
    static bool RoomForReadAhead();
    bool IsTrash(std::string_view name, dev_t dev, ino_t ino) const;
    bool IsExcluded(const std::string& path) const;
    bool Stopped() const { return FStopRequested.load(std::memory_order_relaxed); }

    std::vector<TWildcardMask> FMasks;
    std::vector<std::string> FExcludeDirs;
    const std::atomic<bool>& FStopRequested;
    TWalkSink& FSink;
    TVirtualFileSystems FVirtual;
    TDevInoSet FWalked;
    bool FHaveHomeTrash = false;
    TDevIno FHomeTrash{};
    TDirListing FListing; // reused for every directory the walk lists itself
    int FDirectoriesRead = 0;
    // Opens and lists upcoming subdirectories beside the walk when a second CPU may be used.
    std::unique_ptr<TDirReadAhead> FAhead;
};
