#include "RecordingListener.h"

void TRecordingListener::ScanMessage(uint32_t message, int32_t first, int32_t second) {
    const TRecordedMessage recorded{message, first, second};
    if (OnMessage)
        OnMessage(recorded);
    std::vector<std::string> result;
    TScanResult taken;
    if (message == WM_SCAN_DONE && Thread != nullptr) {
        taken = Thread->TakeResult();
        result = DescribeResult(taken.Rows);
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FMessages.push_back(recorded);
        if (message == WM_SCAN_DONE) {
            FResult = std::move(result);
            FLastResult = std::move(taken);
            ++FDone;
        }
    }
    FChanged.notify_all();
}

bool TRecordingListener::WaitForDone(int count, std::chrono::seconds timeout) {
    std::unique_lock<std::mutex> lock(FMutex);
    return FChanged.wait_for(lock, timeout, [&] { return FDone >= count; });
}

std::vector<TRecordedMessage> TRecordingListener::Messages() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FMessages;
}

std::vector<std::string> TRecordingListener::Result() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FResult;
}

int TRecordingListener::DoneCount() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FDone;
}

std::vector<std::string> DescribeResult(const std::vector<TResultRow>& rows) {
    std::vector<std::string> lines;
    for (const TResultRow& row : rows) {
        std::string line = row.Caption + ":";
        for (int f = 0; f < row.Count(); ++f)
            line += (f == 0 ? " " : ", ") + row.Group->Path(f);
        lines.push_back(line);
    }
    return lines;
}
