#include "TextReport.h"

#include "FileTimes.h"

void WriteTextReport(TTextFileWriter& out, int32_t filesRead, double elapsedTime,
                     const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                     std::string (*nameText)(std::string_view)) {
    out.WriteLine("Scanned files:    " + std::to_string(filesRead));
    out.WriteLine("Duplicated files: " + std::to_string(rows.size()));
    out.WriteLine("Scan time:        " + TimeText(elapsedTime, formats));
    std::string line;
    for (const TResultRow& row : rows) {
        out.WriteLine("");
        out.WriteLine(nameText(row.Caption));
        for (int i = 0; i < row.Count(); ++i) {
            const TFileInfoRec& info = row.Group->Info(i);
            line = nameText(info.FullPath());
            line += ", ";
            line += std::to_string(info.Size);
            line += ", ";
            line += DateTimeText(info.LastWriteTime, formats);
            line += ',';
            out.WriteLine(line);
        }
    }
}

void SaveTextReport(const std::string& fileName, int32_t filesRead, double elapsedTime,
                    const std::vector<TResultRow>& rows, const TLocaleFormats& formats,
                    std::string (*nameText)(std::string_view)) {
    TTextFileWriter out(fileName);
    WriteTextReport(out, filesRead, elapsedTime, rows, formats, nameText);
    out.Close();
}
