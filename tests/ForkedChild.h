#pragma once

#include <cerrno>
#include <cstdio>
#include <functional>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Checks that need another user, a private mount or a process of their own run in a forked
// child. The child's body returns ChildPassed, ChildSkipped or another number that names the
// check that failed; an alarm ends a child that hangs.
inline constexpr int ChildPassed = 0;
inline constexpr int ChildSkipped = 77;

// The child's exit status, or minus the signal that ended it (SIGALRM: it hung).
inline int RunInChild(const std::function<int()>& body, unsigned seconds = 60) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return -1000;
    if (pid == 0) {
        alarm(seconds);
        int status = 99;
        try {
            status = body();
        } catch (...) {
        }
        std::fflush(nullptr);
        _exit(status);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Becomes user and group 65534 for good; false where that is not allowed (not root).
inline bool DropToNobody() {
    return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
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
inline constexpr bool MemoryIsMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
inline constexpr bool MemoryIsMeasurable = false;
#else
inline constexpr bool MemoryIsMeasurable = true;
#endif
#else
inline constexpr bool MemoryIsMeasurable = true;
#endif

// The bound every reader keeps: 32 times the size of its input plus 64 MiB.
inline long long MemoryBound(long long inputSize) {
    return 32 * inputSize + (64ll << 20);
}
