#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Runs a check in a child process that has become user 65534 (tests run as root). The result
// is 0 when the check held, 1 when it did not, 2 when the child could not change its user.
inline int CheckAsNobody(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 1;
    return WEXITSTATUS(status);
}

// In a GoogleTest: skips the test unless running as root, then expects the check to hold for
// user 65534.
#define EXPECT_AS_NOBODY(check)                                                                    \
    do {                                                                                           \
        if (geteuid() != 0)                                                                        \
            GTEST_SKIP() << "needs root to run a part as another user";                            \
        const int result = CheckAsNobody([&] { return (check); });                                 \
        ASSERT_NE(result, 2) << "could not become user 65534";                                     \
        EXPECT_EQ(result, 0) << #check;                                                            \
    } while (false)
