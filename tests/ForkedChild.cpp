#include "ForkedChild.h"

#include <cerrno>
#include <exception>
#include <sys/wait.h>
#include <unistd.h>

TChildOutcome RunInForkedChild(const std::function<std::string()>& body) {
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return {};
    }
    if (child == 0) {
        close(channel[0]);
        std::string output;
        int status = 0;
        try {
            output = body();
        } catch (const std::exception& error) {
            output = std::string("exception: ") + error.what();
            status = 1;
        }
        for (size_t done = 0; done < output.size();) {
            const ssize_t written = write(channel[1], output.data() + done, output.size() - done);
            if (written <= 0)
                _exit(1);
            done += static_cast<size_t>(written);
        }
        _exit(status); // no atexit handlers and no test teardown of the parent's objects
    }
    close(channel[1]);
    TChildOutcome outcome;
    char buffer[4096];
    for (ssize_t count; (count = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (count > 0)
            outcome.Output.append(buffer, static_cast<size_t>(count));
        else if (errno != EINTR)
            break;
    }
    close(channel[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.Ended = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return outcome;
}
