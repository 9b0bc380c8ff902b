#include "SecondCore.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

TEST(SecondCoreTest, RunsTheHelperOnAnotherThreadBesideThisOneTaskAfterTask) {
    TSecondCore core;
    for (int task = 0; task < 50; ++task) {
        // Each side waits for the other to begin: one thread could not run both.
        std::atomic<bool> hereBegun{false};
        std::atomic<bool> helperBegun{false};
        std::thread::id helperThread;
        core.Run(
            [&] {
                hereBegun = true;
                while (!helperBegun)
                    std::this_thread::yield();
            },
            [&] {
                helperBegun = true;
                helperThread = std::this_thread::get_id();
                while (!hereBegun)
                    std::this_thread::yield();
            });
        ASSERT_NE(helperThread, std::this_thread::get_id()) << task;
    }
}

TEST(SecondCoreTest, AFailureOnEitherSideIsRaisedOnceBothHaveEnded) {
    TSecondCore core;
    // The helper's failure, after this side has done its part.
    bool hereDone = false;
    EXPECT_THROW(core.Run([&] { hereDone = true; }, [] { throw std::bad_alloc(); }),
                 std::bad_alloc);
    EXPECT_TRUE(hereDone);

    // This side's failure goes first, and the helper has ended when it is raised.
    std::atomic<bool> helperEnded{false};
    EXPECT_THROW(core.Run([] { throw std::runtime_error("here"); },
                          [&] {
                              std::this_thread::sleep_for(std::chrono::milliseconds(20));
                              helperEnded = true;
                              throw std::bad_alloc();
                          }),
                 std::runtime_error);
    EXPECT_TRUE(helperEnded);

    // A failure is not raised again by the next task.
    int sum = 0;
    core.Run([&] { sum += 1; }, [&] {});
    EXPECT_EQ(sum, 1);
}

} // namespace
