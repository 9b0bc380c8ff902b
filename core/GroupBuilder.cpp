#include "GroupBuilder.h"

#include "FileTimes.h"
#include "OptionRec.h"
#include "ScanWorkers.h"
#include "SecondCore.h"

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Above this many groups in one class of equal keys, a hash finds the matching group.
constexpr size_t LinearSearchLimit = 32;

struct TMatchKey {
    uint32_t KeyId;
    int64_t Size;
    uint32_t Time;
    bool operator==(const TMatchKey& other) const {
        return KeyId == other.KeyId && Size == other.Size && Time == other.Time;
    }
};

struct TMatchKeyHash {
    size_t operator()(const TMatchKey& key) const {
        size_t hash = std::hash<uint64_t>()(static_cast<uint64_t>(key.Size));
        hash ^= std::hash<uint64_t>()((static_cast<uint64_t>(key.KeyId) << 32) | key.Time) +
                0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
        return hash;
    }
};

// Opens a directory (O_PATH) by its path. A path longer than a system call takes is opened piece
// by piece, each piece a run of whole names relative to the directory the one before reached.
int OpenDirectory(const std::string& path) {
    constexpr int Flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    if (path.size() < PATH_MAX)
        return open(path.c_str(), Flags);
    int fd = AT_FDCWD;
    for (size_t begin = 0; begin < path.size();) {
        size_t end = path.size();
        if (end - begin >= PATH_MAX) {
            const size_t slash = path.rfind('/', begin + PATH_MAX - 2);
            end = slash == std::string::npos || slash < begin ? begin : slash + 1;
        }
        // A piece without a whole name is no path of this system: no name is that long.
        const std::string piece = path.substr(begin, end - begin);
        const int next = piece.empty() ? -1 : openat(fd, piece.c_str(), Flags);
        if (fd != AT_FDCWD)
            close(fd);
        if (next < 0)
            return -1;
        fd = next;
        begin = end;
    }
    return fd;
}

} // namespace

TGroupBuilder::TGroupBuilder(TPendingFiles& pending, const TNameCollator& collator,
                             int32_t compareMode, const std::atomic<bool>& stopRequested,
                             TScanListener& listener)
    : FPending(pending), FCollator(collator), FCompareMode(compareMode),
      FStopRequested(stopRequested), FListener(listener), FTwoCores(ScanWorkers() > 1) {}

int TGroupBuilder::CompareAscii(const TNameCollator& collator, const TSortEntry& a,
                                const TSortEntry& b) const {
    if (a.Prefix.High != b.Prefix.High)
        return a.Prefix.High < b.Prefix.High ? -1 : 1;
    if (a.Prefix.Low != b.Prefix.Low)
        return a.Prefix.Low < b.Prefix.Low ? -1 : 1;
    if (a.Prefix.HoldsWholeText())
        return 0;
    return collator.CompareKnownAscii(FPending.Key(a.Key), FPending.Key(b.Key));
}

int TGroupBuilder::CompareEntries(const TNameCollator& collator, const TSortEntry& a,
                                  const TSortEntry& b) const {
    if (a.Ascii && b.Ascii)
        return CompareAscii(collator, a, b);
    return collator.Compare(FPending.Key(a.Key), FPending.Key(b.Key));
}

void TGroupBuilder::SortKeys(TLargeVector<uint32_t>& keys,
                             TLargeVector<uint32_t>& classStarts) const {
    const uint32_t keyCount = FPending.KeyCount();
    TSecondCore* const secondCore = SecondCoreFor(keyCount);
    const bool twoCores = secondCore != nullptr;
    // The helper thread compares with a collator of its own.
    std::optional<TNameCollator> secondCollator;
    if (twoCores)
        secondCollator.emplace(FCollator);
    const TNameCollator& second = twoCores ? *secondCollator : FCollator;
    auto less = [this](const TNameCollator& collator) {
        return [this, &collator](const TSortEntry& a, const TSortEntry& b) {
            return CompareEntries(collator, a, b) < 0;
        };
    };
    auto onBoth = [secondCore](auto&& first, auto&& other) {
        if (secondCore != nullptr) {
            secondCore->Run(first, other);
        } else {
            first();
            other();
        }
    };

    // The keys are sorted where they stand in memory, each with the character ranks that settle
    // most comparisons of ASCII keys without looking at the texts.
    TLargeVector<TSortEntry> entries(keyCount);
    auto prepare = [&](const TNameCollator& collator, uint32_t begin, uint32_t end) {
        for (uint32_t k = begin; k < end; ++k) {
            entries[k].Key = k;
            entries[k].Ascii = collator.AsciiPrefix(FPending.Key(k), entries[k].Prefix);
        }
    };
    const uint32_t middle = keyCount / 2;
    onBoth([&] { prepare(FCollator, 0, middle); }, [&] { prepare(second, middle, keyCount); });

    auto asciiLess = [this](const TNameCollator& collator) {
        return [this, &collator](const TSortEntry& a, const TSortEntry& b) {
            return CompareAscii(collator, a, b) < 0;
        };
    };
    // The ASCII keys first, on two cores split at the middle one of a sample: every key before
    // the split sorts before every key after it, so the two runs need no merging.
    const auto asciiEnd = std::partition(entries.begin(), entries.end(),
                                         [](const TSortEntry& entry) { return entry.Ascii; });
    const auto asciiCount = static_cast<size_t>(asciiEnd - entries.begin());
    auto split = entries.begin();
    if (twoCores && asciiCount >= ParallelThreshold) {
        std::vector<TSortEntry> sample;
        for (size_t i = 0; i < asciiCount; i += asciiCount / 1024 + 1)
            sample.push_back(entries[i]);
        const auto pivot = sample.begin() + static_cast<ptrdiff_t>(sample.size() / 2);
        const auto before = asciiLess(FCollator);
        std::nth_element(sample.begin(), pivot, sample.end(), before);
        split = std::partition(entries.begin(), asciiEnd,
                               [&](const TSortEntry& entry) { return before(entry, *pivot); });
    }
    onBoth([&] { std::sort(entries.begin(), split, asciiLess(FCollator)); },
           [&] { std::sort(split, asciiEnd, asciiLess(second)); });

    // The other keys are compared through the full collation, in two halves merged on large
    // sets, and then merged with the ASCII keys.
    if (asciiEnd != entries.end()) {
        const auto half = asciiEnd + (entries.end() - asciiEnd) / 2;
        if (twoCores && entries.end() - asciiEnd >= static_cast<ptrdiff_t>(ParallelThreshold)) {
            secondCore->Run([&] { std::sort(asciiEnd, half, less(FCollator)); },
                            [&] { std::sort(half, entries.end(), less(second)); });
            std::inplace_merge(asciiEnd, half, entries.end(), less(FCollator));
        } else {
            std::sort(asciiEnd, entries.end(), less(FCollator));
        }
        std::inplace_merge(entries.begin(), asciiEnd, entries.end(), less(FCollator));
    }

    // Where a key compares equal to the one before it in key order, its class goes on.
    auto markClasses = [&](const TNameCollator& collator, uint32_t begin, uint32_t end) {
        for (uint32_t i = std::max(begin, 1u); i < end; ++i)
            entries[i].GoesOn = CompareEntries(collator, entries[i - 1], entries[i]) == 0;
    };
    onBoth([&] { markClasses(FCollator, 0, middle); },
           [&] { markClasses(second, middle, keyCount); });

    keys.resize(keyCount);
    classStarts.clear();
    for (uint32_t i = 0; i < keyCount; ++i) {
        keys[i] = entries[i].Key;
        if (!entries[i].GoesOn)
            classStarts.push_back(i);
    }
    classStarts.push_back(keyCount);
}

void TGroupBuilder::ReadStatuses(uint32_t begin, uint32_t end) {
    if (StatusesHook != nullptr)
        StatusesHook(begin);
    // One descriptor per directory: looking up every full path again would cost more than the
    // status itself. A directory that is no longer the one the walk read (moved, replaced)
    // contributes nothing, like a vanished one.
    int dirFd = -1;
    uint32_t openDir = UINT32_MAX;
    struct stat status {};
    // Files installed or copied together share their time: the local time of a second is worked
    // out once for a run of them, sparing the lock that every conversion to local time takes.
    time_t dosSecond = 0;
    uint32_t dosTime = DosDateTimeFromUnix(dosSecond);
    for (uint32_t i = begin; i < end; ++i) {
        if (Stopped())
            break;
        const uint32_t file = i; // ascending, so the files of one directory stand together
        const uint32_t dir = FPending.DirIndex(file);
        if (dir != openDir) {
            if (dirFd >= 0)
                close(dirFd);
            dirFd = OpenDirectory(*FPending.Dir(file));
            openDir = dir;
            struct stat dirStatus {};
            if (dirFd >= 0 &&
                (fstat(dirFd, &dirStatus) != 0 || dirStatus.st_dev != FPending.DirDevice(file) ||
                 dirStatus.st_ino != FPending.DirInode(file))) {
                close(dirFd);
                dirFd = -1;
            }
        }
        const std::string name(FPending.Name(file));
        if (dirFd < 0 || fstatat(dirFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode))
            continue; // vanished since the walk, or no regular file any more
        TStatus& result = FStatuses[i];
        result.Size = status.st_size;
        if (status.st_mtim.tv_sec != dosSecond) {
            dosSecond = status.st_mtim.tv_sec;
            dosTime = DosDateTimeFromUnix(dosSecond);
        }
        result.Time = dosTime;
        result.LastWriteTime = LastWriteTimeFromUnix(status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
        result.Device = status.st_dev;
        result.Inode = status.st_ino;
        result.Present = true;
    }
    if (dirFd >= 0)
        close(dirFd);
}

void TGroupBuilder::GroupClass(const uint32_t* files, uint32_t count, uint32_t firstPosition,
                               TGrouping& grouping) const {
    // files: one class of equal keys, in the order the grouping takes them. Each file's status
    // is looked up once; the buffers serve every class.
    std::vector<TClassFile>& present = grouping.ClassFiles;
    present.clear();
    for (uint32_t i = 0; i < count; ++i)
        if (const TStatus* status = StatusOf(files[i]); status != nullptr)
            present.push_back({i, FPending.KeyId(files[i]), status, 0});
    if (present.size() < 2)
        return; // a key that no other file shares: dropped

    // First each file is given its group, then each group is built at its final size. A group
    // is known by its first file (an index into present).
    std::vector<uint32_t>& firsts = grouping.ClassGroups; // in the order the groups were created
    firsts.clear();
    std::unordered_map<TMatchKey, uint32_t, TMatchKeyHash> index;
    const bool compareSize = ComparesSize(FCompareMode);
    const bool compareTime = ComparesTime(FCompareMode);
    auto matchKey = [&](const TClassFile& file) {
        return TMatchKey{file.KeyId, compareSize ? file.Status->Size : 0,
                         compareTime ? file.Status->Time : 0u};
    };

    const auto total = static_cast<int64_t>(FTotal);
    size_t taken = 0;
    for (; taken < present.size() && !Stopped(); ++taken) {
        TClassFile& file = present[taken];
        auto found = static_cast<uint32_t>(firsts.size());
        if (firsts.size() <= LinearSearchLimit) {
            // Groups with an equal key stand newest first; the first that matches takes the file.
            for (size_t g = firsts.size(); g-- > 0;) {
                const TClassFile& first = present[firsts[g]];
                if (first.KeyId == file.KeyId &&
                    SameFile(FCompareMode, *first.Status, *file.Status)) {
                    found = static_cast<uint32_t>(g);
                    break;
                }
            }
        } else {
            // The groups of one key never match each other, so at most one can match.
            if (index.empty())
                for (size_t g = 0; g < firsts.size(); ++g)
                    index.emplace(matchKey(present[firsts[g]]), static_cast<uint32_t>(g));
            const auto hit = index.find(matchKey(file));
            if (hit != index.end())
                found = hit->second;
        }

        file.Group = found;
        if (found < firsts.size()) {
            grouping.OnJoin(static_cast<int32_t>(total - (firstPosition + file.Index) - 1));
        } else {
            if (!index.empty())
                index.emplace(matchKey(file), found);
            firsts.push_back(static_cast<uint32_t>(taken));
        }
    }

    // The groups newest first, each with its files in the order they were taken. A group of one
    // file is not built: the finished result leaves such groups out.
    std::vector<uint32_t>& sizes = grouping.ClassGroupSizes;
    sizes.assign(firsts.size(), 0);
    for (size_t p = 0; p < taken; ++p)
        ++sizes[present[p].Group];
    std::vector<std::unique_ptr<TFileGroup>> groups(firsts.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        if (sizes[g] < 2)
            continue;
        groups[g] = std::make_unique<TFileGroup>();
        groups[g]->Reserve(sizes[g]);
    }
    for (size_t p = 0; p < taken; ++p) {
        const TClassFile& member = present[p];
        if (groups[member.Group] == nullptr)
            continue;
        const uint32_t file = files[member.Index];
        TFileInfoRec info;
        info.Size = member.Status->Size;
        info.Time = member.Status->Time;
        info.LastWriteTime = member.Status->LastWriteTime;
        info.Device = member.Status->Device;
        info.Inode = member.Status->Inode;
        info.Name = std::string(FPending.Name(file));
        info.Dir = FPending.Dir(file);
        groups[member.Group]->Add(std::move(info));
    }
    for (size_t g = groups.size(); g-- > 0;)
        if (groups[g] != nullptr)
            grouping.Rows.push_back(
                {std::string(FPending.Key(present[firsts[g]].KeyId)), std::move(groups[g])});
}

void TGroupBuilder::FindSharedClasses(TLargeVector<TSharedClass>& shared,
                                      TLargeVector<uint32_t>& members) const {
    TLargeVector<uint32_t> keys;
    TLargeVector<uint32_t> classStarts;
    SortKeys(keys, classStarts);

    const uint32_t fileCount = FPending.Count();
    const uint32_t keyCount = FPending.KeyCount();
    TLargeVector<uint32_t> keyStart(keyCount + 1, 0);
    for (uint32_t f = 0; f < fileCount; ++f)
        ++keyStart[FPending.KeyId(f) + 1];
    for (uint32_t k = 0; k < keyCount; ++k)
        keyStart[k + 1] += keyStart[k];

    // The files of each key, found last first (a counting sort by key).
    TLargeVector<uint32_t> byKey(fileCount);
    {
        TLargeVector<uint32_t> fill(keyStart.begin(), keyStart.end() - 1);
        for (uint32_t f = fileCount; f-- > 0;)
            byKey[fill[FPending.KeyId(f)]++] = f;
    }
    uint32_t position = 0;
    for (size_t c = 0; c + 1 < classStarts.size(); ++c) {
        uint32_t count = 0;
        for (uint32_t k = classStarts[c]; k < classStarts[c + 1]; ++k)
            count += keyStart[keys[k] + 1] - keyStart[keys[k]];
        if (count > 1) {
            const auto begin = static_cast<uint32_t>(members.size());
            shared.push_back({begin, position});
            for (uint32_t k = classStarts[c]; k < classStarts[c + 1]; ++k)
                members.insert(members.end(), byKey.begin() + keyStart[keys[k]],
                               byKey.begin() + keyStart[keys[k] + 1]);
            if (classStarts[c + 1] - classStarts[c] > 1)
                std::sort(members.begin() + begin, members.end(), std::greater<>());
        }
        position += count;
    }
}

std::deque<TResultRow> TGroupBuilder::Build() {
    std::deque<TResultRow> result;
    FTotal = FPending.Count();
    if (FTotal == 0 || Stopped())
        return result;
    // No step has more items than there are files.
    if (FTwoCores && FTotal >= ParallelThreshold)
        FSecondCore = std::make_unique<TSecondCore>();

    // Only files whose class holds another file need their status, and only those classes are
    // grouped. The pending list keeps only those files, which keeps their order.
    TLargeVector<TSharedClass> shared;
    TLargeVector<uint32_t> members;
    FindSharedClasses(shared, members);
    {
        // The files kept, in their order, and the number each member gets among them.
        TLargeVector<uint32_t> number(FTotal, 0);
        for (const uint32_t file : members)
            number[file] = 1;
        TLargeVector<uint32_t> kept;
        kept.reserve(members.size());
        for (uint32_t file = 0; file < FTotal; ++file) {
            if (number[file] != 0) {
                number[file] = static_cast<uint32_t>(kept.size());
                kept.push_back(file);
            }
        }
        FPending.KeepOnly(kept);
        for (uint32_t& file : members)
            file = number[file];
    }

    const uint32_t statCount = FPending.Count();
    FStatuses.assign(statCount, TStatus());
    if (TSecondCore* const secondCore = SecondCoreFor(statCount); secondCore == nullptr) {
        ReadStatuses(0, statCount);
    } else {
        const uint32_t middle = statCount / 2;
        secondCore->Run([&] { ReadStatuses(0, middle); }, [&] { ReadStatuses(middle, statCount); });
    }

    TGrouping first;
    first.OnJoin = [this](int32_t left) { FListener.ScanMessage(WM_SCAN_CHECK, left, 0); };
    TSecondCore* const secondCore = SecondCoreFor(members.size());
    if (secondCore == nullptr) {
        GroupClasses(shared, members, 0, shared.size(), first);
        return std::move(first.Rows);
    }
    // The classes in two runs of about as many files, one on each core. The second run's
    // messages wait until the first run's are sent, so that they come in the same order.
    const auto middle = static_cast<size_t>(
        std::lower_bound(shared.begin(), shared.end(), members.size() / 2,
                         [](const TSharedClass& c, size_t begin) { return c.Begin < begin; }) -
        shared.begin());
    std::vector<TScanMessage> held;
    TGrouping second;
    second.OnJoin = [&held](int32_t left) { held.push_back({WM_SCAN_CHECK, left, 0}); };
    bool firstDone = false;
    secondCore->Run([&] { firstDone = GroupClasses(shared, members, 0, middle, first); },
                    [&] { GroupClasses(shared, members, middle, shared.size(), second); });
    if (!firstDone)
        return std::move(first.Rows); // stopped: the groups built so far are the first run's
    // They are all ready, so they go as runs, which a listener on another thread takes over at
    // once.
    SendInRuns(FListener, held, [this] { return !Stopped(); });
    for (TResultRow& row : second.Rows)
        first.Rows.push_back(std::move(row));
    return std::move(first.Rows);
}

bool TGroupBuilder::GroupClasses(const TLargeVector<TSharedClass>& shared,
                                 const TLargeVector<uint32_t>& members, size_t begin, size_t end,
                                 TGrouping& grouping) const {
    for (size_t c = begin; c < end; ++c) {
        if (Stopped())
            return false;
        const uint32_t next =
            c + 1 < shared.size() ? shared[c + 1].Begin : static_cast<uint32_t>(members.size());
        GroupClass(members.data() + shared[c].Begin, next - shared[c].Begin, shared[c].Position,
                   grouping);
    }
    return !Stopped();
}
