#include "ResultRows.h"

void RemoveSingleFileGroups(TFileInfoList& resultList) {
    resultList.RemoveIf([](const TFileInfoEntry& entry) {
        return entry.Group != nullptr && entry.Group->Count() == 1;
    });
}

std::vector<TResultRow> TakeRows(TFileInfoList& resultList) {
    // The names are moved, not copied: a big result would otherwise be held twice.
    std::deque<TFileInfoEntry> entries = resultList.TakeEntries();
    std::vector<TResultRow> rows;
    rows.reserve(entries.size());
    for (TFileInfoEntry& entry : entries)
        rows.push_back({std::move(entry.Key), std::move(entry.Group)});
    return rows;
}

std::string ExtOf(const std::string& caption) {
    const auto dot = caption.rfind('.');
    if (dot == std::string::npos)
        return {};
    std::string ext = caption.substr(dot + 1);
    if (ext.find_first_of("/\\:") != std::string::npos)
        return {};
    return ext;
}

float TotalSpace(const std::vector<TResultRow>& rows) {
    float total = 0;
    for (const TResultRow& row : rows)
        total += row.Space();
    return total;
}
