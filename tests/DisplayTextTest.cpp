#include "DisplayText.h"

#include <gtest/gtest.h>

namespace {

struct TTextCase {
    const char* Name;
    std::string Bytes;
    std::string Shown;
};

class DisplayTextTest : public testing::TestWithParam<TTextCase> {};

TEST_P(DisplayTextTest, EscapesWhatWouldNotShowAsItIs) {
    EXPECT_EQ(DisplayText(GetParam().Bytes), GetParam().Shown);
    // A path is shown as its directory followed by its name, each appended on its own.
    std::string path = "shown: ";
    AppendDisplayText(path, "dir\xC3/");
    AppendDisplayText(path, GetParam().Bytes);
    EXPECT_EQ(path, "shown: dir\\xC3/" + GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DisplayTextTest,
    testing::Values(
        TTextCase{"Plain", "/home/me/readme.txt", "/home/me/readme.txt"},
        TTextCase{"BackslashStays", "a\\b", "a\\b"},
        TTextCase{"Utf8Stays", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
                  "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        TTextCase{"LineEndsAndTab", "a\rb\nc\td", "a\\rb\\nc\\td"},
        TTextCase{"OtherC0AndDel", std::string("\x1B[31m\x00\x7F", 7), "\\x1B[31m\\x00\\x7F"},
        TTextCase{"C1Control", "x\xC2\x85y\xC2\x9B", "x\\x85y\\x9B"},
        TTextCase{"FirstPrintableAfterC1", "\xC2\xA0", "\xC2\xA0"},
        TTextCase{"Bidi", "evil\xE2\x80\xAEtxt.exe", "evil\\u202Etxt.exe"},
        TTextCase{"IsolatesAndMarks", "\xE2\x81\xA6\xE2\x80\x8F\xD8\x9C", "\\u2066\\u200F\\u061C"},
        TTextCase{"LineSeparator",
                  "a\xE2\x80\xA8"
                  "b",
                  "a\\u2028b"},
        TTextCase{"Latin1Byte", "caf\xE9.txt", "caf\\xE9.txt"},
        TTextCase{"TruncatedSequence", "ab\xE2\x82", "ab\\xE2\\x82"},
        TTextCase{"Overlong", "\xC0\xAF", "\\xC0\\xAF"},
        TTextCase{"Surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        TTextCase{"BeyondUnicode", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}),
    [](const testing::TestParamInfo<TTextCase>& param) { return param.param.Name; });

TEST(ReportTextTest, WritesLineBreaksAsEscapesAndKeepsEveryOtherByte) {
    std::string text = "dir/";
    AppendReportText(text, "a\r\nb");
    EXPECT_EQ(text, "dir/a\\r\\nb");
    const std::string other("\x1B\t\xE9\x00\x1A\\", 6);
    text.clear();
    AppendReportText(text, other);
    EXPECT_EQ(text, other);
}

} // namespace
