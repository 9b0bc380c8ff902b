#include "ScanWorkers.h"

#include "ForkedChild.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <string>

namespace {

TEST(ScanWorkersTest, QuotaTextsGiveWholeCpus) {
    const struct {
        const char* Text;
        int Cpus;
    } cases[] = {
        {"max 100000", 0},
        {"200000 100000", 2},
        {"150000 100000", 2},
        {"50000 100000", 1},
        {"100000 100000", 1},
        {"1 100000", 1},
        {"", 0},
        {"max", 0},
        {"x 100000", 0},
        {"100000 0", 0},
        {"100000", 0},
        {"-1 100000", 0},
        {"10a000 100000", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CpusOfQuota(c.Text), c.Cpus) << "[" << c.Text << "]";
}

// A process bound to one CPU scans with one worker, whatever the machine has.
TEST(ScanWorkersTest, WorkersFollowTheAffinityUnlessFixed) {
    const TChildOutcome outcome = RunInForkedChild([]() -> std::string {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0)
            return "could not bind to one CPU";
        std::string seen = std::to_string(AvailableCpus()) + " " + std::to_string(ScanWorkers());
        SetScanWorkers(3);
        seen += " " + std::to_string(ScanWorkers());
        SetScanWorkers(0);
        return seen + " " + std::to_string(ScanWorkers());
    });
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.Output, "1 1 3 1");
    EXPECT_GE(AvailableCpus(), 1);
}

} // namespace
