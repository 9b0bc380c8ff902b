#include "ScanProgress.h"

#include "FileTimes.h"
#include "ScanMessages.h"

double DaysSince(std::chrono::steady_clock::time_point start) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / 86400.0;
}

TScanProgress::TScanProgress(TLocaleFormats formats)
    : FFormats(std::move(formats)), FStartTime(std::chrono::steady_clock::now()) {}

void TScanProgress::Start() {
    FStartTime = std::chrono::steady_clock::now();
    FTimeText.clear();
    FFilesText.clear();
    FDirectoriesText.clear();
}

double TScanProgress::DaysSinceStart() const {
    return DaysSince(FStartTime);
}

void TScanProgress::Take(uint32_t message, int32_t first, int32_t second) {
    switch (message) {
    case WM_SCAN_PROGRESS:
        FFilesText = "Files read: " + std::to_string(first);
        FDirectoriesText = "Directories read: " + std::to_string(second);
        break;
    case WM_SCAN_CHECK:
        FFilesText = "Files to check: " + std::to_string(first);
        break;
    default:
        return;
    }
    FTimeText = "Time: " + ::TimeText(DaysSinceStart(), FFormats);
}
