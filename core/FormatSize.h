#pragma once

#include "LocaleFormats.h"

#include <string>

// A byte count as size text: "1,023 Bytes", "1.5 KB", "1,024.0 MB". The value is divided by 1024
// in single precision while it is greater than 1024; after "GB" come "TB" and "PB". Halves round
// away from zero.
std::string FormatSize(float value, const TLocaleFormats& formats);

// A whole number written with the locale's thousands separator between groups of three digits.
std::string GroupDigits(const std::string& digits, const std::string& separator);
