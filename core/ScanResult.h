#pragma once

#include "ResultRow.h"

#include <cstdint>
#include <string>
#include <vector>

// A scan directory that could not be opened, with the errno value of the attempt.
struct TRootFailure {
    std::string Dir;
    int ErrorCode = 0;
};

// A finished scan as the front ends show it: the duplicated names (names with more than one
// copy) in result order, the files read, how long it took, and what went wrong on the way.
struct TScanResult {
    std::vector<TResultRow> Rows;
    int32_t FilesRead = 0;  // 0 after a stop during the walk or a failure
    double ElapsedTime = 0; // days
    // Why the scan ended without a result ("" when it did not fail).
    std::string Failure;
    // The scan directories that could not be opened, in list order; the others were scanned.
    std::vector<TRootFailure> RootFailures;
};
