#include "TextReport.h"

#include "FileTimes.h"
#include "ScanWorkers.h"
#include "SecondCore.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace {

// Below this many copies one thread writes the whole report; above it the rows go in rounds of
// two blocks of about this many copies each, one block formatted on each core.
constexpr size_t ParallelCopies = 20000;
constexpr size_t BlockCopies = 4096;

// The lines of rows [begin, end), each ending in CR LF, appended to `text`: an empty line, the
// name, a line per copy.
void AppendRowLines(const std::vector<TResultRow>& rows, size_t begin, size_t end,
                    const TLocaleFormats& formats, TNameAppender appendName, std::string& text) {
    // Copies of one name often share their time to the second: its text is made once for them.
    uint64_t dateSecond = UINT64_MAX;
    std::string date;
    char size[24];
    for (size_t r = begin; r < end; ++r) {
        const TResultRow& row = rows[r];
        text += "\r\n";
        appendName(text, row.Caption);
        text += "\r\n";
        for (int i = 0; i < row.Count(); ++i) {
            const TFileInfoRec& info = row.Group->Info(i);
            appendName(text, info.DirText());
            appendName(text, info.Name);
            text += ", ";
            text.append(size, std::to_chars(size, size + sizeof size, info.Size).ptr);
            text += ", ";
            if (const uint64_t second = info.LastWriteTime / TimeStepsPerSecond;
                second != dateSecond) {
                date = DateTimeText(info.LastWriteTime, formats);
                dateSecond = second;
            }
            text += date;
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
                     TNameAppender appendName) {
    out.WriteLine("Scanned files:    " + std::to_string(filesRead));
    out.WriteLine("Duplicated files: " + std::to_string(rows.size()));
    out.WriteLine("Scan time:        " + TimeText(elapsedTime, formats));
    size_t copies = 0;
    for (const TResultRow& row : rows)
        copies += static_cast<size_t>(row.Count());
    std::optional<TSecondCore> secondCore;
    if (copies >= ParallelCopies && ScanWorkers() > 1)
        secondCore.emplace();
    // Formatting the dates costs most; two blocks at a time are formatted side by side and
    // written in their order, so the text in memory stays small.
    std::string first, second;
    for (size_t begin = 0; begin < rows.size();) {
        const size_t middle = BlockEnd(rows, begin);
        const size_t end = secondCore ? BlockEnd(rows, middle) : middle;
        first.clear();
        second.clear();
        if (end == middle) {
            AppendRowLines(rows, begin, middle, formats, appendName, first);
        } else {
            secondCore->Run(
                [&] { AppendRowLines(rows, begin, middle, formats, appendName, first); },
                [&] { AppendRowLines(rows, middle, end, formats, appendName, second); });
        }
        out.Write(first);
        out.Write(second);
        begin = end;
    }
}
void SaveTextReport(const std::string& fileName, int32_t filesRead, double elapsedTime,
                    const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                    TNameAppender appendName) {
    TTextFileWriter out(fileName);
    WriteTextReport(out, filesRead, elapsedTime, rows, formats, appendName);
    out.Close();
}
