#include "GroupBuilder.h"

#include "FileTimes.h"
#include "OptionRec.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
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

} // namespace

TGroupBuilder::TGroupBuilder(const TPendingFiles& pending, const TNameCollator& collator,
                             int32_t compareMode, const std::atomic<bool>& stopRequested,
                             std::function<void(int32_t)> onJoin)
    : FPending(pending), FCollator(collator), FCompareMode(compareMode),
      FStopRequested(stopRequested), FOnJoin(std::move(onJoin)) {}

std::vector<uint32_t> TGroupBuilder::SortedKeys() const {
    const uint32_t keyCount = FPending.KeyCount();
    std::vector<uint64_t> prefixes(keyCount);
    std::vector<uint32_t> keys(keyCount);
    for (uint32_t k = 0; k < keyCount; ++k)
        keys[k] = k;

    // Two halves sorted on two threads, each with its own collator, then merged.
    auto sortRange = [&](const TNameCollator& collator, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            prefixes[i] = collator.KeyPrefix(FPending.Key(static_cast<uint32_t>(i)));
        std::sort(keys.begin() + static_cast<std::ptrdiff_t>(begin),
                  keys.begin() + static_cast<std::ptrdiff_t>(end), [&](uint32_t a, uint32_t b) {
                      if (prefixes[a] != prefixes[b])
                          return prefixes[a] < prefixes[b];
                      return collator.Compare(FPending.Key(a), FPending.Key(b)) < 0;
                  });
    };
    const size_t middle = keyCount / 2;
    if (keyCount < 20000) {
        sortRange(FCollator, 0, keyCount);
        return keys;
    }
    const TNameCollator second(FCollator);
    std::thread helper([&] { sortRange(second, middle, keyCount); });
    sortRange(FCollator, 0, middle);
    helper.join();
    std::inplace_merge(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(middle), keys.end(),
                       [&](uint32_t a, uint32_t b) {
                           if (prefixes[a] != prefixes[b])
                               return prefixes[a] < prefixes[b];
                           return FCollator.Compare(FPending.Key(a), FPending.Key(b)) < 0;
                       });
    return keys;
}

bool TGroupBuilder::ReadInfo(uint32_t file, TFileInfoRec& info, std::string& pathBuffer) const {
    const TDirRef& dir = FPending.Dir(file);
    const std::string_view name = FPending.Name(file);
    pathBuffer.assign(*dir);
    pathBuffer.append(name);
    struct stat status {};
    if (fstatat(AT_FDCWD, pathBuffer.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode))
        return false;
    info.Size = status.st_size;
    info.Time = DosDateTimeFromUnix(status.st_mtim.tv_sec);
    info.LastWriteTime = LastWriteTimeFromUnix(status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
    info.Name = std::string(name);
    info.Dir = dir;
    return true;
}

void TGroupBuilder::GroupClass(const std::vector<uint32_t>& files, uint32_t firstPosition,
                               std::vector<TFileInfoEntry>& result) {
    // files: one class of equal keys, in the order the grouping takes them.
    const auto total = static_cast<int64_t>(FPending.Count());
    std::vector<TFileInfoRec> infos(files.size());
    std::vector<uint32_t> present;
    std::string pathBuffer;
    for (uint32_t i = 0; i < files.size(); ++i) {
        if (Stopped())
            break;
        if (ReadInfo(files[i], infos[i], pathBuffer))
            present.push_back(i);
    }
    if (present.size() < 2 || Stopped())
        return; // a key that no other file shares: dropped

    struct TNewGroup {
        uint32_t KeyId;
        std::unique_ptr<TFileGroup> Group;
    };
    std::vector<TNewGroup> groups; // in the order they were created
    std::unordered_map<TMatchKey, size_t, TMatchKeyHash> index;
    auto matchKey = [&](uint32_t keyId, const TFileInfoRec& info) {
        const bool size = FCompareMode == cmNameSizeTime || FCompareMode == cmNameSize;
        const bool time = FCompareMode == cmNameSizeTime || FCompareMode == cmNameTime;
        return TMatchKey{keyId, size ? info.Size : 0, time ? info.Time : 0u};
    };

    for (uint32_t i : present) {
        if (Stopped())
            break;
        const uint32_t keyId = FPending.KeyId(files[i]);
        TFileInfoRec& info = infos[i];
        size_t found = groups.size();
        if (groups.size() <= LinearSearchLimit) {
            // Groups with an equal key stand newest first; the first that matches takes the file.
            for (size_t g = groups.size(); g-- > 0;) {
                if (groups[g].KeyId == keyId &&
                    SameFile(FCompareMode, groups[g].Group->Info(0), info)) {
                    found = g;
                    break;
                }
            }
        } else {
            // The groups of one key never match each other, so at most one can match.
            if (index.empty())
                for (size_t g = 0; g < groups.size(); ++g)
                    index.emplace(matchKey(groups[g].KeyId, groups[g].Group->Info(0)), g);
            const auto hit = index.find(matchKey(keyId, info));
            if (hit != index.end())
                found = hit->second;
        }

        if (found < groups.size()) {
            groups[found].Group->Add(std::move(info));
            FOnJoin(static_cast<int32_t>(total - (firstPosition + i) - 1));
        } else {
            auto group = std::make_unique<TFileGroup>();
            group->Add(std::move(info));
            if (!index.empty())
                index.emplace(matchKey(keyId, group->Info(0)), groups.size());
            groups.push_back({keyId, std::move(group)});
        }
    }

    for (size_t g = groups.size(); g-- > 0;)
        result.push_back({std::string(FPending.Key(groups[g].KeyId)), std::move(groups[g].Group)});
}

std::vector<TFileInfoEntry> TGroupBuilder::Build() {
    std::vector<TFileInfoEntry> result;
    const uint32_t fileCount = FPending.Count();
    const uint32_t keyCount = FPending.KeyCount();
    if (fileCount == 0 || Stopped())
        return result;

    // The files of each key, found last first (a counting sort by key).
    std::vector<uint32_t> keyStart(keyCount + 1, 0);
    for (uint32_t f = 0; f < fileCount; ++f)
        ++keyStart[FPending.KeyId(f) + 1];
    for (uint32_t k = 0; k < keyCount; ++k)
        keyStart[k + 1] += keyStart[k];
    std::vector<uint32_t> byKey(fileCount);
    {
        std::vector<uint32_t> fill(keyStart.begin(), keyStart.end() - 1);
        for (uint32_t f = fileCount; f-- > 0;)
            byKey[fill[FPending.KeyId(f)]++] = f;
    }

    const std::vector<uint32_t> keys = SortedKeys();
    std::vector<uint32_t> classFiles;
    uint32_t position = 0; // how many files the grouping has taken so far
    for (size_t first = 0; first < keys.size();) {
        if (Stopped())
            break;
        // A class: consecutive keys that the collation holds equal.
        size_t last = first + 1;
        while (last < keys.size() &&
               FCollator.Compare(FPending.Key(keys[first]), FPending.Key(keys[last])) == 0)
            ++last;

        classFiles.clear();
        for (size_t k = first; k < last; ++k)
            classFiles.insert(classFiles.end(), byKey.begin() + keyStart[keys[k]],
                              byKey.begin() + keyStart[keys[k] + 1]);
        if (last - first > 1)
            std::sort(classFiles.begin(), classFiles.end(), std::greater<>());

        if (classFiles.size() > 1)
            GroupClass(classFiles, position, result);
        position += static_cast<uint32_t>(classFiles.size());
        first = last;
    }
    return result;
}
