#include "ProgressRelay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TSent = std::vector<std::pair<int32_t, int32_t>>;

// What a relay sent, guarded: the relay's thread writes, the test reads after Finish.
struct TRecorder {
    std::mutex Mutex;
    TSent Sent;
    void Add(int32_t files, int32_t directories) {
        std::lock_guard<std::mutex> lock(Mutex);
        Sent.emplace_back(files, directories);
    }
};

// A listener that handles each progress message with a function, the runs one at a time.
class TCallingListener : public TScanListener {
  public:
    explicit TCallingListener(std::function<void(int32_t, int32_t)> handle)
        : FHandle(std::move(handle)) {}
    void ScanMessage(uint32_t message, int32_t first, int32_t second) override {
        EXPECT_EQ(message, WM_SCAN_PROGRESS);
        FHandle(first, second);
    }

  private:
    std::function<void(int32_t, int32_t)> FHandle;
};

TEST(ProgressRelayTest, ThePosterGoesOnWhileAMessageIsHandledAndEveryMessageComesInOrder) {
    constexpr int Count = 1000;
    std::atomic<bool> stop{false};
    TRecorder recorder;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> releasedByWatchdog{false};
    {
        TCallingListener listener([&](int32_t files, int32_t directories) {
            if (files == 0)
                released.wait(); // a handler that takes its time
            recorder.Add(files, directories);
        });
        TProgressRelay relay(stop, listener);
        // Should posting wait for the handler, the watchdog lets the test end, failing.
        std::thread watchdog([&] {
            if (released.wait_for(10s) == std::future_status::timeout) {
                releasedByWatchdog = true;
                release.set_value();
            }
        });
        for (int i = 0; i < Count; ++i)
            relay.Post(i, i + 1);
        EXPECT_FALSE(releasedByWatchdog) << "posting waited for the first message's handler";
        if (!releasedByWatchdog)
            release.set_value();
        watchdog.join();
        relay.Finish();
    }
    ASSERT_EQ(recorder.Sent.size(), size_t{Count});
    for (int i = 0; i < Count; ++i)
        EXPECT_EQ(recorder.Sent[i], std::make_pair(i, i + 1)) << i;
}

TEST(ProgressRelayTest, WhatGathersWhileARunIsHandledGoesAsOneRunThatAStopCutsShort) {
    // A listener that takes runs whole; its first run waits until every message is posted, and
    // the message 500 stops the scan.
    class TRunListener : public TScanListener {
      public:
        explicit TRunListener(std::atomic<bool>& stop) : FStop(stop) {}
        std::shared_future<void> Released;
        std::vector<size_t> Runs;
        TSent Sent;
        void ScanMessage(uint32_t, int32_t, int32_t) override { ADD_FAILURE() << "not a run"; }
        void ScanMessages(const TScanMessage* messages, size_t count,
                          const std::function<bool()>& goOn) override {
            if (Runs.empty())
                Released.wait();
            Runs.push_back(count);
            for (size_t i = 0; i < count && goOn(); ++i) {
                EXPECT_EQ(messages[i].Message, WM_SCAN_PROGRESS);
                Sent.emplace_back(messages[i].First, messages[i].Second);
                if (messages[i].First == 500)
                    FStop = true;
            }
        }

      private:
        std::atomic<bool>& FStop;
    };
    std::atomic<bool> stop{false};
    std::promise<void> release;
    TRunListener listener(stop);
    listener.Released = release.get_future().share();
    {
        TProgressRelay relay(stop, listener);
        for (int i = 0; i < 1000; ++i)
            relay.Post(i, i + 1);
        release.set_value();
        relay.Finish();
    }
    // Two gatherings at most (the first may have caught some of the messages), each sent in
    // runs of at most ScanRunLimit.
    EXPECT_LE(listener.Runs.size(), 3u);
    for (const size_t run : listener.Runs)
        EXPECT_LE(run, ScanRunLimit);
    ASSERT_EQ(listener.Sent.size(), 501u);
    for (int i = 0; i <= 500; ++i)
        EXPECT_EQ(listener.Sent[i], std::make_pair(i, i + 1)) << i;
}

TEST(ProgressRelayTest, NothingIsSentOnceTheScanIsToStopNorAfterAFailedMessage) {
    // A handler that stops the scan: the messages posted after it are dropped.
    std::atomic<bool> stop{false};
    TRecorder stopped;
    {
        TCallingListener listener([&](int32_t files, int32_t directories) {
            stopped.Add(files, directories);
            stop = true;
        });
        TProgressRelay relay(stop, listener);
        for (int i = 0; i < 100; ++i)
            relay.Post(i, 0);
        relay.Finish();
    }
    EXPECT_EQ(stopped.Sent, (TSent{{0, 0}}));

    // A handler that fails: Finish raises its error, and what follows it is dropped.
    std::atomic<bool> goOn{false};
    TRecorder failed;
    TCallingListener failing([&](int32_t files, int32_t directories) {
        if (files == 3)
            throw std::runtime_error("no room");
        failed.Add(files, directories);
    });
    TProgressRelay relay(goOn, failing);
    for (int i = 0; i < 100; ++i)
        relay.Post(i, 0);
    EXPECT_THROW(relay.Finish(), std::runtime_error);
    EXPECT_EQ(failed.Sent, (TSent{{0, 0}, {1, 0}, {2, 0}}));
}

TEST(ProgressRelayTest, EndsWithoutFinishWhileAMessageIsHandled) {
    // A scan that fails in the walk ends the relay without Finish; the message being handled
    // completes, the rest are dropped.
    std::atomic<bool> stop{false};
    std::promise<void> entered;
    std::atomic<int> sent{0};
    {
        TCallingListener listener([&](int32_t files, int32_t) {
            if (files == 0) {
                entered.set_value();
                std::this_thread::sleep_for(50ms);
            }
            ++sent;
        });
        TProgressRelay relay(stop, listener);
        for (int i = 0; i < 100; ++i)
            relay.Post(i, 0);
        ASSERT_EQ(entered.get_future().wait_for(10s), std::future_status::ready);
    }
    EXPECT_EQ(sent.load(), 1);
}

} // namespace
