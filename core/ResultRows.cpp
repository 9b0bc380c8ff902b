#include "ResultRows.h"

void RemoveSingleFileGroups(TFileInfoList& resultList) {
    resultList.RemoveIf([](const TResultRow& entry) {
        return entry.Group != nullptr && entry.Group->Count() == 1;
    });
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
        total += row.GroupSpace();
    return total;
}
