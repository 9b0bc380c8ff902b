#pragma once

#include "ScanMessages.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// Sends a walk's progress messages from a thread of its own, in the order and with the values
// the walk posts them, so that the walk goes on reading while a listener handles one: a window's
// handler may first have to be woken on a processor that the walk's threads keep busy. The
// thread takes what was posted every few milliseconds and sends it to the listener as one run
// (ScanMessages). Once the scan is to stop, the messages not sent yet are dropped, as the walk
// sends none then.
class TProgressRelay {
  public:
    TProgressRelay(const std::atomic<bool>& stopRequested, TScanListener& listener);
    // Ends the thread; what it had not sent yet is dropped.
    ~TProgressRelay();
    TProgressRelay(const TProgressRelay&) = delete;
    TProgressRelay& operator=(const TProgressRelay&) = delete;

    // The walk's thread.
    void Post(int32_t files, int32_t directories);
    // The walk is over: returns once every message posted has been sent, or raises what sending
    // one raised (the rest are dropped then).
    void Finish();

  private:
    void Run();
    void End();

    const std::atomic<bool>& FStopRequested;
    TScanListener& FListener;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<TScanMessage> FPosted; // not taken by the thread yet
    bool FFinishing = false;
    std::atomic<bool> FEnded{false}; // also ends a run of messages being sent
    std::exception_ptr FFailure;     // the relay's thread; Finish reads it once that has ended
    std::thread FThread;             // last: it starts once everything above is ready
};
