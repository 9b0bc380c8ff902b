#pragma once

#include "ForkedChild.h"

#include <string>
#include <unistd.h>

// In a GoogleTest: expects a check to hold when it runs as user 65534, in a forked child that
// drops to that user (tests run as root). Skips the test when not running as root.
#define EXPECT_AS_NOBODY(check)                                                                    \
    do {                                                                                           \
        if (geteuid() != 0)                                                                        \
            GTEST_SKIP() << "needs root to run a part as another user";                            \
        const TChildOutcome outcome = RunInForkedChild([&]() -> std::string {                      \
            if (setgid(65534) != 0 || setuid(65534) != 0)                                          \
                return "could not become user 65534";                                              \
            return (check) ? "held" : "did not hold";                                              \
        });                                                                                        \
        EXPECT_TRUE(outcome.Ended);                                                                \
        EXPECT_EQ(outcome.Output, "held") << #check;                                               \
    } while (false)
