#pragma once

#include "FileInfoList.h"
#include "NameKeyRule.h"
#include "OptionRec.h"
#include "ScanMessages.h"
#include "ScanResult.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class TPendingFiles;

// The background search. One thread serves every scan of its owner: it sleeps until StartScan,
// walks the scan directories, groups the files into the result list and reports to the listener
// (WM_SCAN_PROGRESS, WM_SCAN_CHECK, WM_SCAN_DONE), then sleeps again. Before WM_SCAN_DONE it
// finishes the result (the names found once are dropped, the rows taken, the time measured); the
// owner takes it with TakeResult while handling that message, or once the scan has ended.
//
// A scan that fails (out of memory, too many names) still ends with WM_SCAN_DONE, with 0 files
// and no rows; the result's Failure says why. The listener must not throw from WM_SCAN_DONE:
// nothing is left on the thread to take the error.
class TScanThread {
  public:
    // The steps at which a test may make a scan fail.
    enum class TScanStep { Walk, Grouping };
    // Called on the scan thread as each step begins when set; what it throws fails the scan.
    // Set it only while no scan runs.
    static inline void (*FaultHook)(TScanStep step) = nullptr;

    // The listener must outlive the thread object.
    explicit TScanThread(TScanListener& listener);
    // Stops a running scan, wakes the thread and waits for it; a message being delivered is
    // allowed to finish first.
    ~TScanThread();
    TScanThread(const TScanThread&) = delete;
    TScanThread& operator=(const TScanThread&) = delete;

    // Prepares a scan with a copy of the options and wakes the thread. Only while no scan runs.
    void StartScan(const TOptionRec& options);
    // Asks a running scan to end early; returns at once.
    void StopScan();

    // The masks of the prepared scan, after the empty-types rule ("*.*").
    const std::vector<std::string>& Masks() const { return FMasks; }

    // Hands over the finished result of the last scan; a second call gives an empty one. Call it
    // while handling WM_SCAN_DONE or once the scan has ended, never while a scan runs.
    TScanResult TakeResult() { return std::exchange(FResult, {}); }

  private:
    // Allocations of at least this many bytes are mapped on their own.
    static constexpr int LargeBlockSize = 512 << 10;

    void Execute();
    // The files read, or 0 after a stop during the walk. Scan directories that cannot be opened
    // are added to the result's root failures.
    int32_t RunScan();
    // The end of a scan: drops the names found once and moves the groups onto the result's rows.
    void FinishResult();
    void Send(uint32_t message, int32_t first, int32_t second);

    std::atomic<bool> FStopRequested{false};
    TFileInfoList FResultList;
    TNameKeyRule FNameKeys;
    std::vector<std::string> FMasks;
    std::vector<std::string> FSearchDirs;
    std::vector<std::string> FExcludeDirs;
    TScanListener& FListener;
    TOptionRec FOptions;
    std::chrono::steady_clock::time_point FStartTime;
    TScanResult FResult;

    std::mutex FMutex;
    std::condition_variable FWake;
    bool FStartRequested = false;
    bool FTerminated = false;
    std::thread FThread;
};
