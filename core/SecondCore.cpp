#include "SecondCore.h"

#include <utility>

TSecondCore::TSecondCore() : FThread([this] { Serve(); }) {}

TSecondCore::~TSecondCore() {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FEnded = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TSecondCore::Start(void (*task)(void*), void* context) {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FTask = task;
        FContext = context;
        FDone = false;
        FFailure = nullptr;
    }
    FChanged.notify_all();
}

std::exception_ptr TSecondCore::Wait() {
    std::unique_lock<std::mutex> lock(FMutex);
    FChanged.wait(lock, [this] { return FDone; });
    FTask = nullptr;
    return std::exchange(FFailure, nullptr);
}

void TSecondCore::Serve() {
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return (FTask != nullptr && !FDone) || FEnded; });
        if (FEnded)
            return;
        void (*task)(void*) = FTask;
        void* context = FContext;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task(context);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        FFailure = failure;
        FDone = true;
        FChanged.notify_all();
    }
}
