#pragma once

#include <thread>

// One step of a thread that spins while it waits for another: a hint to the processor where it
// has one, else a yield.
inline void SpinStep() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}
