#pragma once

#include "LocaleFormats.h"

#include <cstdint>
#include <ctime>
#include <string>

// Seconds from 1601-01-01 (the epoch of last-write stamps) to 1970-01-01.
inline constexpr int64_t UnixEpochIn1601Seconds = 11644473600;
// The steps of a last-write stamp in one second.
inline constexpr uint64_t TimeStepsPerSecond = 10000000;

// A modification time as a last-write stamp: UTC, 100-nanosecond steps since 1601-01-01.
// Times before 1601 give 0; times the 64 bits cannot hold give UINT64_MAX.
uint64_t LastWriteTimeFromUnix(int64_t seconds, int64_t nanoseconds);

// The packed DOS date-time of a moment in local time (the offset in force at that moment):
// bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours, 16-20 day, 21-24 month, 25-31 years since
// 1980. A moment outside 1980..2107 gives 0.
uint32_t DosDateTimeFromUnix(int64_t seconds);

// The date and time of a last-write stamp in local time: the short date, then a blank and the
// long time unless the time is exactly midnight; only the stamp's whole seconds count. A stamp
// without a calendar date gives "".
std::string DateTimeText(uint64_t lastWriteTime, const TLocaleFormats& formats);

// A duration in days shown as a time of day in the long time format; whole days are not shown.
std::string TimeText(double days, const TLocaleFormats& formats);

// Formats the fields of a broken-down time with a strftime format.
std::string FormatTm(const char* format, const std::tm& fields);
