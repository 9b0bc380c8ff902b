#pragma once

#include "FileGroup.h"
#include "FileInfoRec.h"
#include "NameCollator.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TFileInfoEntry {
    std::string Key;
    std::unique_ptr<TFileGroup> Group;
};

// The result of a scan or a load: name keys with their groups, sorted case-insensitively in the
// user's collation. Equal keys are allowed; a new key goes before the keys equal to it, so a
// lookup finds the newest of them. The list owns its groups until TakeGroup hands one over.
class TFileInfoList {
  public:
    TFileInfoList() = default;
    TFileInfoList(const TFileInfoList&) = delete;
    TFileInfoList& operator=(const TFileInfoList&) = delete;

    int Count() const { return static_cast<int>(FEntries.size()); }
    const std::string& Key(int index) const { return Entry(index).Key; }

    // The index of the first entry whose key equals the key under the list's comparison, or -1.
    int IndexOf(std::string_view key) const;
    // Adds the pair at its sorted place, before all equal keys; returns its index.
    int Add(std::string key, std::unique_ptr<TFileGroup> group);

    // A deep copy of another list: the same keys with copies of their groups.
    void Assign(const TFileInfoList& source);
    void Clear() { FEntries.clear(); }
    void Delete(int index);
    // Deletes every entry the predicate holds true for, keeping the order of the others.
    void RemoveIf(const std::function<bool(const TFileInfoEntry&)>& predicate);

    void AddToGroup(int index, TFileInfoRec info);
    TFileGroup& Groups(int index);
    const TFileGroup& Groups(int index) const;
    std::unique_ptr<TFileGroup> TakeGroup(int index);
    // Hands over every entry, in list order, and leaves the list empty.
    std::deque<TFileInfoEntry> TakeEntries() { return std::exchange(FEntries, {}); }
    TFileInfoRec FirstInfo(int index) const;
    float GroupSpace(int index) const;
    std::string GroupSpaceText(int index) const;

    // Adds many pairs as Add would one by one, in their order: among equal keys the later first.
    void AddAll(std::deque<TFileInfoEntry> entries);
    // Replaces the contents with entries that already stand in list order, as the scan builds
    // them; inserting them one by one would cost quadratic time on big results.
    void AdoptSorted(std::deque<TFileInfoEntry> entries) { FEntries = std::move(entries); }

    const TNameCollator& Collator() const { return FCollator; }

  private:
    const TFileInfoEntry& Entry(int index) const;
    TFileInfoEntry& Entry(int index);
    size_t LowerBound(std::string_view key) const;

    TNameCollator FCollator;
    // A deque grows without copying: a big result would otherwise need twice its size at once.
    std::deque<TFileInfoEntry> FEntries;
};
