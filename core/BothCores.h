#pragma once

#include <exception>
#include <thread>

// Runs `here` on this thread while `helper` runs on a second one. A failure of either (no
// memory, say) is raised here once both have ended: a thread left running, or an error leaving
// one, would end the program.
template <class THere, class THelper> void RunOnBothCores(THere&& here, THelper&& helper) {
    std::exception_ptr helperFailure;
    std::thread thread([&] {
        try {
            helper();
        } catch (...) {
            helperFailure = std::current_exception();
        }
    });
    try {
        here();
    } catch (...) {
        thread.join();
        throw;
    }
    thread.join();
    if (helperFailure)
        std::rethrow_exception(helperFailure);
}
