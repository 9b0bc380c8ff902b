#pragma once

#include "LocaleFormats.h"
#include "ResultRows.h"
#include "TextFileWriter.h"

#include <cstdint>
#include <string>
#include <vector>

// The plain text report of a result: three lines of totals, then for every row in the order
// given an empty line, the name key and one line per copy ("path, size, date time,").
void WriteTextReport(TTextFileWriter& out, int32_t filesRead, double elapsedTime,
                     const std::vector<TResultRow>& rows, const TLocaleFormats& formats);

// Creates the file anew and writes the report into it; throws EInOutError when it cannot.
void SaveTextReport(const std::string& fileName, int32_t filesRead, double elapsedTime,
                    const std::vector<TResultRow>& rows, const TLocaleFormats& formats);
