// The hand-over of scan messages from the scan thread to the GUI thread, with QtCore alone, so
// that it runs under ThreadSanitizer as well: every message handled in order before the scan
// goes on, the result list read at the end, and Close during a scan.

#include "ScanBridge.h"
#include "RecordingListener.h"
#include "ScanThread.h"
#include "TestTree.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Runs the GUI thread's event loop until the condition holds or the time is up.
bool RunUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
    QTimer tick; // wakes the loop, so that the condition is looked at even without messages
    tick.start(5);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// A tree of many directories with one shared name, so that a scan sends many messages.
void FillDirectories(TTestTree& tree, int count) {
    for (int dir = 0; dir < count; ++dir)
        tree.File("d" + std::to_string(1000 + dir) + "/a.txt", 10);
}

TEST(ScanBridgeTest, HandsEachMessageOverBeforeTheSenderGoesOn) {
    constexpr int32_t Messages = 20000;
    TScanBridge bridge;
    // Plain variables on purpose: only the hand-over orders the two threads' accesses.
    int32_t sending = -1;
    int32_t handledLast = -1;
    int32_t handled = 0;
    int32_t outOfOrder = 0;
    QObject::connect(&bridge, &TScanBridge::Message, &bridge,
                     [&](uint32_t message, int32_t first, int32_t second) {
                         if (message != WM_SCAN_PROGRESS || first != sending || second != -first)
                             ++outOfOrder;
                         handledLast = first;
                         ++handled;
                     });
    std::atomic<bool> senderDone{false};
    int32_t notHandledOnReturn = 0;
    std::thread sender([&] {
        for (int32_t i = 0; i < Messages; ++i) {
            sending = i;
            bridge.ScanMessage(WM_SCAN_PROGRESS, i, -i);
            if (handledLast != i)
                ++notHandledOnReturn;
        }
        senderDone = true;
    });
    const bool ended = RunUntil([&] { return senderDone.load(); }, 120s);
    if (!ended)
        bridge.Close(); // lets the sender end, so that it can be joined
    sender.join();
    ASSERT_TRUE(ended) << handled << " of " << Messages << " messages handled";
    EXPECT_EQ(handled, Messages);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(notHandledOnReturn, 0);
}

TEST(ScanBridgeTest, HandsARunOverInOrderAndDropsWhatFollowsAStop) {
    TScanBridge bridge;
    std::vector<int32_t> handled; // the GUI thread's; read by the sender only after a hand-over
    std::atomic<bool> stop{false};
    QObject::connect(&bridge, &TScanBridge::Message, &bridge,
                     [&](uint32_t, int32_t first, int32_t) {
                         handled.push_back(first);
                         if (first == 30)
                             stop = true; // as a Stop clicked in the handler's window would
                     });
    const std::function<bool()> goOn = [&] { return !stop.load(); };
    std::vector<TScanMessage> run;
    for (int32_t i = 0; i < 100; ++i)
        run.push_back({WM_SCAN_PROGRESS, i, 0});
    std::atomic<bool> senderDone{false};
    size_t handledOnReturn = 0;
    std::thread sender([&] {
        bridge.ScanMessages(run.data(), 20, goOn);
        handledOnReturn = handled.size();
        bridge.ScanMessages(run.data() + 20, 80, goOn);
        senderDone = true;
    });
    const bool ended = RunUntil([&] { return senderDone.load(); }, 120s);
    if (!ended)
        bridge.Close();
    sender.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(handledOnReturn, 20u);
    ASSERT_EQ(handled.size(), 31u);
    for (int32_t i = 0; i <= 30; ++i)
        EXPECT_EQ(handled[i], i);
}

TEST(ScanBridgeTest, CarriesAScanToItsEnd) {
    constexpr int Dirs = 300;
    TTestTree tree;
    FillDirectories(tree, Dirs);
    TScanBridge bridge;
    TScanThread thread(bridge);
    int progress = 0, checks = 0, done = 0;
    std::vector<std::string> result;
    QObject::connect(&bridge, &TScanBridge::Message, &bridge,
                     [&](uint32_t message, int32_t first, int32_t) {
                         progress += message == WM_SCAN_PROGRESS;
                         checks += message == WM_SCAN_CHECK;
                         if (message == WM_SCAN_DONE) {
                             ++done;
                             // The scan thread waits in this message: its result is the GUI's now.
                             result = DescribeResult(thread.TakeResult().Rows);
                             EXPECT_EQ(first, Dirs);
                         }
                     });
    TOptionRec options;
    options.CompareMode = cmNameOnly;
    options.ScanPath = tree.Root();
    for (int scan = 1; scan <= 2; ++scan) {
        thread.StartScan(options);
        ASSERT_TRUE(RunUntil([&] { return done == scan; }, 120s)) << "scan " << scan;
        EXPECT_EQ(progress, scan * Dirs);
        EXPECT_EQ(checks, scan * Dirs); // Dirs - 1 joins and the last check
        ASSERT_EQ(result.size(), 1u);
        EXPECT_EQ(result[0].rfind("a.txt: ", 0), 0u);
    }
    bridge.Close();
}

TEST(ScanBridgeTest, CloseDuringAScanLetsTheThreadEnd) {
    TTestTree tree;
    FillDirectories(tree, 2000);
    // Shared with the thread that destroys the scan thread, which is left behind if it hangs.
    struct TShared {
        TScanBridge Bridge;
        std::unique_ptr<TScanThread> Thread;
        int Handled = 0;
        bool Done = false;
    };
    auto shared = std::make_shared<TShared>();
    shared->Thread = std::make_unique<TScanThread>(shared->Bridge);
    QObject::connect(&shared->Bridge, &TScanBridge::Message, &shared->Bridge,
                     [raw = shared.get()](uint32_t message, int32_t, int32_t) {
                         ++raw->Handled;
                         raw->Done = raw->Done || message == WM_SCAN_DONE;
                     });
    TOptionRec options;
    options.ScanPath = tree.Root();
    shared->Thread->StartScan(options);
    ASSERT_TRUE(RunUntil([&] { return shared->Handled >= 50; }, 120s));

    // As the window closes: the bridge first (a message the thread waits in is completed),
    // then the thread is stopped and joined.
    shared->Bridge.Close();
    const int atClose = shared->Handled;
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> destroyed = finished->get_future();
    std::thread destroyer([shared, finished] {
        shared->Thread.reset();
        finished->set_value();
    });
    if (destroyed.wait_for(30s) != std::future_status::ready) {
        destroyer.detach();
        FAIL() << "the scan thread did not end";
    }
    destroyer.join();
    // Events the thread posted before it ended run no handler.
    QCoreApplication::processEvents();
    EXPECT_EQ(shared->Handled, atClose);
    EXPECT_FALSE(shared->Done);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
