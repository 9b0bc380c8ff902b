#pragma once

#include "FileGroup.h"
#include "FileInfoList.h"

#include <memory>
#include <string>
#include <vector>

// One row of the duplicate list: a duplicated name key and the group it owns (none for a name
// without copies, as a loaded list may hold).
struct TResultRow {
    std::string Caption;
    std::unique_ptr<TFileGroup> Group;

    int Count() const { return Group ? Group->Count() : 0; }
    float Space() const { return Group ? Group->Space() : 0.0f; }
};

// The end of a scan: drops the names that turned out to be unique (groups of one file).
void RemoveSingleFileGroups(TFileInfoList& resultList);

// Moves every group of the result list onto a row, in list order, and empties the list.
std::vector<TResultRow> TakeRows(TFileInfoList& resultList);

// The extension of a name key: the text after its last ".", empty when there is none or a "/",
// "\" or ":" follows that point.
std::string ExtOf(const std::string& caption);

// The space of all rows, every copy counted, accumulated in single precision.
float TotalSpace(const std::vector<TResultRow>& rows);
