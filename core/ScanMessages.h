#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// The scan thread's messages, numbered as private window messages from WM_USER on.
inline constexpr uint32_t WM_USER = 0x400;
// The walk is about to enter another subdirectory: files read so far, directories read so far.
inline constexpr uint32_t WM_SCAN_PROGRESS = WM_USER + 1;
// The grouping put a file into an existing group, or has finished: files still to check, 0.
inline constexpr uint32_t WM_SCAN_CHECK = WM_USER + 2;
// The scan has ended, stopped or not: files read (0 after a stop during the walk), 0.
inline constexpr uint32_t WM_SCAN_DONE = WM_USER + 3;

// One scan message with its two parameters.
struct TScanMessage {
    uint32_t Message;
    int32_t First;
    int32_t Second;
};

// The most messages a run holds, so that a window's thread that handles one is soon back to its
// other events.
inline constexpr size_t ScanRunLimit = 512;

// Receives the scan messages, one at a time and in order, on the scan thread; with a second CPU
// the walk's WM_SCAN_PROGRESS messages come from a thread beside it instead (the walk goes on
// meanwhile), all before the first WM_SCAN_CHECK. Delivery is synchronous: the sending thread
// goes on only when ScanMessage or ScanMessages has returned, so a listener that hands messages
// to another thread must wait there until they have been handled; a run and its goOn are valid
// only during the call. WM_SCAN_DONE is the moment to read the result list.
class TScanListener {
  public:
    virtual ~TScanListener() = default;
    virtual void ScanMessage(uint32_t message, int32_t first, int32_t second) = 0;
    // A run of at most ScanRunLimit messages that were all ready when it was sent (the walk's
    // progress, the joins of the grouping's second core): each is handled as ScanMessage would,
    // in order, and only while goOn() holds when its turn comes. A listener on another thread
    // can hand the whole run over at once.
    virtual void ScanMessages(const TScanMessage* messages, size_t count,
                              const std::function<bool()>& goOn);
};

inline void TScanListener::ScanMessages(const TScanMessage* messages, size_t count,
                                        const std::function<bool()>& goOn) {
    for (size_t i = 0; i < count && goOn(); ++i)
        ScanMessage(messages[i].Message, messages[i].First, messages[i].Second);
}

// Sends messages that are all ready as runs of at most ScanRunLimit, while goOn() holds.
inline void SendInRuns(TScanListener& listener, const std::vector<TScanMessage>& messages,
                       const std::function<bool()>& goOn) {
    for (size_t begin = 0; begin < messages.size() && goOn(); begin += ScanRunLimit)
        listener.ScanMessages(messages.data() + begin,
                              std::min(ScanRunLimit, messages.size() - begin), goOn);
}
