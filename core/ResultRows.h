#pragma once

#include "FileInfoList.h"
#include "ResultRow.h"

#include <string>
#include <vector>

// The end of a scan: drops the names that turned out to be unique (groups of one file).
void RemoveSingleFileGroups(TFileInfoList& resultList);

// The extension of a name key: the text after its last ".", empty when there is none or a "/",
// "\" or ":" follows that point.
std::string ExtOf(const std::string& caption);

// The space of all rows, every copy counted, accumulated in single precision.
float TotalSpace(const std::vector<TResultRow>& rows);
