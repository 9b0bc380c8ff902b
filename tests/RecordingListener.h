#pragma once

#include "ScanMessages.h"
#include "ScanResult.h"
#include "ScanThread.h"

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

// Records the scan messages and, at WM_SCAN_DONE, takes the scan's result (there, while the scan
// thread waits, as a window would) and describes it as "key: path, path" lines.
class TRecordingListener : public TScanListener {
  public:
    // The thread whose result is taken; set before its first scan.
    TScanThread* Thread = nullptr;

    // Runs on the scan thread for every message, before it is recorded.
    std::function<void(const TRecordedMessage&)> OnMessage;

    void ScanMessage(uint32_t message, int32_t first, int32_t second) override;

    // Waits (at most the timeout) until `count` WM_SCAN_DONE messages have arrived.
    bool WaitForDone(int count = 1, std::chrono::seconds timeout = std::chrono::seconds(30));

    std::vector<TRecordedMessage> Messages() const;
    std::vector<std::string> Result() const;
    // The result of the last scan; read it once WaitForDone has seen its WM_SCAN_DONE.
    const TScanResult& LastResult() const { return FLastResult; }
    TScanResult& LastResult() { return FLastResult; }
    int DoneCount() const;

  private:
    TScanResult FLastResult;
    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<TRecordedMessage> FMessages;
    std::vector<std::string> FResult;
    int FDone = 0;
};

// Rows as "key: path, path" lines, one per row, in row order.
std::vector<std::string> DescribeResult(const std::vector<TResultRow>& rows);
