#pragma once

#include "FileInfoList.h"
#include "LeftOutCopies.h"
#include "OptionRec.h"
#include "ResultRows.h"
#include "ScanResult.h"
#include "TextFileWriter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Result list files ("*.twl"): a saved result, read back later without scanning. Six header
// lines (indicator, the three list texts of the options, files read, scan time), then per group
// its name key, its count and five lines per copy (path, size, DOS time, the two halves of the
// last-write stamp). Lines end in CR LF.
inline constexpr const char* ResultListIndicator = "Twinseek saved result version 1.3";
inline constexpr const char* WrongIndicatorMessage = "File has not the right file indicator.";
inline constexpr const char* DamagedResultListMessage =
    "Unexpected file structure or size. Opening aborted.";
inline constexpr const char* UnsavableHeaderMessage =
    "The scan, exclude or mask text holds a line break or byte 26, or is longer than 1 MiB; the "
    "result list was not saved.";
// No line of a result list file is longer than this; a longer one makes the file damaged.
inline constexpr size_t MaxResultListLine = size_t(1) << 20;

enum class TLoadOutcome {
    Loaded,
    WrongIndicator, // nothing read beyond the first line
    Damaged,        // reading stopped; the result list is empty, totals read so far are taken
};

// The message the user sees for an outcome, or "" for Loaded.
std::string LoadOutcomeMessage(TLoadOutcome outcome);

// Writes the rows and returns the copies it left out: a copy whose path holds CR, LF or byte 26
// or is longer than a line may be, and every copy of a row whose name key does. A row keeps its
// other copies (its count is that of the copies written); a row left without copies is not
// written. Throws EFileError (UnsavableHeaderMessage), before writing anything, when the scan,
// exclude or mask text holds CR, LF or byte 26.
TLeftOutCopies WriteResultList(TTextFileWriter& out, const TOptionRec& options, int32_t filesRead,
                               double elapsedTime, const std::vector<TResultRow>& rows);
// The same into a file. Throws EFileError for the options, as above, before the file is
// created, and EInOutError when the file cannot be created or written.
TLeftOutCopies SaveResultList(const std::string& fileName, const TOptionRec& options,
                              int32_t filesRead, double elapsedTime,
                              const std::vector<TResultRow>& rows);

// Empties the result list, then reads the file into it (in the list's own order) and into the
// totals. Throws EInOutError when the file cannot be opened, and EInOutError(EACCES) when it is
// not a regular file (a pipe or a device would block or never end).
TLoadOutcome LoadResultList(const std::string& fileName, TFileInfoList& resultList,
                            int32_t& filesRead, double& elapsedTime);
// The same into a finished result, as a scan hands it over: the rows in list order, the files
// read and the scan time (totals the file does not reach keep the values they had).
TLoadOutcome LoadResultList(const std::string& fileName, TScanResult& result);
// The same over bytes in memory.
TLoadOutcome ReadResultList(std::string_view data, TFileInfoList& resultList, int32_t& filesRead,
                            double& elapsedTime);

// The scan time's form in the file: exactly 23 characters, " 1.38888888888889E-0004".
std::string FormatResultReal(double value);
