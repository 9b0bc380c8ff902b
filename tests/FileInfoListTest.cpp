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

// Adds rows one call at a time, each call placing its row as the scan's and the load's rules ask.
void AddOneByOne(TFileInfoList& list, const std::string& key, std::unique_ptr<TFileGroup> group) {
    std::deque<TResultRow> one;
    one.push_back({key, std::move(group)});
    list.AddAll(std::move(one));
}

TEST(FileInfoListTest, SortsIgnoringCaseAndPutsNewKeysBeforeEqualOnes) {
    TFileInfoList list;
    AddOneByOne(list, "b.txt", GroupOf({{"/1/b.txt", 1}}));
    AddOneByOne(list, "a.txt", GroupOf({{"/1/a.txt", 1}}));
    AddOneByOne(list, "A.TXT", GroupOf({{"/2/A.TXT", 2}}));
    AddOneByOne(list, "a.txt", GroupOf({{"/3/a.txt", 3}}));

    EXPECT_EQ(Keys(list), (std::vector<std::string>{"a.txt", "A.TXT", "a.txt", "b.txt"}));
    EXPECT_EQ(list.Groups(0).Info(0).Size, 3);
    EXPECT_EQ(list.Groups(1).Info(0).Size, 2);
    EXPECT_THROW(list.Groups(4), std::out_of_range);
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
            AddOneByOne(oneByOne, key, GroupOf({{"/old/" + key, 0}}));
            AddOneByOne(atOnce, key, GroupOf({{"/old/" + key, 0}}));
        }
        std::deque<TResultRow> entries;
        for (size_t i = 0; i < keys[1].size(); ++i) {
            const auto size = static_cast<int64_t>(i + 1);
            AddOneByOne(oneByOne, keys[1][i], GroupOf({{"/new/" + keys[1][i], size}}));
            entries.push_back({keys[1][i], GroupOf({{"/new/" + keys[1][i], size}})});
        }
        atOnce.AddAll(std::move(entries));
        ASSERT_EQ(Keys(atOnce), Keys(oneByOne));
        for (int i = 0; i < atOnce.Count(); ++i) {
            EXPECT_EQ(atOnce.Groups(i).Info(0).FullPath(), oneByOne.Groups(i).Info(0).FullPath());
            EXPECT_EQ(atOnce.Groups(i).Info(0).Size, oneByOne.Groups(i).Info(0).Size);
        }
    }
}

TEST(FileInfoListTest, AccentsCountButCaseDoesNot) {
    const TFileInfoList list;
    const std::string ete = "\xc3\xa9t\xc3\xa9.txt";                     // "été.txt"
    EXPECT_EQ(list.Collator().Compare(ete, "\xc3\x89T\xc3\x89.TXT"), 0); // "ÉTÉ.TXT"
    EXPECT_NE(list.Collator().Compare(ete, "ete.txt"), 0);
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

TEST(ResultRowsTest, DropsSingleFilesAndMovesGroupsOntoRows) {
    TFileInfoList list;
    std::deque<TResultRow> entries;
    entries.push_back({"single.txt", GroupOf({{"/a/single.txt", 5}})});
    entries.push_back({"a.txt", GroupOf({{"/a/a.txt", 100}, {"/b/a.txt", 100}})});
    entries.push_back(
        {"makefile", GroupOf({{"/a/makefile", 1}, {"/b/makefile", 2}, {"/c/makefile", 3}})});
    entries.push_back({"none", nullptr}); // a loaded name without copies stays
    list.AddAll(std::move(entries));

    RemoveSingleFileGroups(list);
    std::vector<TResultRow> rows = list.TakeRows();

    EXPECT_EQ(list.Count(), 0);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Caption, "a.txt");
    EXPECT_EQ(rows[0].Count(), 2);
    EXPECT_EQ(rows[0].GroupSpace(), 200.0f);
    EXPECT_EQ(rows[1].Caption, "makefile");
    EXPECT_EQ(rows[2].Caption, "none");
    EXPECT_EQ(rows[2].Count(), 0);
    EXPECT_EQ(rows[2].GroupSpace(), 0.0f);
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
