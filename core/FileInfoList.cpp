#include "FileInfoList.h"

#include "FormatSize.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

const TFileInfoEntry& TFileInfoList::Entry(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return FEntries[static_cast<size_t>(index)];
}

TFileInfoEntry& TFileInfoList::Entry(int index) {
    return const_cast<TFileInfoEntry&>(static_cast<const TFileInfoList*>(this)->Entry(index));
}

size_t TFileInfoList::LowerBound(std::string_view key) const {
    size_t low = 0;
    size_t high = FEntries.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (FCollator.Compare(FEntries[middle].Key, key) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

int TFileInfoList::IndexOf(std::string_view key) const {
    const size_t index = LowerBound(key);
    if (index < FEntries.size() && FCollator.Compare(FEntries[index].Key, key) == 0)
        return static_cast<int>(index);
    return -1;
}

int TFileInfoList::Add(std::string key, std::unique_ptr<TFileGroup> group) {
    const size_t index = LowerBound(key);
    FEntries.insert(FEntries.begin() + static_cast<std::ptrdiff_t>(index),
                    TFileInfoEntry{std::move(key), std::move(group)});
    return static_cast<int>(index);
}

void TFileInfoList::AddAll(std::deque<TFileInfoEntry> entries) {
    // The order is sorted as indices and applied in place: a sorted copy of the entries would
    // hold them twice (a loaded list of empty groups already takes some 25 times the bytes of
    // its file).
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Among equal keys the later entry goes first, as adding them one by one would place it.
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int compared = FCollator.Compare(entries[a].Key, entries[b].Key);
        return compared != 0 ? compared < 0 : a > b;
    });
    // Each cycle of the permutation is walked once; a placed position is marked as its own.
    for (size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start)
            continue;
        TFileInfoEntry held = std::move(entries[start]);
        size_t at = start;
        while (order[at] != start) {
            const size_t from = order[at];
            entries[at] = std::move(entries[from]);
            order[at] = at;
            at = from;
        }
        entries[at] = std::move(held);
        order[at] = at;
    }
    order = std::vector<size_t>();
    if (FEntries.empty()) {
        FEntries = std::move(entries);
        return;
    }
    // Merging takes the new entries before equal old ones.
    auto less = [this](const TFileInfoEntry& a, const TFileInfoEntry& b) {
        return FCollator.Compare(a.Key, b.Key) < 0;
    };
    std::deque<TFileInfoEntry> merged;
    std::merge(std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()),
               std::make_move_iterator(FEntries.begin()), std::make_move_iterator(FEntries.end()),
               std::back_inserter(merged), less);
    FEntries = std::move(merged);
}

void TFileInfoList::Assign(const TFileInfoList& source) {
    if (&source == this)
        return;
    std::deque<TFileInfoEntry> copy;
    for (const TFileInfoEntry& entry : source.FEntries) {
        auto group = entry.Group ? std::make_unique<TFileGroup>(*entry.Group)
                                 : std::make_unique<TFileGroup>();
        copy.push_back({entry.Key, std::move(group)});
    }
    FEntries = std::move(copy);
}

void TFileInfoList::Delete(int index) {
    Entry(index);
    FEntries.erase(FEntries.begin() + index);
}

void TFileInfoList::RemoveIf(const std::function<bool(const TFileInfoEntry&)>& predicate) {
    FEntries.erase(std::remove_if(FEntries.begin(), FEntries.end(), predicate), FEntries.end());
}

void TFileInfoList::AddToGroup(int index, TFileInfoRec info) {
    Groups(index).Add(std::move(info));
}

TFileGroup& TFileInfoList::Groups(int index) {
    TFileInfoEntry& entry = Entry(index);
    if (!entry.Group)
        entry.Group = std::make_unique<TFileGroup>();
    return *entry.Group;
}

const TFileGroup& TFileInfoList::Groups(int index) const {
    static const TFileGroup empty;
    const TFileInfoEntry& entry = Entry(index);
    return entry.Group ? *entry.Group : empty;
}

std::unique_ptr<TFileGroup> TFileInfoList::TakeGroup(int index) {
    return std::move(Entry(index).Group);
}

TFileInfoRec TFileInfoList::FirstInfo(int index) const {
    const TFileGroup& group = Groups(index);
    if (group.IsEmpty())
        throw std::out_of_range("List index out of bounds (0)");
    return group.Info(0);
}

float TFileInfoList::GroupSpace(int index) const {
    return Groups(index).Space();
}

std::string TFileInfoList::GroupSpaceText(int index) const {
    return FormatSize(GroupSpace(index));
}
