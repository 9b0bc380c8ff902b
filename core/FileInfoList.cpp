#include "FileInfoList.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <utility>

const TResultRow& TFileInfoList::Entry(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return FEntries[static_cast<size_t>(index)];
}

const TFileGroup& TFileInfoList::Groups(int index) const {
    static const TFileGroup empty;
    const TResultRow& entry = Entry(index);
    return entry.Group ? *entry.Group : empty;
}

void TFileInfoList::AddAll(std::deque<TResultRow> entries) {
    // The order is sorted as indices and applied in place: a sorted copy of the entries would
    // hold them twice (a loaded list of empty groups already takes some 25 times the bytes of
    // its file).
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Among equal keys the later entry goes first, as adding them one by one would place it.
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int compared = FCollator.Compare(entries[a].Caption, entries[b].Caption);
        return compared != 0 ? compared < 0 : a > b;
    });
    // Each cycle of the permutation is walked once; a placed position is marked as its own.
    for (size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start)
            continue;
        TResultRow held = std::move(entries[start]);
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
    auto less = [this](const TResultRow& a, const TResultRow& b) {
        return FCollator.Compare(a.Caption, b.Caption) < 0;
    };
    std::deque<TResultRow> merged;
    std::merge(std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()),
               std::make_move_iterator(FEntries.begin()), std::make_move_iterator(FEntries.end()),
               std::back_inserter(merged), less);
    FEntries = std::move(merged);
}

void TFileInfoList::RemoveIf(const std::function<bool(const TResultRow&)>& predicate) {
    FEntries.erase(std::remove_if(FEntries.begin(), FEntries.end(), predicate), FEntries.end());
}

std::vector<TResultRow> TFileInfoList::TakeRows() {
    // The rows are moved, not copied: a big result would otherwise be held twice.
    std::deque<TResultRow> entries = std::exchange(FEntries, {});
    std::vector<TResultRow> rows;
    rows.reserve(entries.size());
    for (TResultRow& entry : entries)
        rows.push_back(std::move(entry));
    return rows;
}
