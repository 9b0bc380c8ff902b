#pragma once

#include "ActionLog.h"
#include "FileRemoval.h"
#include "FolderSet.h"
#include "KeepRule.h"
#include "ResultRow.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One copy a clean-up removes, with the copy of its group that stays.
struct TCleanUpStep {
    int Row = 0;  // the row of the result
    int Copy = 0; // the copy to remove, an index into the row's group
    int Kept = 0; // the copy kept
};

// What a rule would remove at most, from the records alone (nothing is read).
struct TCleanUpPlan {
    std::vector<TCleanUpStep> Steps; // in row order, copies in group order
    int Names = 0;                   // rows that lose a copy
    int64_t Bytes = 0;
    int ProtectedCopies = 0; // copies the rule would remove but a protected folder holds
};

// Picks the kept copy of every row (or only of `onlyRow`, when it is not -1) by the rule; every
// other copy is to go unless a protected folder holds it. A row whose rule keeps none is left
// alone.
TCleanUpPlan PlanCleanUp(const std::vector<TResultRow>& rows, TKeepRule rule,
                         const TFolderSet& keepIn, const TFolderSet& protectedFolders,
                         int onlyRow = -1);

// What a clean-up did.
struct TCleanUpSummary {
    std::vector<TCleanUpStep> Removed; // removed, or for a dry run: would be removed
    int Differed = 0;                  // kept because the bytes differ from the kept copy's
    int Changed = 0;                   // skipped: the copy or its kept copy changed on disk
    int Failed = 0;                    // could not be read or removed
    std::vector<std::string> Problems; // "PATH: reason" for each copy skipped as changed or failed
    bool Stopped = false;              // a stop came before the end
};

// How a clean-up removes.
struct TCleanUpMethod {
    TRemovalMethod Method = TRemovalMethod::Trash;
    bool Verify = true;  // only copies whose bytes equal the kept copy's go
    bool DryRun = false; // check everything, remove nothing and write no log
};

// Carries out a plan, group by group. The kept copy must still be the file of its record, or the
// group is skipped; with Verify, the copies are compared with it, each file read at most once;
// right before it goes, each copy is checked once more against its record (and against the file
// that was read), and it never goes when it is the kept copy itself under another path. Every
// removal passes through the log. The stop is looked at between files; progress tells the files
// done and the total.
TCleanUpSummary RunCleanUp(const std::vector<TResultRow>& rows, const TCleanUpPlan& plan,
                           const TCleanUpMethod& how, TActionLog* log,
                           const std::atomic<bool>& stop,
                           const std::function<void(size_t done, size_t total)>& progress = {});

// Takes the removed copies off their groups, and the rows whose group fell to one copy off the
// result.
void ApplyRemovals(std::vector<TResultRow>& rows, std::vector<TCleanUpStep> removed);
