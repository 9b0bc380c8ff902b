#pragma once

#include "LocaleFormats.h"

#include <chrono>
#include <cstdint>
#include <string>

// The texts a front end shows while a scan runs, made from the scan's messages: the time since
// the start ("Time: 00:00:03"), the files read or still to check ("Files read: 120", "Files to
// check: 7") and the directories read ("Directories read: 9").
class TScanProgress {
  public:
    explicit TScanProgress(TLocaleFormats formats);

    // The scan starts now: the time counts from here.
    void Start();
    // Days since Start().
    double DaysSinceStart() const;
    // Takes WM_SCAN_PROGRESS and WM_SCAN_CHECK into the texts; other messages change nothing.
    void Take(uint32_t message, int32_t first, int32_t second);

    const std::string& TimeText() const { return FTimeText; }
    const std::string& FilesText() const { return FFilesText; }
    // "" until the first WM_SCAN_PROGRESS.
    const std::string& DirectoriesText() const { return FDirectoriesText; }

  private:
    TLocaleFormats FFormats;
    std::chrono::steady_clock::time_point FStartTime;
    std::string FTimeText;
    std::string FFilesText;
    std::string FDirectoriesText;
};

// Days since a moment of the steady clock, as scan times are counted.
double DaysSince(std::chrono::steady_clock::time_point start);
