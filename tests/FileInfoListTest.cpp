#include "FileInfoList.h"
#include "ResultRows.h"

#include <gtest/gtest.h>
#include <random>
#include <unicode/ucol.h>

namespace {

std::unique_ptr<TFileGroup> GroupOf(std::initializer_list<std::pair<std::string, int64_t>> files) {
    auto group = std::make_unique<TFileGroup>();
    for (const auto& [path, size] : files) {
        TFileInfoRec info = FileInfoForPath(path);
        info.Size = size;
        group->Add(info);
    }
    return group;
}

std::vector<std::string> Keys(const TFileInfoList& list) {
    std::vector<std::string> keys;
    for (int i = 0; i < list.Count(); ++i)
        keys.push_back(list.Key(i));
    return keys;
}

TEST(FileInfoListTest, SortsIgnoringCaseAndPutsNewKeysBeforeEqualOnes) {
    TFileInfoList list;
    list.Add("b.txt", GroupOf({{"/1/b.txt", 1}}));
    list.Add("a.txt", GroupOf({{"/1/a.txt", 1}}));
    list.Add("A.TXT", GroupOf({{"/2/A.TXT", 2}}));
    const int index = list.Add("a.txt", GroupOf({{"/3/a.txt", 3}}));

    EXPECT_EQ(index, 0);
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"a.txt", "A.TXT", "a.txt", "b.txt"}));
    EXPECT_EQ(list.IndexOf("A.txt"), 0);
    EXPECT_EQ(list.FirstInfo(list.IndexOf("a.txt")).Size, 3);
    EXPECT_EQ(list.IndexOf("c.txt"), -1);
}

TEST(FileInfoListTest, AddingManyAtOncePlacesThemAsAddingOneByOne) {
    // Keys with equal and unequal neighbours, in orders that need long and short cycles.
    const std::vector<std::vector<std::string>> earlierAndNew[] = {
        {{}, {"c", "a", "b", "A", "c", "B", "a"}},
        {{"b", "a"}, {"B", "c", "A", "b", "a", "0"}},
        {{}, {"z", "y", "x", "w", "v", "u"}},
        {{"m"}, {}},
    };
    for (const auto& keys : earlierAndNew) {
        TFileInfoList oneByOne;
        TFileInfoList atOnce;
        for (const std::string& key : keys[0]) {
            oneByOne.Add(key, GroupOf({{"/old/" + key, 0}}));
            atOnce.Add(key, GroupOf({{"/old/" + key, 0}}));
        }
        std::deque<TFileInfoEntry> entries;
        for (size_t i = 0; i < keys[1].size(); ++i) {
            const auto size = static_cast<int64_t>(i + 1);
            oneByOne.Add(keys[1][i], GroupOf({{"/new/" + keys[1][i], size}}));
            entries.push_back({keys[1][i], GroupOf({{"/new/" + keys[1][i], size}})});
        }
        atOnce.AddAll(std::move(entries));
        ASSERT_EQ(Keys(atOnce), Keys(oneByOne));
        for (int i = 0; i < atOnce.Count(); ++i) {
            EXPECT_EQ(atOnce.FirstInfo(i).FullPath(), oneByOne.FirstInfo(i).FullPath());
            EXPECT_EQ(atOnce.FirstInfo(i).Size, oneByOne.FirstInfo(i).Size);
        }
    }
}

TEST(FileInfoListTest, AccentsCountButCaseDoesNot) {
    TFileInfoList list;
    list.Add("\xc3\xa9t\xc3\xa9.txt", nullptr);          // "été.txt"
    EXPECT_EQ(list.IndexOf("\xc3\x89T\xc3\x89.TXT"), 0); // "ÉTÉ.TXT"
    EXPECT_EQ(list.IndexOf("ete.txt"), -1);
}

// ASCII names are compared through a table built from the collation; it must agree with ICU.
TEST(NameCollatorTest, AsciiTableAgreesWithIcu) {
    const TNameCollator collator;
    EXPECT_TRUE(collator.HasAsciiTable());
    UErrorCode status = U_ZERO_ERROR;
    UCollator* icu = ucol_open("", &status); // the tests run in C.UTF-8: the root collation
    ASSERT_TRUE(U_SUCCESS(status));
    ucol_setStrength(icu, UCOL_SECONDARY);

    std::mt19937 random(7);
    auto randomText = [&] {
        std::string text;
        const int length = static_cast<int>(random() % 6);
        for (int i = 0; i < length; ++i) {
            // Mostly a few letters, so that texts share prefixes and differ in case; sometimes
            // any ASCII character, controls and punctuation included.
            text += random() % 3 != 0 ? "aAbB_ 1-."[random() % 9]
                                      : static_cast<char>(1 + random() % 127);
        }
        return text;
    };
    auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (int i = 0; i < 20000; ++i) {
        const std::string a = randomText();
        const std::string b = randomText();
        status = U_ZERO_ERROR;
        const int expected = ucol_strcollUTF8(icu, a.data(), static_cast<int32_t>(a.size()),
                                              b.data(), static_cast<int32_t>(b.size()), &status);
        ASSERT_EQ(sign(collator.Compare(a, b)), sign(expected))
            << '"' << a << "\" vs \"" << b << '"';
    }
    ucol_close(icu);
}

TEST(FileInfoListTest, GroupsKeepTheirOrderAndAssignCopiesDeeply) {
    TFileInfoList list;
    const int index = list.Add("x.txt", GroupOf({{"/a/x.txt", 10}}));
    list.AddToGroup(index, FileInfoForPath("/b/x.txt"));
    list.AddToGroup(index, FileInfoForPath("/c/x.txt"));
    EXPECT_EQ(list.Groups(index).Path(0), "/a/x.txt");
    EXPECT_EQ(list.Groups(index).Path(2), "/c/x.txt");
    EXPECT_EQ(list.FirstInfo(index).Size, 10);

    TFileInfoList copy;
    copy.Assign(list);
    list.Groups(index).Delete(0);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Groups(0).Count(), 3);
    EXPECT_EQ(copy.Groups(0).Path(0), "/a/x.txt");

    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_THROW(list.Delete(0), std::out_of_range);
}

TEST(ResultRowsTest, DropsSingleFilesAndMovesGroupsOntoRows) {
    TFileInfoList list;
    list.Add("single.txt", GroupOf({{"/a/single.txt", 5}}));
    list.Add("a.txt", GroupOf({{"/a/a.txt", 100}, {"/b/a.txt", 100}}));
    list.Add("makefile", GroupOf({{"/a/makefile", 1}, {"/b/makefile", 2}, {"/c/makefile", 3}}));

    RemoveSingleFileGroups(list);
    std::vector<TResultRow> rows = TakeRows(list);

    EXPECT_EQ(list.Count(), 0);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Caption, "a.txt");
    EXPECT_EQ(rows[0].Count(), 2);
    EXPECT_EQ(rows[0].Space(), 200.0f);
    EXPECT_EQ(rows[1].Caption, "makefile");
    EXPECT_EQ(TotalSpace(rows), 206.0f);
}

TEST(ResultRowsTest, ExtensionIsTheTextAfterTheLastPoint) {
    EXPECT_EQ(ExtOf("a.txt"), "txt");
    EXPECT_EQ(ExtOf("archive.tar.gz"), "gz");
    EXPECT_EQ(ExtOf("makefile"), "");
    EXPECT_EQ(ExtOf("ends.with.point."), "");
    EXPECT_EQ(ExtOf(".bashrc"), "bashrc");
    EXPECT_EQ(ExtOf("v1.0\\readme"), "");
    EXPECT_EQ(ExtOf("a.b:c"), "");
}

} // namespace
