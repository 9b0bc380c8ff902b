#pragma once

#include "FileGroup.h"
#include "NameCollator.h"
#include "ResultRow.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// The result of a scan or a load while it is built: name keys with their groups, sorted
// case-insensitively in the user's collation. Equal keys are allowed; among them the one added
// later stands first. The list owns its groups until TakeRows hands them over.
class TFileInfoList {
  public:
    TFileInfoList() = default;
    TFileInfoList(const TFileInfoList&) = delete;
    TFileInfoList& operator=(const TFileInfoList&) = delete;

    int Count() const { return static_cast<int>(FEntries.size()); }
    const std::string& Key(int index) const { return Entry(index).Caption; }
    // The group of the key at the index; an empty group for a key without copies.
    const TFileGroup& Groups(int index) const;

    // Adds the rows at their sorted places, as adding them one by one in their order would place
    // them: each before the keys equal to it.
    void AddAll(std::deque<TResultRow> entries);
    // Replaces the contents with rows that already stand in list order, as the scan builds them;
    // inserting them one by one would cost quadratic time on big results.
    void AdoptSorted(std::deque<TResultRow> entries) { FEntries = std::move(entries); }
    void Clear() { FEntries.clear(); }
    // Deletes every entry the predicate holds true for, keeping the order of the others.
    void RemoveIf(const std::function<bool(const TResultRow&)>& predicate);
    // Hands every entry over as a row, in list order, and leaves the list empty.
    std::vector<TResultRow> TakeRows();

    const TNameCollator& Collator() const { return FCollator; }

  private:
    const TResultRow& Entry(int index) const;

    TNameCollator FCollator;
    // A deque grows without copying: a big result would otherwise need twice its size at once.
    std::deque<TResultRow> FEntries;
};
