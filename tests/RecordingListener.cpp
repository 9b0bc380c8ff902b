#include "RecordingListener.h"

void TRecordingListener::ScanMessage(uint32_t message, int32_t first, int32_t second) {
    const TRecordedMessage recorded{message, first, second};
    if (OnMessage)
        OnMessage(recorded);
    std::vector<std::string> result;
    if (message == WM_SCAN_DONE)
        result = DescribeResult(FResultList);
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FMessages.push_back(recorded);
        if (message == WM_SCAN_DONE) {
            FResult = std::move(result);
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

std::vector<std::string> DescribeResult(const TFileInfoList& resultList) {
    std::vector<std::string> lines;
    for (int i = 0; i < resultList.Count(); ++i) {
        std::string line = resultList.Key(i) + ":";
        const TFileGroup& group = resultList.Groups(i);
        for (int f = 0; f < group.Count(); ++f)
            line += (f == 0 ? " " : ", ") + group.Path(f);
        lines.push_back(line);
    }
    return lines;
}
