#pragma once

#include "FileInfoList.h"
#include "LocaleFormats.h"
#include "ResultRows.h"
#include "ScanMessages.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

// The command line's side of a scan: shows the progress on a terminal and, at WM_SCAN_DONE,
// takes the result over just as the window does (single-file groups dropped, rows in result
// order, the totals), then lets the main thread go on.
class TCliListener : public TScanListener {
  public:
    TCliListener(TFileInfoList& resultList, FILE* progress, TLocaleFormats formats);

    void Start();
    void ScanMessage(uint32_t message, int32_t first, int32_t second) override;
    // Blocks until the scan has ended and its result was taken over.
    void WaitDone();

    std::vector<TResultRow>& Rows() { return FRows; }
    int32_t FilesRead() const { return FFilesRead; }
    double ElapsedTime() const { return FElapsedTime; }

  private:
    double DaysSinceStart() const;
    void ShowProgress(const std::string& text, bool force);

    TFileInfoList& FResultList;
    FILE* FProgress; // null: no progress display
    TLocaleFormats FFormats;
    std::chrono::steady_clock::time_point FStartTime;
    std::chrono::steady_clock::time_point FLastShown;
    std::string FFilesPart;

    std::vector<TResultRow> FRows;
    int32_t FFilesRead = 0;
    double FElapsedTime = 0;

    std::mutex FMutex;
    std::condition_variable FDoneSignal;
    bool FDone = false;
};
