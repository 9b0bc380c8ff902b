#pragma once

#include "FileInfoList.h"
#include "OptionRec.h"
#include "ScanMessages.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TPendingFiles;

// The background search. One thread serves every scan of its owner: it sleeps until StartScan,
// walks the scan directories, groups the files into the result list and reports to the listener
// (WM_SCAN_PROGRESS, WM_SCAN_CHECK, WM_SCAN_DONE), then sleeps again. The owner reads the result
// list only while handling WM_SCAN_DONE; the thread does not touch it after that message.
//
// A scan that fails (out of memory, too many names) still ends with WM_SCAN_DONE, with 0 files
// and an empty result list; Failure() then says why. The listener must not throw from
// WM_SCAN_DONE: nothing is left on the thread to take the error.
class TScanThread {
  public:
    // A scan directory that could not be opened, with the errno value of the attempt.
    struct TRootFailure {
        std::string Dir;
        int ErrorCode;
    };
    // The steps at which a test may make a scan fail.
    enum class TScanStep { Walk, Grouping };
    // Called on the scan thread as each step begins when set; what it throws fails the scan.
    // Set it only while no scan runs.
    static inline void (*FaultHook)(TScanStep step) = nullptr;

    // The listener and the result list must outlive the thread object.
    TScanThread(TScanListener& listener, TFileInfoList& resultList);
    // Stops a running scan, wakes the thread and waits for it; a message being delivered is
    // allowed to finish first.
    ~TScanThread();
    TScanThread(const TScanThread&) = delete;
    TScanThread& operator=(const TScanThread&) = delete;

    // Prepares a scan with a copy of the options and wakes the thread. Only while no scan runs.
    void StartScan(const TOptionRec& options);
    // Asks a running scan to end early; returns at once.
    void StopScan();

    // Removes every occurrence of each ignore entry from a name key, entry by entry, in one
    // left-to-right pass per entry (the text that results is not searched again).
    std::string StripIgnoreChars(std::string key) const;
    // The name key under which a file of that name is collected.
    std::string NameKey(std::string_view name) const;
    void NameKey(std::string_view name, std::string& key) const;

    // The masks of the prepared scan, after the empty-types rule ("*.*").
    const std::vector<std::string>& Masks() const { return FMasks; }

    // What ended the last scan early, "" when nothing did; and the scan directories it could
    // not open, in list order. Both are set when WM_SCAN_DONE is sent and stay until the next
    // StartScan; read them while handling that message or once the scan has ended.
    const std::string& Failure() const { return FFailure; }
    const std::vector<TRootFailure>& RootFailures() const { return FRootFailures; }

  private:
    void Execute();
    // The files read, or 0 after a stop during the walk.
    int32_t RunScan();
    void Send(uint32_t message, int32_t first, int32_t second);

    bool FHasIgnoreChars = false;
    std::atomic<bool> FStopRequested{false};
    TFileInfoList& FResultList;
    std::vector<std::string> FMasks;
    std::vector<std::string> FSearchDirs;
    std::vector<std::string> FExcludeDirs;
    std::vector<std::string> FIgnoreList;
    TScanListener& FListener;
    TOptionRec FOptions;
    std::string FFailure;
    std::vector<TRootFailure> FRootFailures;

    std::mutex FMutex;
    std::condition_variable FWake;
    bool FStartRequested = false;
    bool FTerminated = false;
    std::thread FThread;
};
