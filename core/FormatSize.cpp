#include "FormatSize.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::array<const char*, 6> UnitWords = {"Bytes", "KB", "MB", "GB", "TB", "PB"};

} // namespace

std::string GroupDigits(const std::string& digits, const std::string& separator) {
    std::string result;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            result += separator;
        result += digits[i];
    }
    return result;
}

std::string FormatSize(float value, const TLocaleFormats& formats) {
    size_t unit = 0;
    while (value > 1024.0f && unit + 1 < UnitWords.size()) {
        value /= 1024.0f;
        ++unit;
    }
    const int decimals = unit == 0 ? 0 : 1;

    // A float times 10 is exact in double, so the rounding below sees the true halfway cases.
    double scaled = static_cast<double>(value) * (decimals == 1 ? 10.0 : 1.0);
    scaled = std::round(scaled);
    if (!std::isfinite(scaled))
        return std::to_string(value) + " " + UnitWords[unit];
    const bool negative = scaled < 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(scaled));
    std::string digits = buffer;
    if (decimals == 1 && digits.size() < 2)
        digits.insert(0, 2 - digits.size(), '0');

    std::string text = negative ? "-" : "";
    if (decimals == 1) {
        text += GroupDigits(digits.substr(0, digits.size() - 1), formats.ThousandSeparator);
        text += formats.DecimalSeparator;
        text += digits.back();
    } else {
        text += GroupDigits(digits, formats.ThousandSeparator);
    }
    text += ' ';
    text += UnitWords[unit];
    return text;
}
