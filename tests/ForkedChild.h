#pragma once

#include <functional>
#include <string>

// What a test body run in a forked child gave back.
struct TChildOutcome {
    bool Ended = false; // the child exited with status 0 (not killed, no exception)
    std::string Output; // what the body returned
};

// Runs the body in a forked child, for what must not touch the test program itself (resource
// limits, mounts, another user): the body's text comes back through a pipe. Call only while the
// test program runs no other thread.
TChildOutcome RunInForkedChild(const std::function<std::string()>& body);
