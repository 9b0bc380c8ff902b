#pragma once

#include "OptionRec.h"

#include <string>

// A record of the six options every version has had; the further name rules are off.
inline TOptionRec ClassicOptions(int32_t compareMode, bool caseSensitive,
                                 const std::string& ignoreChar, const std::string& scanPath,
                                 const std::string& excludePath, const std::string& fileTypes) {
    TOptionRec options;
    options.CompareMode = compareMode;
    options.CaseSensitive = caseSensitive;
    options.IgnoreChar = ignoreChar;
    options.ScanPath = scanPath;
    options.ExcludePath = excludePath;
    options.FileTypes = fileTypes;
    return options;
}
