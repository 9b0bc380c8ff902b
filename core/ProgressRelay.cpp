#include "ProgressRelay.h"

#include <chrono>

namespace {
// How long the thread lets messages gather before it sends them: about half a frame of a
// display, so that progress shows at once, and long enough that the window, which each run of
// messages keeps busy for a moment after its last one, is seldom held.
constexpr auto GatherTime = std::chrono::milliseconds(8);
} // namespace

TProgressRelay::TProgressRelay(const std::atomic<bool>& stopRequested, TScanListener& listener)
    : FStopRequested(stopRequested), FListener(listener), FThread([this] { Run(); }) {}

TProgressRelay::~TProgressRelay() {
    End();
}

void TProgressRelay::End() {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FEnded = true;
    }
    FChanged.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TProgressRelay::Post(int32_t files, int32_t directories) {
    std::lock_guard<std::mutex> lock(FMutex);
    FPosted.push_back({WM_SCAN_PROGRESS, files, directories});
}

void TProgressRelay::Finish() {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FFinishing = true;
    }
    FChanged.notify_all();
    FThread.join();
    if (FFailure)
        std::rethrow_exception(FFailure);
}

void TProgressRelay::Run() {
    std::vector<TScanMessage> sending;
    const std::function<bool()> goOn = [this] {
        return !FStopRequested.load(std::memory_order_relaxed) && !FEnded;
    };
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(FMutex);
            FChanged.wait_for(lock, GatherTime, [this] { return FFinishing || FEnded; });
            if (FEnded || (FFinishing && FPosted.empty()))
                return;
            sending.swap(FPosted);
        }
        // What follows a failed message is dropped.
        try {
            if (!FFailure)
                SendInRuns(FListener, sending, goOn);
        } catch (...) {
            FFailure = std::current_exception();
        }
        sending.clear();
    }
}
