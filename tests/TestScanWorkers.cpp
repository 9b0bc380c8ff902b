#include "TestScanWorkers.h"

#include "ScanWorkers.h"

#include <cstdlib>

int TestScanWorkers() {
    const char* text = std::getenv("TWINSEEK_TEST_SCAN_WORKERS");
    return text != nullptr ? std::atoi(text) : 0;
}

namespace {
const bool Fixed = [] {
    SetScanWorkers(TestScanWorkers());
    return true;
}();
} // namespace
