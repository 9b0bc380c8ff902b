#pragma once

#include "ForkedChild.h"

#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

// What a check run in a child gives back when it held, and when the child cannot do what the
// check needs (another user, a mount): the test is skipped then.
inline const std::string ChildHeld = "held";
inline const std::string ChildSkipped = "skipped";

// Runs the check in a forked child that an alarm ends after the seconds: a check that would
// wait for ever fails instead.
inline TChildOutcome RunBoundedChild(const std::function<std::string()>& check,
                                     unsigned seconds = 60) {
    return RunInForkedChild([&] {
        alarm(seconds);
        return check();
    });
}

// Becomes user and group 65534 for good; false where that is not allowed (not root).
inline bool DropToNobody() {
    return setgid(65534) == 0 && setuid(65534) == 0;
}

// Mounts a tmpfs with the options on dir, seen by this process alone.
inline bool MountPrivateTmpfs(const std::string& dir, const std::string& options) {
    return unshare(CLONE_NEWNS) == 0 &&
           mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

// The most memory the process has held so far, in bytes.
inline long long PeakMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

// Sanitizers keep their own shadow memory and quarantine, so peak memory means nothing there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TWINSEEK_SANITIZED_TEST 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TWINSEEK_SANITIZED_TEST 1
#endif
#endif
#ifdef TWINSEEK_SANITIZED_TEST
inline constexpr bool MemoryIsMeasurable = false;
#else
inline constexpr bool MemoryIsMeasurable = true;
#endif

// The bound every reader keeps: 32 times the size of its input plus 64 MiB.
inline long long MemoryBound(long long inputSize) {
    return 32 * inputSize + (64ll << 20);
}
