#pragma once

#include "LocaleFormats.h"
#include "OptionRec.h"
#include "ResultRows.h"
#include "ScanThread.h"

#include <cstdio>
#include <string>
#include <vector>

// One scan of the command line, as the window would show its result: rows and totals, and what
// went wrong on the way.
struct TCliScanResult {
    std::vector<TResultRow> Rows;
    int32_t FilesRead = 0;
    double ElapsedTime = 0; // days
    // Why the scan ended without a result ("" when it did not fail).
    std::string Failure;
    // The scan directories that could not be opened; the others were scanned.
    std::vector<TScanThread::TRootFailure> RootFailures;
};

// Runs one scan to its end on a scan thread of its own. The progress line goes to `progress`
// (null: none).
TCliScanResult RunCliScan(const TOptionRec& options, FILE* progress, const TLocaleFormats& formats);
