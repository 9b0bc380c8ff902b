#include "CliListener.h"

#include "FileTimes.h"

#include <string>

namespace {
// A terminal line is redrawn at most this often; every message still reaches the listener.
constexpr auto RedrawInterval = std::chrono::milliseconds(100);
} // namespace

TCliListener::TCliListener(TFileInfoList& resultList, FILE* progress, TLocaleFormats formats)
    : FResultList(resultList), FProgress(progress), FFormats(std::move(formats)) {}

void TCliListener::Start() {
    FStartTime = std::chrono::steady_clock::now();
    FLastShown = FStartTime - RedrawInterval;
}

double TCliListener::DaysSinceStart() const {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - FStartTime;
    return elapsed.count() / 86400.0;
}

void TCliListener::ShowProgress(const std::string& text, bool force) {
    if (FProgress == nullptr)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - FLastShown < RedrawInterval)
        return;
    FLastShown = now;
    std::fprintf(FProgress, "\r%s\x1b[K", text.c_str());
    std::fflush(FProgress);
}

void TCliListener::ScanMessage(uint32_t message, int32_t first, int32_t second) {
    const std::string time = "Time: " + TimeText(DaysSinceStart(), FFormats);
    switch (message) {
    case WM_SCAN_PROGRESS:
        FFilesPart = "Files read: " + std::to_string(first);
        ShowProgress(time + "  " + FFilesPart + "  Directories read: " + std::to_string(second),
                     false);
        break;
    case WM_SCAN_CHECK:
        ShowProgress(time + "  Files to check: " + std::to_string(first), first == 0);
        break;
    case WM_SCAN_DONE: {
        if (FProgress != nullptr) {
            std::fputs("\r\x1b[K", FProgress);
            std::fflush(FProgress);
        }
        // The scan thread waits in this call, so the result list is ours to read and empty.
        RemoveSingleFileGroups(FResultList);
        FFilesRead = first;
        FElapsedTime = DaysSinceStart();
        FRows = TakeRows(FResultList);
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FDone = true;
        }
        FDoneSignal.notify_one();
        break;
    }
    default:
        break;
    }
}

void TCliListener::WaitDone() {
    std::unique_lock<std::mutex> lock(FMutex);
    FDoneSignal.wait(lock, [this] { return FDone; });
}
