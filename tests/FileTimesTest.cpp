#include "FileTimes.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The last Unix second whose 100 ns stamp since 1601 fits in 64 bits, and the moments at which
// the C library's year (years since 1900, an int) reaches its limits.
constexpr int64_t LargestStampSecond = 1833029933770;
constexpr int64_t LastIntYearSecond = 67768036191676799;
constexpr int64_t FirstIntYearSecond = -67768040609740800;

TEST(FileTimesTest, LastWriteStampsSaturateInsteadOfWrapping) {
    const struct {
        const char* Why;
        int64_t Seconds;
        int64_t Nanoseconds;
        uint64_t Stamp;
    } cases[] = {
        {"1970", 0, 123456789, 116444736001234567u},
        {"1601, the first stamp", -UnixEpochIn1601Seconds, 0, 0},
        {"one step after 1601", -UnixEpochIn1601Seconds, 100, 1},
        {"before 1601", -UnixEpochIn1601Seconds - 1, 999999999, 0},
        {"the most negative time", INT64_MIN, 0, 0},
        {"the largest whole second", LargestStampSecond, 0, 18446744073700000000u},
        {"the largest stamp", LargestStampSecond, 955161500, UINT64_MAX},
        {"one step more", LargestStampSecond, 955161600, UINT64_MAX},
        {"one second more", LargestStampSecond + 1, 0, UINT64_MAX},
        {"seconds that overflow with the epoch added", INT64_MAX - 1000, 0, UINT64_MAX},
        {"the largest time", INT64_MAX, 999999999, UINT64_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LastWriteTimeFromUnix(c.Seconds, c.Nanoseconds), c.Stamp) << c.Why;
}

TEST(FileTimesTest, DosTimesExistFrom1980To2107Only) {
    // The tests run in UTC.
    const struct {
        const char* Why;
        int64_t Seconds;
        uint32_t Time;
    } cases[] = {
        {"1979-12-31 23:59:59", 315532799, 0},
        {"1980-01-01 00:00:00", 315532800, 0x00210000},
        {"2107-12-31 23:59:59", 4354819199, 0xff9fbf7d},
        {"2108-01-01 00:00:00", 4354819200, 0},
        {"the last year the C library can hold", LastIntYearSecond, 0},
        {"the first year the C library can hold", FirstIntYearSecond, 0},
        {"no year at all", INT64_MAX, 0},
        {"no year at all, negative", INT64_MIN, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DosDateTimeFromUnix(c.Seconds), c.Time) << c.Why;
}

TEST(FileTimesTest, ShowsEveryStampAsADate) {
    TLocaleFormats formats;
    formats.ShortDate = "%Y-%m-%d";
    const struct {
        const char* Why;
        uint64_t Stamp;
        const char* Text;
    } cases[] = {
        {"the first stamp, midnight: the date alone", 0, "1601-01-01"},
        {"the DOS range's first second", LastWriteTimeFromUnix(315532800, 0), "1980-01-01"},
        {"the DOS range's last second", LastWriteTimeFromUnix(4354819199, 0),
         "2107-12-31 23:59:59"},
        {"the largest stamp", UINT64_MAX, "60056-05-28 05:36:10"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateTimeText(c.Stamp, formats), c.Text) << c.Why;
}

} // namespace
