#include "ResultRows.h"

void RemoveSingleFileGroups(TFileInfoList& resultList) {
    resultList.RemoveIf([](const TFileInfoEntry& entry) {
        return entry.Group != nullptr && entry.Group->Count() == 1;
    });
}

std::vector<TResultRow> TakeRows(TFileInfoList& resultList) {
    std::vector<TResultRow> rows;
    rows.reserve(static_cast<size_t>(resultList.Count()));
    for (int index = 0; index < resultList.Count(); ++index) {
        auto group = resultList.TakeGroup(index);
        if (!group)
            group = std::make_unique<TFileGroup>();
        rows.push_back({resultList.Key(index), std::move(group)});
    }
    resultList.Clear();
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
