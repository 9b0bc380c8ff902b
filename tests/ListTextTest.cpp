#include "ListText.h"

#include <gtest/gtest.h>

namespace {

using List = std::vector<std::string>;

struct TSplitCase {
    const char* Name;
    std::string Text;
    List Expected;
};

class SplitListTextTest : public testing::TestWithParam<TSplitCase> {};

TEST_P(SplitListTextTest, GivesTheEntries) {
    EXPECT_EQ(SplitListText(GetParam().Text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitListTextTest,
    testing::Values(
        TSplitCase{"Empty", "", {}}, TSplitCase{"OnlyBlanks", "  \t ", {}},
        TSplitCase{"Semicolons", "*.txt; *.doc", {"*.txt", "*.doc"}},
        TSplitCase{"CommaSeparatesToo", "a,b", {"a", "b"}},
        TSplitCase{"BlankSeparates", "/tmp/a /tmp/b", {"/tmp/a", "/tmp/b"}},
        TSplitCase{"QuotedKeepsBlanks", "/tmp;\"/Program Files\"", {"/tmp", "/Program Files"}},
        TSplitCase{"UnquotedBlankSplits", "/tmp;/Program Files", {"/tmp", "/Program", "Files"}},
        TSplitCase{"UnderscoreAndBlank", "_;\" \"", {"_", " "}},
        TSplitCase{"QuotedSemicolonBecomesComma", "\";\"", {","}},
        TSplitCase{"DoubledQuote", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
        TSplitCase{"TwoSeparatorsGiveEmptyEntry", "a;;b", {"a", "", "b"}},
        TSplitCase{"LeadingSeparator", ";a", {"", "a"}},
        TSplitCase{"TrailingSeparator", "a;", {"a"}}, TSplitCase{"EmptyQuoted", "\"\"", {""}},
        TSplitCase{"TextAfterClosingQuote", "\"a\"b", {"a", "b"}},
        TSplitCase{"UnclosedQuoteTakesTheRest", "x;\"a b;c", {"x", "a b,c"}},
        TSplitCase{"BlanksAroundSeparator", " a , b ", {"a", "b"}},
        TSplitCase{"NulEndsTheText", std::string("a;b\0c", 5), {"a", "b"}}),
    [](const testing::TestParamInfo<TSplitCase>& param) { return param.param.Name; });

TEST(JoinListTextTest, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(JoinListText({}), "");
    EXPECT_EQ(JoinListText({""}), "\"\"");
    EXPECT_EQ(JoinListText({"a", "b"}), "a;b");
    EXPECT_EQ(JoinListText({"/My Files"}), "\"/My Files\"");
    EXPECT_EQ(JoinListText({"say \"hi\""}), "\"say \"\"hi\"\"\"");
    // The comma inside the quotes is stored as ";" as well.
    EXPECT_EQ(JoinListText({"a,b"}), "\"a;b\"");
    EXPECT_EQ(JoinListText({"", "a"}), ";a");
}

TEST(JoinListTextTest, RoundTripsThroughSplit) {
    const List lists[] = {
        {"/tmp", "/home/user/My Documents", "/data"},
        {"_", " ", "-"},
        {"with \"quotes\"", "tab\there"},
        {"a,b"}, // comes back whole: the stored ";" inside the quotes turns back into ","
        {""},
    };
    for (const List& list : lists)
        EXPECT_EQ(SplitListText(JoinListText(list)), list) << JoinListText(list);
}

TEST(JoinListTextTest, SemicolonInAnEntrySplitsItOnTheWayBack) {
    EXPECT_EQ(SplitListText(JoinListText({"a;b"})), (List{"a", "b"}));
}

} // namespace
