#pragma once

#include "DisplayText.h"
#include "LocaleFormats.h"
#include "ResultRows.h"
#include "TextFileWriter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Appends a name key or a path to a text, written as the report or a terminal shows it.
using TNameAppender = void (*)(std::string& out, std::string_view bytes);

// The plain text report of a result: three lines of totals, then for every row in the order
// given an empty line, the name key and one line per copy ("path, size, date time,"). Every name
// key and path is written as appendName gives it; the default keeps each name on its line.
void WriteTextReport(TTextFileWriter& out, int32_t filesRead, double elapsedTime,
                     const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                     TNameAppender appendName = AppendReportText);

// Creates the file anew and writes the report into it; throws EInOutError when it cannot.
void SaveTextReport(const std::string& fileName, int32_t filesRead, double elapsedTime,
                    const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                    TNameAppender appendName = AppendReportText);
