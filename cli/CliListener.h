#pragma once

#include "LocaleFormats.h"
#include "ScanMessages.h"
#include "ScanProgress.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

// The command line's side of a scan: shows the progress on a terminal and, at WM_SCAN_DONE,
// clears the progress line and lets the main thread go on to take the result.
class TCliListener : public TScanListener {
  public:
    TCliListener(FILE* progress, TLocaleFormats formats);

    // The scan starts now: the time shown counts from here.
    void Start();
    void ScanMessage(uint32_t message, int32_t first, int32_t second) override;
    // Blocks until the scan has sent WM_SCAN_DONE.
    void WaitDone();

  private:
    // Whether the progress line is shown now: there is one, and it was last drawn long enough
    // ago (or `force`); marks it drawn.
    bool RedrawDue(bool force);
    void ShowProgress(const std::string& text);

    FILE* FProgress; // null: no progress display
    TScanProgress FScanProgress;
    std::chrono::steady_clock::time_point FLastShown;

    std::mutex FMutex;
    std::condition_variable FDoneSignal;
    bool FDone = false;
};
