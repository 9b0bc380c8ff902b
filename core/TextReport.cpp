#include "TextReport.h"

#include "BothCores.h"
#include "FileTimes.h"
#include "ScanWorkers.h"

namespace {

// Below this many copies one thread writes the whole report.
constexpr size_t ParallelCopies = 20000;

// The lines of rows [begin, end): an empty line, the name, a line per copy.
template <typename TLineSink>
void RowLines(const std::vector<TResultRow>& rows, size_t begin, size_t end,
              const TLocaleFormats& formats, std::string (*nameText)(std::string_view),
              TLineSink&& writeLine) {
    std::string line;
    for (size_t r = begin; r < end; ++r) {
        const TResultRow& row = rows[r];
        writeLine("");
        writeLine(nameText(row.Caption));
        for (int i = 0; i < row.Count(); ++i) {
            const TFileInfoRec& info = row.Group->Info(i);
            line = nameText(info.FullPath());
            line += ", ";
            line += std::to_string(info.Size);
            line += ", ";
            line += DateTimeText(info.LastWriteTime, formats);
            line += ',';
            writeLine(line);
        }
    }
}

} // namespace

void WriteTextReport(TTextFileWriter& out, int32_t filesRead, double elapsedTime,
                     const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                     std::string (*nameText)(std::string_view)) {
    out.WriteLine("Scanned files:    " + std::to_string(filesRead));
    out.WriteLine("Duplicated files: " + std::to_string(rows.size()));
    out.WriteLine("Scan time:        " + TimeText(elapsedTime, formats));
    auto toFile = [&out](std::string_view line) { out.WriteLine(line); };
    size_t copies = 0;
    for (const TResultRow& row : rows)
        copies += static_cast<size_t>(row.Count());
    if (copies < ParallelCopies || ScanWorkers() < 2) {
        RowLines(rows, 0, rows.size(), formats, nameText, toFile);
        return;
    }
    // Formatting the dates costs most: a second core formats the rows of the second half of
    // the copies into memory while this one writes the first half, then that text follows.
    size_t middle = 0;
    for (size_t half = 0; middle < rows.size() && half < copies / 2; ++middle)
        half += static_cast<size_t>(rows[middle].Count());
    std::string secondHalf;
    RunOnBothCores([&] { RowLines(rows, 0, middle, formats, nameText, toFile); },
                   [&] {
                       RowLines(rows, middle, rows.size(), formats, nameText,
                                [&secondHalf](std::string_view line) {
                                    secondHalf += line;
                                    secondHalf += "\r\n";
                                });
                   });
    out.Write(secondHalf);
}

void SaveTextReport(const std::string& fileName, int32_t filesRead, double elapsedTime,
                    const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                    std::string (*nameText)(std::string_view)) {
    TTextFileWriter out(fileName);
    WriteTextReport(out, filesRead, elapsedTime, rows, formats, nameText);
    out.Close();
}
