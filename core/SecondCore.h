#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>

// A second thread that runs tasks beside the thread that owns it, one at a time. A thread started
// for each task would cost its start every time: on a busy machine a new thread may wait a
// millisecond before it first runs, while a waiting one wakes within a tenth of that.
class TSecondCore {
  public:
    TSecondCore();
    // Not while a task runs.
    ~TSecondCore();
    TSecondCore(const TSecondCore&) = delete;
    TSecondCore& operator=(const TSecondCore&) = delete;

    // Runs `here` on this thread while `helper` runs on the second one. A failure of either (no
    // memory, say) is raised here once both have ended; a failure of `here` goes first.
    template <class THere, class THelper> void Run(THere&& here, THelper&& helper) {
        Start(&Call<std::remove_reference_t<THelper>>, &helper);
        try {
            here();
        } catch (...) {
            Wait();
            throw;
        }
        if (const std::exception_ptr failure = Wait())
            std::rethrow_exception(failure);
    }

  private:
    template <class TTask> static void Call(void* task) { (*static_cast<TTask*>(task))(); }
    void Start(void (*task)(void*), void* context);
    // Waits for the task to end; returns its failure.
    std::exception_ptr Wait();
    void Serve();

    std::mutex FMutex;
    std::condition_variable FChanged;
    void (*FTask)(void*) = nullptr; // set while a task is to run or runs
    void* FContext = nullptr;
    bool FDone = false;
    bool FEnded = false;
    std::exception_ptr FFailure;
    std::thread FThread; // last: it starts once everything above is ready
};
