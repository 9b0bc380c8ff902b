#include "ProgressRelay.h"

#include <chrono>

namespace {
// How long the thread lets messages gather before it sends them: about half a frame of a
// display, so that progress shows at once, and long enough that the window, which each run of
// messages keeps busy for a moment after its last one, is seldom held.
constexpr auto GatherTime = std::chrono::milliseconds(8);
} // namespace

TProgressRelay::TProgressRelay(const std::atomic<bool>& stopRequested,
                               std::function<void(int32_t, int32_t)> send)
    : FStopRequested(stopRequested), FSend(std::move(send)), FThread([this] { Run(); }) {}

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
    FPosted.push_back({files, directories});
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
    std::vector<TMessage> sending;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(FMutex);
            FChanged.wait_for(lock, GatherTime, [this] { return FFinishing || FEnded; });
            if (FEnded || (FFinishing && FPosted.empty()))
                return;
            sending.swap(FPosted);
        }
        for (const TMessage& message : sending) {
            if (FStopRequested.load(std::memory_order_relaxed) || FEnded || FFailure)
                break;
            try {
                FSend(message.Files, message.Directories);
            } catch (...) {
                FFailure = std::current_exception();
            }
        }
        sending.clear();
    }
}
