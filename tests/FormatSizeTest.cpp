#include "FormatSize.h"
#include "FileGroup.h"

#include <gtest/gtest.h>

namespace {

TLocaleFormats English() {
    TLocaleFormats formats;
    formats.ThousandSeparator = ",";
    formats.DecimalSeparator = ".";
    return formats;
}

struct TSizeCase {
    float Value;
    const char* Expected;
};

TEST(FormatSizeTest, UnitsAndRounding) {
    const TSizeCase cases[] = {
        {0, "0 Bytes"},
        {1023, "1,023 Bytes"},
        {1024, "1,024 Bytes"}, // no change of unit at exactly 1024
        {1025, "1.0 KB"},
        {1280, "1.3 KB"}, // 1.25: a half rounds away from zero
        {1536, "1.5 KB"},
        {1048576, "1,024.0 KB"},
        {1048577, "1.0 MB"},
        {1073741824, "1,024.0 MB"},
        {1610612736, "1.5 GB"},
        {1099511627776.0f * 2, "2.0 TB"},
        {1125899906842624.0f * 3, "3.0 PB"},
        {1125899906842624.0f * 1024 * 5, "5,120.0 PB"}, // no unit after PB
        {-5, "-5 Bytes"},
        {-3000000, "-3,000,000 Bytes"}, // negative values never change unit
        {1234567, "1.2 MB"},
    };
    for (const TSizeCase& c : cases)
        EXPECT_EQ(FormatSize(c.Value, English()), c.Expected) << c.Value;
}

TEST(FormatSizeTest, UsesTheLocaleSeparators) {
    TLocaleFormats german;
    german.ThousandSeparator = ".";
    german.DecimalSeparator = ",";
    EXPECT_EQ(FormatSize(1234567, german), "1,2 MB");
    EXPECT_EQ(FormatSize(1000, german), "1.000 Bytes");
    TLocaleFormats c;
    EXPECT_EQ(FormatSize(1048576, c), "1024.0 KB");
    EXPECT_EQ(GroupDigits("1234567", "\xe2\x80\xaf"), "1\xe2\x80\xaf"
                                                      "234\xe2\x80\xaf"
                                                      "567");
}

TEST(GroupSpaceTest, CountsEveryCopyInSinglePrecision) {
    TFileGroup group;
    for (int i = 0; i < 3; ++i) {
        TFileInfoRec info;
        info.Size = 100;
        group.Add(info);
    }
    EXPECT_EQ(group.Space(), 300.0f);

    // 2^24 + 1 is not a float: added to an exact sum, only the result is rounded.
    EXPECT_EQ(AddSizeToSpace(16777216.0f, 1), 16777216.0f);
    EXPECT_EQ(AddSizeToSpace(16777218.0f, 1), 16777220.0f); // ties go to even
    // A size is not rounded on its own first: 1 + (2^24 + 1) is 2^24 + 2, a float; rounding
    // 2^24 + 1 first would give 2^24.
    EXPECT_EQ(AddSizeToSpace(1.0f, 16777217), 16777218.0f);
    // 64-bit sizes are never wrapped.
    EXPECT_EQ(AddSizeToSpace(0.0f, 3221225472), 3221225472.0f);
}

} // namespace
