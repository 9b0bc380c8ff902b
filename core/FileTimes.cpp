#include "FileTimes.h"

#include <cmath>

uint64_t LastWriteTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    if (seconds < -UnixEpochIn1601Seconds)
        return 0;
    // Unsigned from here: seconds near the 64-bit limit would overflow with the epoch added.
    const uint64_t since1601 =
        static_cast<uint64_t>(seconds) + static_cast<uint64_t>(UnixEpochIn1601Seconds);
    const auto steps = static_cast<uint64_t>(nanoseconds / 100);
    if (since1601 > (UINT64_MAX - steps) / TimeStepsPerSecond)
        return UINT64_MAX;
    return since1601 * TimeStepsPerSecond + steps;
}

uint32_t DosDateTimeFromUnix(int64_t seconds) {
    const auto moment = static_cast<time_t>(seconds);
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr)
        return 0;
    // Compared as years since 1900: adding 1900 would overflow in the last years an int holds.
    if (local.tm_year < 80 || local.tm_year > 207)
        return 0;
    const auto date = static_cast<uint32_t>(((local.tm_year - 80) << 9) |
                                            ((local.tm_mon + 1) << 5) | local.tm_mday);
    const auto time =
        static_cast<uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return (date << 16) | time;
}

std::string FormatTm(const char* format, const std::tm& fields) {
    char buffer[256];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &fields);
    return std::string(buffer, length);
}

std::string DateTimeText(uint64_t lastWriteTime, const TLocaleFormats& formats) {
    const auto moment = static_cast<time_t>(
        static_cast<int64_t>(lastWriteTime / TimeStepsPerSecond) - UnixEpochIn1601Seconds);
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr)
        return {};
    std::string text = FormatTm(formats.ShortDate.c_str(), local);
    if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
        text += ' ';
        text += FormatTm(formats.LongTime.c_str(), local);
    }
    return text;
}

std::string TimeText(double days, const TLocaleFormats& formats) {
    if (!std::isfinite(days))
        days = 0;
    double fraction = std::fabs(days) - std::floor(std::fabs(days));
    // Milliseconds are rounded first and then cut to whole seconds, as a clock would show them.
    auto milliseconds = static_cast<int64_t>(std::llround(fraction * 86400000.0)) % 86400000;
    const auto seconds = static_cast<int>(milliseconds / 1000);
    std::tm fields{};
    fields.tm_year = -1; // 1899-12-30, the day a duration of 0 stands for
    fields.tm_mon = 11;
    fields.tm_mday = 30;
    fields.tm_hour = seconds / 3600;
    fields.tm_min = seconds / 60 % 60;
    fields.tm_sec = seconds % 60;
    return FormatTm(formats.LongTime.c_str(), fields);
}
