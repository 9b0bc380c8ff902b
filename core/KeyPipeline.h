#pragma once

#include "DirWalker.h"
#include "NameKeyRule.h"
#include "PendingFiles.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Collects the walk's files with a second thread: the walk's thread hands the names over in
// batches and goes on reading directories, while the second thread builds their name keys and
// stores files and keys in the pending list, in the walk's order. The walk's side numbers the
// directories and counts the files itself, so the progress messages and the pending list are
// exactly what collecting on one thread gives.
class TKeyPipeline : public TWalkSink {
  public:
    TKeyPipeline(const TNameKeyRule& nameKeys, TPendingFiles& pending,
                 std::function<void(int32_t, int32_t)> progress);
    // Ends the second thread; what it had not stored yet is dropped.
    ~TKeyPipeline() override;
    TKeyPipeline(const TKeyPipeline&) = delete;
    TKeyPipeline& operator=(const TKeyPipeline&) = delete;

    uint32_t BeginDirectory(const std::string& dir, uint64_t device, uint64_t inode) override;
    void CollectFile(uint32_t dirIndex, std::string_view name) override;
    void EnteringSubdirectory(int directoriesRead) override;

    // The walk is over: returns once every file handed over is in the pending list, or raises
    // what made the second thread fail (no memory, say).
    void Finish();

    // Called on the second thread before it stores a batch; tests make it fail there.
    static inline void (*StoreHook)() = nullptr;

  private:
    // A file, or with Dir == NewDirectory the path of a directory whose files follow.
    struct TItem {
        uint32_t Dir;
        uint32_t Offset;
        uint32_t Length;
    };
    struct TDirId {
        uint64_t Device;
        uint64_t Inode;
    };
    struct TBatch {
        std::string Texts;
        std::vector<TItem> Items;
        std::vector<TDirId> DirIds; // one per NewDirectory item, in order
        void Clear() {
            Texts.clear();
            Items.clear();
            DirIds.clear();
        }
    };
    static constexpr uint32_t NewDirectory = UINT32_MAX;
    // A batch item's key among the keys of the batch being stored, with its hash.
    struct TKeyRef {
        uint32_t Offset;
        uint32_t Length;
        uint32_t Hash;
    };

    void Append(uint32_t dir, std::string_view text);
    void HandOver();
    void Store(const TBatch& batch);
    void Run();
    void End();

    const TNameKeyRule& FNameKeys;
    TPendingFiles& FPending;
    std::function<void(int32_t, int32_t)> FProgress;
    uint32_t FDirectories = 0; // numbered as the pending list numbers them
    uint32_t FFiles = 0;
    std::unique_ptr<TBatch> FFilling;
    std::string FKeys;             // the keys of the batch being stored, on the second thread
    std::vector<TKeyRef> FKeyRefs; // one per item of that batch

    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::unique_ptr<TBatch>> FQueue;   // handed over, not stored yet
    std::vector<std::unique_ptr<TBatch>> FUnused; // stored, to be filled again
    bool FEnded = false;
    bool FBusy = false; // the second thread is storing a batch
    std::exception_ptr FFailure;
    std::thread FThread; // last: it starts once everything above is ready
};
