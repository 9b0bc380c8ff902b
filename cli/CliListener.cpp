#include "CliListener.h"

#include <string>

namespace {
// A terminal line is redrawn at most this often; every message still reaches the listener.
constexpr auto RedrawInterval = std::chrono::milliseconds(100);
} // namespace

TCliListener::TCliListener(FILE* progress, TLocaleFormats formats)
    : FProgress(progress), FScanProgress(std::move(formats)) {}

void TCliListener::Start() {
    FScanProgress.Start();
    FLastShown = std::chrono::steady_clock::now() - RedrawInterval;
}

bool TCliListener::RedrawDue(bool force) {
    if (FProgress == nullptr)
        return false;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - FLastShown < RedrawInterval)
        return false;
    FLastShown = now;
    return true;
}

void TCliListener::ShowProgress(const std::string& text) {
    std::fprintf(FProgress, "\r%s\x1b[K", text.c_str());
    std::fflush(FProgress);
}

void TCliListener::ScanMessage(uint32_t message, int32_t first, int32_t second) {
    // A line shows what one message says, so only the messages that are shown are made into
    // texts: a scan sends one for every directory and every file that joins a group.
    const TScanProgress& texts = FScanProgress;
    switch (message) {
    case WM_SCAN_PROGRESS:
        if (!RedrawDue(false))
            break;
        FScanProgress.Take(message, first, second);
        ShowProgress(texts.TimeText() + "  " + texts.FilesText() + "  " + texts.DirectoriesText());
        break;
    case WM_SCAN_CHECK:
        if (!RedrawDue(first == 0))
            break;
        FScanProgress.Take(message, first, second);
        ShowProgress(texts.TimeText() + "  " + texts.FilesText());
        break;
    case WM_SCAN_DONE: {
        if (FProgress != nullptr) {
            std::fputs("\r\x1b[K", FProgress);
            std::fflush(FProgress);
        }
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
