#pragma once

#include "FileInfoList.h"
#include "LargeBlocks.h"
#include "NameCollator.h"
#include "PendingFiles.h"
#include "ScanMessages.h"
#include "SecondCore.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

// Groups the collected files. The files are taken in key order (the list's collation; among
// equal keys the file found last first); a file whose key no other file shares is dropped, a
// file that compares equal under the compare mode to the first file of a group with the
// identical key joins that group, any other file starts a new group, placed before the groups
// with an equal key. The result is what inserting into sorted lists one by one would give, built
// with sorting and hashing instead, except that groups of a single file, which the finished
// result leaves out, are not built.
//
// Sizes and times are read only now, and only for files whose key is not unique; a file that
// vanished since the walk, or is no regular file any more, is left out. Before reading them,
// Build keeps only those files in the pending list, so that the names of the others do not stand
// beside the groups.
class TGroupBuilder {
  public:
    // The listener receives WM_SCAN_CHECK with the number of files left to check each time a
    // file joins a group.
    TGroupBuilder(TPendingFiles& pending, const TNameCollator& collator, int32_t compareMode,
                  const std::atomic<bool>& stopRequested, TScanListener& listener);

    // The groups in list order; when a stop ends the grouping early, the groups built so far.
    // A failure on either thread (no memory) is raised here, after both threads have ended.
    std::deque<TResultRow> Build();

    // Called at the start of each share of the status reading, on the thread that reads it
    // (share 0 on the scan thread); tests make it fail there.
    static inline void (*StatusesHook)(uint32_t firstItem) = nullptr;

  private:
    // What a file's status gave, for the files that share their key.
    struct TStatus {
        int64_t Size = 0;
        uint64_t LastWriteTime = 0;
        uint64_t Device = 0;
        uint64_t Inode = 0;
        uint32_t Time = 0;
        bool Present = false;
    };
    // A class of equal keys that holds more than one file: where its files begin among the
    // members, and the number of files of all classes before it.
    struct TSharedClass {
        uint32_t Begin;
        uint32_t Position;
    };

    // A distinct key in the sort, with the ranks of its first characters when it is ASCII and
    // the collation's table is in use.
    struct TSortEntry {
        TNameCollator::TAsciiPrefix Prefix;
        uint32_t Key = 0;
        bool Ascii = false;
        bool GoesOn = false; // the key compares equal to the one before it in key order
    };
    // Compares two ASCII keys by their ranks, looking at the texts only when the prefixes tie.
    int CompareAscii(const TNameCollator& collator, const TSortEntry& a, const TSortEntry& b) const;
    int CompareEntries(const TNameCollator& collator, const TSortEntry& a,
                       const TSortEntry& b) const;
    // Sorts the distinct keys and returns them with the positions where each run of keys that
    // the collation holds equal (a class) begins, ending with the number of keys.
    void SortKeys(TLargeVector<uint32_t>& keys, TLargeVector<uint32_t>& classStarts) const;
    // Finds the classes that hold more than one file, and their files (one class after another,
    // each found last first) in members.
    void FindSharedClasses(TLargeVector<TSharedClass>& shared,
                           TLargeVector<uint32_t>& members) const;
    void ReadStatuses(uint32_t begin, uint32_t end);
    const TStatus* StatusOf(uint32_t file) const {
        return FStatuses[file].Present ? &FStatuses[file] : nullptr;
    }
    // A file of the class being grouped that is still there: its index in the class, its key,
    // its status and the group it joined.
    struct TClassFile {
        uint32_t Index;
        uint32_t KeyId;
        const TStatus* Status;
        uint32_t Group;
    };
    // What grouping one class after another needs, kept from class to class: one per thread.
    struct TGrouping {
        std::deque<TResultRow> Rows;
        std::function<void(int32_t)> OnJoin;
        std::vector<TClassFile> ClassFiles;
        std::vector<uint32_t> ClassGroups;     // each group's first file, an index into ClassFiles
        std::vector<uint32_t> ClassGroupSizes; // the files of each group
    };

    // Groups the shared classes [begin, end); false when a stop cut it short.
    bool GroupClasses(const TLargeVector<TSharedClass>& shared,
                      const TLargeVector<uint32_t>& members, size_t begin, size_t end,
                      TGrouping& grouping) const;
    void GroupClass(const uint32_t* files, uint32_t count, uint32_t firstPosition,
                    TGrouping& grouping) const;
    bool Stopped() const { return FStopRequested.load(std::memory_order_relaxed); }
    // The second core for a step of this many items, or null when one core does it.
    TSecondCore* SecondCoreFor(size_t items) const {
        return items >= ParallelThreshold ? FSecondCore.get() : nullptr;
    }

    TPendingFiles& FPending;
    const TNameCollator& FCollator;
    int32_t FCompareMode;
    const std::atomic<bool>& FStopRequested;
    TScanListener& FListener;
    bool FTwoCores;      // whether the process may use a second CPU, asked once per grouping
    uint32_t FTotal = 0; // the files the walk collected

    TLargeVector<TStatus> FStatuses; // one per file the pending list kept
    // Below this many items one thread does a step; above it a second thread takes half, when
    // the process may use a second CPU.
    static constexpr size_t ParallelThreshold = 20000;
    std::unique_ptr<TSecondCore> FSecondCore; // kept for the grouping's steps on two cores
};
