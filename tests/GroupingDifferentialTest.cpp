// The scan engine groups files with sorting and hashing instead of filling two sorted lists one
// entry at a time, which is what the grouping is defined as. This test keeps a slow, literal
// version of that definition (a sorted pending list, a sorted result list, one file at a time)
// and checks on many random trees that the real scan thread reports exactly the same messages
// and builds exactly the same result list.

#include "FileTimes.h"
#include "ListText.h"
#include "NameCollator.h"
#include "OptionRec.h"
#include "RecordingListener.h"
#include "ScanThread.h"
#include "TestTree.h"
#include "WildcardMask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unicode/normalizer2.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>

namespace {

struct TLiteralFile {
    std::string Key;
    std::string Path;
    int64_t Size;
    uint32_t Time;
};

struct TOutcome {
    std::vector<std::string> Messages; // "PROGRESS files dirs", "CHECK left 0", "DONE files 0"
    std::vector<std::string> Result;   // "key: path, path" per entry, in list order
    // The literal side's keys of every group, those of a single file included, in list order:
    // what a case exercised.
    std::vector<std::string> AllKeys;
};

std::string MessageText(uint32_t message, int32_t first, int32_t second) {
    const char* name = message == WM_SCAN_PROGRESS ? "PROGRESS"
                       : message == WM_SCAN_CHECK  ? "CHECK"
                       : message == WM_SCAN_DONE   ? "DONE"
                                                   : "?";
    return std::string(name) + " " + std::to_string(first) + " " + std::to_string(second);
}

// The newer name rules, written out independently of the scan thread's own code: UTF-8 is
// checked by a round trip through UTF-16, Unicode forms are taken on UTF-16 strings and copy
// marks are found with regular expressions.
bool LiteralIsUtf8(const std::string& text) {
    std::string back;
    icu::UnicodeString::fromUTF8(text).toUTF8String(back);
    return back == text;
}

std::string LiteralNfc(const std::string& text) {
    if (!LiteralIsUtf8(text))
        return text;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    std::string out;
    nfc->normalize(icu::UnicodeString::fromUTF8(text), status).toUTF8String(out);
    return out;
}

std::string LiteralFold(const std::string& text, const TOptionRec& options) {
    if (options.UnicodeNames && LiteralIsUtf8(text)) {
        icu::UnicodeString folded = icu::UnicodeString::fromUTF8(text);
        folded.foldCase(U_FOLD_CASE_DEFAULT);
        std::string out;
        folded.toUTF8String(out);
        return LiteralNfc(out);
    }
    std::string key = text;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return key;
}

// Where the extension starts: the last dot that is not the first character.
size_t LiteralExtensionAt(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name.size() : dot;
}

std::string WithoutCopyMarks(const std::string& name) {
    // The shortest non-empty rest before a mark is the longest mark that leaves something.
    static const std::regex trailing(
        R"(^([\s\S]+?)( \(\d+\)|\(\d+\)| - copy| - copy \(\d+\)| copy| copy \d+| \(copy\)|)"
        R"( \(another copy\)| \(\d+(st|nd|rd|th) copy\))$)",
        std::regex::icase);
    static const std::regex leading(R"(^(copy of |copy \(\d+\) of )([\s\S]+)$)", std::regex::icase);
    const size_t at = LiteralExtensionAt(name);
    std::string stem = name.substr(0, at);
    std::smatch match;
    for (;;) {
        if (std::regex_match(stem, match, trailing))
            stem = match[1].str();
        else if (std::regex_match(stem, match, leading))
            stem = match[2].str();
        else
            return stem + name.substr(at);
    }
}

std::string WithEqualExtensions(const std::string& name, const TOptionRec& options) {
    const size_t at = LiteralExtensionAt(name);
    if (at == name.size())
        return name;
    auto compared = [&](std::string text) {
        if (options.UnicodeNames)
            text = LiteralNfc(text);
        return options.CaseSensitive ? text : LiteralFold(text, options);
    };
    const std::string extension = compared(name.substr(at + 1));
    for (const std::string& set : SplitListText(options.EqualExtensions)) {
        std::vector<std::string> members;
        std::stringstream parts(set);
        for (std::string member; std::getline(parts, member, '=');)
            if (!member.empty() && member != ".")
                members.push_back(member[0] == '.' ? member.substr(1) : member);
        if (members.size() < 2)
            continue;
        for (const std::string& member : members)
            if (compared(member) == extension)
                return name.substr(0, at + 1) + members[0];
    }
    return name;
}

// The name key, written out independently of the scan thread's own code.
std::string LiteralKey(const std::string& name, const TOptionRec& options) {
    std::string key = name;
    if (options.UnicodeNames)
        key = LiteralNfc(key);
    if (options.IgnoreCopyMarks)
        key = WithoutCopyMarks(key);
    if (!options.EqualExtensions.empty())
        key = WithEqualExtensions(key, options);
    if (options.IgnoreExtension)
        key = key.substr(0, LiteralExtensionAt(key));
    if (options.CaseSensitive)
        return key;
    key = LiteralFold(key, options);
    if (options.IgnoreChar.empty())
        return key;
    for (const std::string& entry : SplitListText(options.IgnoreChar)) {
        if (entry.empty())
            continue;
        std::string kept;
        for (size_t i = 0; i < key.size();)
            if (key.compare(i, entry.size(), entry) == 0)
                i += entry.size(); // not searched again: "aabb" without "ab" is "ab"
            else
                kept += key[i++];
        key = kept;
    }
    return key;
}

// The walk: per scan directory, depth first; in a directory the files (mask by mask, names in
// byte order, each file once), then the subdirectories in byte order; each directory once.
class TLiteralWalk {
  public:
    TLiteralWalk(const TOptionRec& options, TOutcome& outcome, std::vector<TLiteralFile>& files)
        : FOptions(options), FOutcome(outcome), FFiles(files) {
        const bool blank = options.FileTypes.find_first_not_of(" ") == std::string::npos;
        for (const std::string& mask : SplitListText(blank ? "*.*" : options.FileTypes))
            FMasks.emplace_back(mask);
    }

    void Root(std::string root) {
        struct stat info {};
        if (root.empty() || stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            !FWalked.insert({info.st_dev, info.st_ino}).second)
            return;
        Walk(root.back() == '/' ? root : root + "/");
    }

  private:
    void Walk(const std::string& dir) {
        std::vector<std::string> files, subdirs;
        if (DIR* handle = opendir(dir.c_str())) {
            while (const dirent* entry = readdir(handle)) {
                const std::string name = entry->d_name;
                struct stat info {};
                if (name == "." || name == ".." || lstat((dir + name).c_str(), &info) != 0)
                    continue;
                if (S_ISREG(info.st_mode))
                    files.push_back(name);
                else if (S_ISDIR(info.st_mode))
                    subdirs.push_back(name);
            }
            closedir(handle);
        }
        std::sort(files.begin(), files.end());
        std::sort(subdirs.begin(), subdirs.end());

        std::set<std::string> taken;
        for (const TWildcardMask& mask : FMasks)
            for (const std::string& name : files)
                if (mask.Matches(name) && taken.insert(name).second)
                    Collect(dir, name);
        for (const std::string& name : subdirs) {
            struct stat info {};
            if (lstat((dir + name).c_str(), &info) != 0 ||
                !FWalked.insert({info.st_dev, info.st_ino}).second)
                continue;
            ++FDirectories;
            FOutcome.Messages.push_back(
                MessageText(WM_SCAN_PROGRESS, static_cast<int32_t>(FFiles.size()), FDirectories));
            Walk(dir + name + "/");
        }
    }

    void Collect(const std::string& dir, const std::string& name) {
        struct stat info {};
        ASSERT_EQ(lstat((dir + name).c_str(), &info), 0) << dir + name;
        FFiles.push_back({LiteralKey(name, FOptions), dir + name, info.st_size,
                          DosDateTimeFromUnix(info.st_mtim.tv_sec)});
    }

    const TOptionRec& FOptions;
    TOutcome& FOutcome;
    std::vector<TLiteralFile>& FFiles;
    std::vector<TWildcardMask> FMasks;
    std::set<std::pair<dev_t, ino_t>> FWalked;
    int32_t FDirectories = 0;
};

// The order of the sorted lists: the engine's own comparison, each answer checked against a
// plain ICU collator set up as the platform rules say (the user's locale, the root collation
// in place of the C/POSIX one, secondary strength), so that a shortcut inside the comparison
// cannot hide behind both sides using it.
class TLiteralOrder {
  public:
    TLiteralOrder() {
        const char* locale = uloc_getDefault();
        if (std::strstr(locale, "POSIX") != nullptr || std::strcmp(locale, "c") == 0)
            locale = "";
        UErrorCode status = U_ZERO_ERROR;
        FIcu = ucol_open(locale, &status);
        if (U_FAILURE(status))
            throw std::runtime_error("cannot open the collation");
        ucol_setStrength(FIcu, UCOL_SECONDARY);
    }
    ~TLiteralOrder() { ucol_close(FIcu); }
    TLiteralOrder(const TLiteralOrder&) = delete;
    TLiteralOrder& operator=(const TLiteralOrder&) = delete;

    int Compare(const std::string& a, const std::string& b) const {
        const int engine = FCollator.Compare(a, b);
        UErrorCode status = U_ZERO_ERROR;
        const int icu = ucol_strcollUTF8(FIcu, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                         static_cast<int32_t>(b.size()), &status);
        if ((engine > 0) - (engine < 0) != icu && FDisagreements++ == 0)
            ADD_FAILURE() << "the name collation orders [" << a << "] and [" << b << "] as "
                          << engine << ", ICU as " << icu;
        return engine;
    }

  private:
    TNameCollator FCollator;
    UCollator* FIcu = nullptr;
    mutable int FDisagreements = 0;
};

bool SameUnderMode(int32_t mode, const TLiteralFile& a, const TLiteralFile& b) {
    switch (mode) {
    case 0:
        return a.Size == b.Size && a.Time == b.Time;
    case 1:
        return a.Size == b.Size;
    case 2:
        return a.Time == b.Time;
    default:
        return true;
    }
}

struct TLiteralGroup {
    std::string Key;
    std::vector<const TLiteralFile*> Files;
};

// A sorted list of keys: the index of the first entry not ordered before the key, which is
// where a new key goes (before all equal keys) and where a lookup finds the first equal one.
template <typename TList, typename TKeyOf>
size_t FirstNotBefore(const TLiteralOrder& order, const TList& list, size_t low,
                      const std::string& key, TKeyOf keyOf) {
    size_t high = list.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (order.Compare(keyOf(list[middle]), key) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The scan thread's grouping, one file at a time, through two sorted lists.
void LiteralGrouping(const std::vector<TLiteralFile>& files, int32_t mode,
                     const TLiteralOrder& order, TOutcome& outcome) {
    auto pendingKey = [&](uint32_t file) -> const std::string& { return files[file].Key; };
    auto groupKey = [](const TLiteralGroup& group) -> const std::string& { return group.Key; };

    std::vector<uint32_t> pending; // file indices, sorted by key; entries before `next` are taken
    for (uint32_t f = 0; f < files.size(); ++f)
        pending.insert(pending.begin() + static_cast<std::ptrdiff_t>(FirstNotBefore(
                                             order, pending, 0, files[f].Key, pendingKey)),
                       f);

    std::vector<TLiteralGroup> result;
    auto addGroup = [&](const TLiteralFile& file) {
        const size_t at = FirstNotBefore(order, result, 0, file.Key, groupKey);
        result.insert(result.begin() + static_cast<std::ptrdiff_t>(at), {file.Key, {&file}});
    };
    for (size_t next = 0; next < pending.size();) {
        const TLiteralFile& file = files[pending[next++]];
        const auto left = static_cast<int32_t>(pending.size() - next);
        const size_t found = FirstNotBefore(order, result, 0, file.Key, groupKey);
        if (found == result.size() || order.Compare(result[found].Key, file.Key) != 0) {
            const size_t other = FirstNotBefore(order, pending, next, file.Key, pendingKey);
            if (other < pending.size() && order.Compare(files[pending[other]].Key, file.Key) == 0)
                addGroup(file);
            continue; // else no other file has that name
        }
        bool joined = false;
        for (size_t e = found; e < result.size() && !joined; ++e) {
            if (result[e].Key == file.Key && SameUnderMode(mode, *result[e].Files[0], file)) {
                result[e].Files.push_back(&file);
                outcome.Messages.push_back(MessageText(WM_SCAN_CHECK, left, 0));
                joined = true;
            }
        }
        if (!joined)
            addGroup(file);
    }
    outcome.Messages.push_back(MessageText(WM_SCAN_CHECK, 0, 0));
    outcome.Messages.push_back(MessageText(WM_SCAN_DONE, static_cast<int32_t>(files.size()), 0));

    // The end of the scan: names found once are not part of the result.
    for (const TLiteralGroup& group : result) {
        outcome.AllKeys.push_back(group.Key);
        if (group.Files.size() == 1)
            continue;
        std::string line = group.Key + ":";
        for (size_t f = 0; f < group.Files.size(); ++f)
            line += (f == 0 ? " " : ", ") + group.Files[f]->Path;
        outcome.Result.push_back(line);
    }
}

TOutcome LiteralScan(const TOptionRec& options, const TLiteralOrder& order) {
    TOutcome outcome;
    std::vector<TLiteralFile> files;
    TLiteralWalk walk(options, outcome, files);
    for (const std::string& root : SplitListText(options.ScanPath))
        walk.Root(root);
    LiteralGrouping(files, options.CompareMode, order, outcome);
    return outcome;
}

// One scan thread serves every case, as one window's thread serves every scan.
class TEngine {
  public:
    TEngine() { FListener.Thread = &FThread; }

    TOutcome Scan(const TOptionRec& options) {
        const size_t before = FListener.Messages().size();
        const int done = FListener.DoneCount();
        FThread.StartScan(options);
        TOutcome outcome;
        if (!FListener.WaitForDone(done + 1, std::chrono::seconds(120)))
            return outcome;
        const std::vector<TRecordedMessage> messages = FListener.Messages();
        for (size_t i = before; i < messages.size(); ++i)
            outcome.Messages.push_back(
                MessageText(messages[i].Message, messages[i].First, messages[i].Second));
        outcome.Result = FListener.Result();
        return outcome;
    }

  private:
    TRecordingListener FListener;
    TScanThread FThread{FListener};
};

template <typename T, size_t N> const T& Pick(std::mt19937& rng, const T (&pool)[N]) {
    return pool[rng() % N];
}

// A random tree and random options; returns the options and lists the files in `listing`.
TOptionRec RandomCase(std::mt19937& rng, TTestTree& tree, std::string& listing) {
    static const char* const Names[] = {"readme.txt",  "Readme.txt",
                                        "README.TXT",  "read_me.txt",
                                        "read me.txt", "Read-Me.txt",
                                        "readme",      "notes.doc",
                                        "Notes.DOC",   "résumé.txt",
                                        "RÉSUMÉ.TXT",  "Résumé.txt",
                                        "resume.txt",  "re\xcc\x81sume\xcc\x81.txt",
                                        "straße.txt",  "STRASSE.txt",
                                        "aabb.txt",    "ab.txt",
                                        "abab.txt",    "__",
                                        "_ _",         "x.txt",
                                        "X.txt",       ".hidden",
                                        "caf\xe9.txt", "CAF\xe9.TXT",
                                        "caf\xe8.txt"}; // the last three are not UTF-8
    static const char* const Dirs[] = {"",        "a/",      "a/sub/", "a/sub/deep/", "b/",
                                       "b/Docs/", "b/docs/", "é/",     "E/"};
    static const int64_t Sizes[] = {0, 1, 100, 100, 4096, (int64_t{1} << 32) + 100};
    constexpr time_t T = TTestTree::DefaultTime; // an even second: T and T + 1 share a DOS step
    static const time_t Times[] = {T, T, T + 1, T + 2, T + 3, T + 7200, 0, 315532799};
    static const int32_t Modes[] = {0, 0, 1, 1, 2, 2, 3, 7, -1};
    static const char* const Ignores[] = {"",  "",   "_",    "\"_; \"", "_;-;\" \"",
                                          "-", "ab", "\"\"", "A",       "é"};
    static const char* const Types[] = {"",           "  ",        "*.*",         "*.txt",
                                        "*.txt;*.*",  "*.*;*.txt", "*.TXT;*.doc", "r*;*.txt",
                                        "*.doc;*.txt"};
    // "=" stands for the tree's root, "" for an empty entry.
    static const std::vector<std::vector<std::string>> Roots = {{"="},
                                                                {"="},
                                                                {"="},
                                                                {"=/"},
                                                                {"a", "b"},
                                                                {"b", "a"},
                                                                {"a", "a/sub"},
                                                                {"a/sub", "a"},
                                                                {"b", "b/"},
                                                                {"a", "", "é"},
                                                                {"missing", "b"},
                                                                {"a/sub/deep", "="}};

    std::ostringstream text;
    std::set<std::string> made;
    auto file = [&](const std::string& path, int64_t size, time_t time) {
        if (!made.insert(path).second)
            return; // the first size and time drawn for a path stay
        tree.File(path, size, time);
        text << "  " << path << " size " << size << " time " << time << "\n";
    };
    const int fileCount = 4 + static_cast<int>(rng() % 36);
    for (int i = 0; i < fileCount; ++i)
        file(std::string(Pick(rng, Dirs)) + Pick(rng, Names), Pick(rng, Sizes), Pick(rng, Times));
    if (rng() % 8 == 0) {
        // One name in many case variants and sizes: more groups in one class of equal keys than
        // the engine searches one by one.
        for (int i = 0; i < 70; ++i) {
            std::string name = "data_set.bin";
            for (char& c : name)
                if (rng() % 2 != 0)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            file(Pick(rng, Dirs) + name, static_cast<int64_t>(rng() % 48), Pick(rng, Times));
        }
    }
    if (rng() % 4 == 0) {
        tree.Symlink("a/link.txt", "../readme.txt");
        tree.Symlink("b/loop", "..");
        tree.Fifo("a/pipe.txt");
        tree.Dir("c/empty");
        text << "  a/link.txt -> ../readme.txt, b/loop -> .., fifo a/pipe.txt, dir c/empty\n";
    }

    TOptionRec options;
    options.CompareMode = Pick(rng, Modes);
    options.CaseSensitive = rng() % 2 == 0;
    options.IgnoreChar = Pick(rng, Ignores);
    options.FileTypes = Pick(rng, Types);
    std::vector<std::string> roots;
    for (const std::string& root : Roots[rng() % Roots.size()])
        roots.push_back(root.empty()     ? root
                        : root[0] == '=' ? tree.Root() + root.substr(1)
                                         : tree / root);
    options.ScanPath = JoinListText(roots);
    listing = text.str();
    return options;
}

std::string OptionsText(const TOptionRec& options) {
    return "CompareMode " + std::to_string(options.CompareMode) + ", CaseSensitive " +
           (options.CaseSensitive ? "true" : "false") + ", IgnoreChar [" + options.IgnoreChar +
           "], FileTypes [" + options.FileTypes + "], ScanPath [" + options.ScanPath +
           "], UnicodeNames " + (options.UnicodeNames ? "true" : "false") + ", IgnoreCopyMarks " +
           (options.IgnoreCopyMarks ? "true" : "false") + ", IgnoreExtension " +
           (options.IgnoreExtension ? "true" : "false") + ", EqualExtensions [" +
           options.EqualExtensions + "]\n";
}

// Both sides from a little before their first difference on (large scans would flood the log).
std::string Difference(const char* what, const std::vector<std::string>& expected,
                       const std::vector<std::string>& actual) {
    if (expected == actual)
        return std::string(what) + ": the same on both sides\n";
    size_t first = 0;
    while (first < expected.size() && first < actual.size() && expected[first] == actual[first])
        ++first;
    first = first > 20 ? first - 20 : 0;
    std::string text;
    for (const auto* side : {&expected, &actual}) {
        text += std::string(side == &expected ? "literal " : "engine ") + what + " from line " +
                std::to_string(first + 1) + " of " + std::to_string(side->size()) + ":\n";
        for (size_t i = first; i < side->size() && i < first + 200; ++i)
            text += "    " + (*side)[i] + "\n";
    }
    return text;
}

// Compares one case; returns false (after reporting) on a mismatch.
bool SameOutcome(TEngine& engine, const TLiteralOrder& order, const TOptionRec& options,
                 const std::string& listing, const std::string& label, TOutcome& expected) {
    expected = LiteralScan(options, order);
    const TOutcome actual = engine.Scan(options);
    if (expected.Messages == actual.Messages && expected.Result == actual.Result)
        return true;
    ADD_FAILURE() << label << "\n"
                  << OptionsText(options) << listing
                  << Difference("messages", expected.Messages, actual.Messages)
                  << Difference("result", expected.Result, actual.Result);
    return false;
}

TEST(GroupingDifferentialTest, RandomTreesGroupAsTheLiteralAlgorithm) {
    constexpr unsigned FirstSeed = 1;
    constexpr unsigned CaseCount = 320;
    // GROUPING_SEED=n runs the one case of that seed.
    const char* only = std::getenv("GROUPING_SEED");
    const unsigned first = only != nullptr ? static_cast<unsigned>(std::atoi(only)) : FirstSeed;
    const unsigned count = only != nullptr ? 1 : CaseCount;

    TEngine engine;
    const TLiteralOrder order;
    int joins = 0, equalButNotIdentical = 0, largestClass = 0;
    for (unsigned seed = first; seed < first + count; ++seed) {
        std::mt19937 rng(seed);
        TTestTree tree;
        std::string listing;
        const TOptionRec options = RandomCase(rng, tree, listing);
        TOutcome outcome;
        if (!SameOutcome(engine, order, options, listing, "seed " + std::to_string(seed), outcome))
            return; // one case is enough to look at

        // What the case exercised, from the literal side.
        joins += static_cast<int>(
                     std::count_if(outcome.Messages.begin(), outcome.Messages.end(),
                                   [](const std::string& m) { return m.rfind("CHECK", 0) == 0; })) -
                 1;
        int run = 1;
        for (size_t i = 1; i < outcome.AllKeys.size(); ++i) {
            const std::string& a = outcome.AllKeys[i - 1];
            const std::string& b = outcome.AllKeys[i];
            const bool equal = order.Compare(a, b) == 0;
            equalButNotIdentical += equal && a != b ? 1 : 0;
            run = equal ? run + 1 : 1;
            largestClass = std::max(largestClass, run);
        }
    }
    if (only == nullptr) {
        // The generator must reach the cases the engine treats specially.
        EXPECT_GT(joins, 500);
        EXPECT_GT(equalButNotIdentical, 300);
        EXPECT_GT(largestClass, 32);
    }
}

// The newer name rules on random trees of names that they join: Unicode forms and cases, copy
// marks, extensions; the trees and options of the test above supply the rest.
TEST(GroupingDifferentialTest, RandomTreesWithNameRulesGroupAsTheLiteralAlgorithm) {
    static const char* const Names[] = {"report.pdf",
                                        "Report (1).PDF",
                                        "report - Copy.pdf",
                                        "Copy of report.pdf",
                                        "report copy 2.pdf",
                                        "report (2nd copy).pdf",
                                        "(1).pdf",
                                        "Copy of (1).pdf",
                                        "IMG_1.jpg",
                                        "img_1.JPEG",
                                        "IMG_1 (2).jpeg",
                                        "img_1.tif",
                                        "IMG_1.TIFF",
                                        "caf\xc3\xa9.txt",
                                        "cafe\xcc\x81.txt",
                                        "CAF\xc3\x89 (1).TXT",
                                        "CAFE\xcc\x81 copy.txt",
                                        "caf\xe9 (1).txt",
                                        "caf\xe9.txt",
                                        "Stra\xc3\x9f"
                                        "e.md",
                                        "STRASSE.md",
                                        "\xce\x9f\xce\x94\xce\x9f\xce\xa3.txt",
                                        "\xce\xbf\xce\xb4\xce\xbf\xcf\x82.txt",
                                        "\xc4\xb1.txt",
                                        "\xc4\xb0.txt",
                                        "I.txt",
                                        "i.txt",
                                        "J\xcc\x8c.x",
                                        "\xc7\xb0.x",
                                        ".bashrc",
                                        ".bashrc (1)",
                                        "archive.tar.gz",
                                        "archive.tar (1).gz",
                                        "archive (1).tar.gz",
                                        "notes.md",
                                        "notes.txt",
                                        "notes",
                                        "Notes (copy)",
                                        "x (1) (2).txt",
                                        "Copy of Copy of x.txt",
                                        "x.txt",
                                        "X_.TXT",
                                        "a\rb (1).txt",
                                        "a\rb.txt"};
    static const char* const Dirs[] = {"", "a/", "a/sub/", "b/", "b/Docs/"};
    static const char* const EqualSets[] = {
        "", "", "jpg=jpeg;tif=tiff", ".TXT=.md=", "pdf=x;md=pdf", "jpeg=JPG;\"caf\xc3\xa9=x\""};
    static const int64_t Sizes[] = {0, 1, 100};
    constexpr time_t T = TTestTree::DefaultTime;
    static const time_t Times[] = {T, T + 2, T + 7200};

    TEngine engine;
    const TLiteralOrder order;
    int joins = 0;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 rng(seed);
        TTestTree tree;
        std::string listing;
        TOptionRec options = RandomCase(rng, tree, listing);
        std::set<std::string> made;
        const int fileCount = 6 + static_cast<int>(rng() % 40);
        for (int i = 0; i < fileCount; ++i) {
            const std::string path = std::string("n/") + Pick(rng, Dirs) + Pick(rng, Names);
            if (!made.insert(path).second)
                continue;
            const int64_t size = Pick(rng, Sizes);
            const time_t time = Pick(rng, Times);
            tree.File(path, size, time);
            listing += "  " + path + " size " + std::to_string(size) + " time " +
                       std::to_string(time) + "\n";
        }
        options.ScanPath += ";" + JoinListText({tree / "n"});
        options.FileTypes = rng() % 2 == 0 ? "" : options.FileTypes;
        options.UnicodeNames = rng() % 2 == 0;
        options.IgnoreCopyMarks = rng() % 2 == 0;
        options.IgnoreExtension = rng() % 4 == 0;
        options.EqualExtensions = Pick(rng, EqualSets);
        TOutcome outcome;
        if (!SameOutcome(engine, order, options, listing, "seed " + std::to_string(seed), outcome))
            return;
        joins += static_cast<int>(
                     std::count_if(outcome.Messages.begin(), outcome.Messages.end(),
                                   [](const std::string& m) { return m.rfind("CHECK", 0) == 0; })) -
                 1;
    }
    EXPECT_GT(joins, 500);
}

// The walk keeps its distinct keys in a hash table that starts small and grows as keys come in.
// Here 3000 keys arrive over six directories, each directory bringing new keys and meeting old
// ones in other spellings, so that keys are found again before, between and after the growths.
TEST(GroupingDifferentialTest, KeysFoundAcrossTheGrowthOfTheKeyTable) {
    TTestTree tree;
    std::mt19937 rng(11);
    constexpr time_t T = TTestTree::DefaultTime;
    for (int i = 0; i < 3000; ++i) {
        const std::string number = std::to_string(10000 + i).substr(1);
        const std::string spellings[] = {"name" + number + ".txt", "Name_" + number + ".TXT",
                                         "NAME" + number + ".txt"};
        // The first directory that holds a name is spread over all six.
        const int first = static_cast<int>(rng() % 6);
        const int copies = 1 + static_cast<int>(rng() % 3);
        for (int c = 0; c < copies; ++c)
            tree.File("d" + std::to_string((first + c * (1 + i % 2)) % 6) + "/" +
                          spellings[rng() % 3],
                      static_cast<int64_t>(rng() % 2), T + 2 * static_cast<time_t>(rng() % 2));
    }
    TEngine engine;
    const TLiteralOrder order;
    for (const int32_t mode : {cmNameSizeTime, cmNameOnly}) {
        TOptionRec options;
        options.CompareMode = mode;
        options.IgnoreChar = "_";
        options.ScanPath = JoinListText({tree.Root()});
        TOutcome expected;
        SameOutcome(engine, order, options, "", "mode " + std::to_string(mode), expected);
    }
}

// Above a certain size the engine sorts the keys and reads the sizes and times on two threads.
// Every name here has a twin in another directory: with case ignored the twins share a key
// (12500 keys, 25000 files to read), with case kept every key is distinct (25000 keys) and the
// twins, where only the case differs, stand in one class of equal keys. Beside them lie 25000
// single files whose keys are not ASCII: "ﬁle00001.txt", spelt with a ligature that the
// collation holds equal to "fi", stands in the class of "file00001.txt", and "ﬂat00001.txt" in
// a class of its own; where they are placed counts in the files left to check.
TEST(GroupingDifferentialTest, LargeScansGroupAsTheLiteralAlgorithm) {
    const std::string LigatureFi = "\xEF\xAC\x81";
    const std::string LigatureFl = "\xEF\xAC\x82";
    TTestTree tree;
    std::mt19937 rng(7);
    for (int i = 0; i < 12500; ++i) {
        const std::string number = std::to_string(100000 + i).substr(1) + ".txt";
        tree.File(std::string(i % 2 == 0 ? "c/" : "d/") + LigatureFi + "le" + number,
                  static_cast<int64_t>(rng() % 2));
        tree.File(std::string(i % 2 == 0 ? "d/" : "c/") + LigatureFl + "at" + number,
                  static_cast<int64_t>(rng() % 2));
        const bool blank = i % 10 == 0; // "File_00000.txt" and "FILE 00000.txt"
        tree.File("a/" + std::string(i % 3 == 0 ? "File_" : "file") + number,
                  static_cast<int64_t>(rng() % 2));
        tree.File("b/" +
                      std::string(blank        ? "FILE "
                                  : i % 3 == 0 ? "FILE_"
                                               : "FILE") +
                      number,
                  static_cast<int64_t>(rng() % 2));
    }
    TEngine engine;
    const TLiteralOrder order;
    for (const bool caseSensitive : {false, true}) {
        TOptionRec options;
        options.CompareMode = caseSensitive ? cmNameOnly : cmNameSizeTime;
        options.CaseSensitive = caseSensitive;
        options.IgnoreChar = "\"_; \"";
        options.ScanPath = JoinListText({tree.Root()});
        TOutcome expected;
        SameOutcome(engine, order, options, "", caseSensitive ? "case kept" : "case ignored",
                    expected);
    }
}

} // namespace
