#include "TextReport.h"

#include "BothCores.h"
#include "FileTimes.h"
#include "ScanWorkers.h"

namespace {

// Below this many copies one thread writes the whole report; above it the rows go in rounds of
// two blocks of about this many copies each, one block formatted on each core.
constexpr size_t ParallelCopies = 20000;
constexpr size_t BlockCopies = 4096;

// The lines of rows [begin, end), each ending in CR LF, appended to `text`: an empty line, the
// name, a line per copy.
void AppendRowLines(const std::vector<TResultRow>& rows, size_t begin, size_t end,
                    const TLocaleFormats& formats, std::string (*nameText)(std::string_view),
                    std::string& text) {
    for (size_t r = begin; r < end; ++r) {
        const TResultRow& row = rows[r];
        text += "\r\n";
        text += nameText(row.Caption);
        text += "\r\n";
        for (int i = 0; i < row.Count(); ++i) {
            const TFileInfoRec& info = row.Group->Info(i);
            text += nameText(info.FullPath());
            text += ", ";
            text += std::to_string(info.Size);
            text += ", ";
            text += DateTimeText(info.LastWriteTime, formats);
            text += ",\r\n";
        }
    }
}

// The end of the block of rows that starts at `begin`: whole rows, about BlockCopies copies.
size_t BlockEnd(const std::vector<TResultRow>& rows, size_t begin) {
    size_t copies = 0;
    size_t end = begin;
    while (end < rows.size() && copies < BlockCopies)
        copies += static_cast<size_t>(rows[end++].Count());
    return end;
}

} // namespace

void WriteTextReport(TTextFileWriter& out, int32_t filesRead, double elapsedTime,
                     const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                     std::string (*nameText)(std::string_view)) {
    out.WriteLine("Scanned files:    " + std::to_string(filesRead));
    out.WriteLine("Duplicated files: " + std::to_string(rows.size()));
    out.WriteLine("Scan time:        " + TimeText(elapsedTime, formats));
    size_t copies = 0;
    for (const TResultRow& row : rows)
        copies += static_cast<size_t>(row.Count());
    const bool parallel = copies >= ParallelCopies && ScanWorkers() > 1;
    // Formatting the dates costs most; two blocks at a time are formatted side by side and
    // written in their order, so the text in memory stays small.
    std::string first, second;
    for (size_t begin = 0; begin < rows.size();) {
        const size_t middle = BlockEnd(rows, begin);
        const size_t end = parallel ? BlockEnd(rows, middle) : middle;
        first.clear();
        second.clear();
        if (end == middle) {
            AppendRowLines(rows, begin, middle, formats, nameText, first);
        } else {
            RunOnBothCores([&] { AppendRowLines(rows, begin, middle, formats, nameText, first); },
                           [&] { AppendRowLines(rows, middle, end, formats, nameText, second); });
        }
        out.Write(first);
        out.Write(second);
        begin = end;
    }
}
void SaveTextReport(const std::string& fileName, int32_t filesRead, double elapsedTime,
                    const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                    std::string (*nameText)(std::string_view)) {
    TTextFileWriter out(fileName);
    WriteTextReport(out, filesRead, elapsedTime, rows, formats, nameText);
    out.Close();
}
