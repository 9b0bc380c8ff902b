#pragma once

#include "FileInfoList.h"
#include "ScanMessages.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct TRecordedMessage {
    uint32_t Message;
    int32_t First;
    int32_t Second;
    bool operator==(const TRecordedMessage& other) const {
        return Message == other.Message && First == other.First && Second == other.Second;
    }
};

// Records the scan messages and, at WM_SCAN_DONE, the result list as "key: path, path" lines
// (the list is read there, while the scan thread waits, as a window would).
class TRecordingListener : public TScanListener {
  public:
    explicit TRecordingListener(TFileInfoList& resultList) : FResultList(resultList) {}

    // Runs on the scan thread for every message, before it is recorded.
    std::function<void(const TRecordedMessage&)> OnMessage;

    void ScanMessage(uint32_t message, int32_t first, int32_t second) override;

    // Waits (at most the timeout) until `count` WM_SCAN_DONE messages have arrived.
    bool WaitForDone(int count = 1, std::chrono::seconds timeout = std::chrono::seconds(30));

    std::vector<TRecordedMessage> Messages() const;
    std::vector<std::string> Result() const;
    int DoneCount() const;

  private:
    TFileInfoList& FResultList;
    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<TRecordedMessage> FMessages;
    std::vector<std::string> FResult;
    int FDone = 0;
};

// The result list as "key: path, path" lines, one per entry, in list order.
std::vector<std::string> DescribeResult(const TFileInfoList& resultList);
