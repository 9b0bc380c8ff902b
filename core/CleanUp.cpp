#include "CleanUp.h"

#include "ContentComparison.h"
#include "RecordedFile.h"

#include <algorithm>

TCleanUpPlan PlanCleanUp(const std::vector<TResultRow>& rows, TKeepRule rule,
                         const TFolderSet& keepIn, const TFolderSet& protectedFolders,
                         int onlyRow) {
    TCleanUpPlan plan;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        if (onlyRow >= 0 && row != onlyRow)
            continue;
        if (!rows[static_cast<size_t>(row)].Group)
            continue;
        const TFileGroup& group = *rows[static_cast<size_t>(row)].Group;
        const int kept = KeptCopy(group, rule, keepIn);
        if (kept < 0)
            continue;
        bool any = false;
        for (int copy = 0; copy < group.Count(); ++copy) {
            if (copy == kept)
                continue;
            if (protectedFolders.Holds(group.Path(copy))) {
                ++plan.ProtectedCopies;
                continue;
            }
            plan.Steps.push_back({row, copy, kept});
            plan.Bytes += group.Info(copy).Size;
            any = true;
        }
        plan.Names += any ? 1 : 0;
    }
    return plan;
}

namespace {

// The work on one group: the steps of one row.
class TGroupCleanUp {
  public:
    TGroupCleanUp(const TFileGroup& group, const TCleanUpMethod& how, TActionLog* log,
                  TCleanUpSummary& summary)
        : FGroup(group), FHow(how), FLog(log), FSummary(summary) {}

    // Runs the steps [first, last) of the plan, telling each file done.
    void Run(const std::vector<TCleanUpStep>& steps, size_t first, size_t last,
             const std::atomic<bool>& stop, const std::function<void()>& fileDone) {
        const TFileInfoRec& keptRecord = FGroup.Info(steps[first].Kept);
        const TRecordedFile kept(keptRecord);
        if (kept.State() != TRecordedFile::rfSame) {
            // Without the copy that stays, nothing of the group goes.
            for (size_t at = first; at < last; ++at) {
                Skip(steps[at], FSummary.Changed,
                     "the kept copy " + keptRecord.FullPath() + " changed: " + kept.ErrorText());
                fileDone();
            }
            return;
        }
        std::vector<TCompared> compared;
        if (FHow.Verify) {
            std::vector<TFileInfoRec> copies;
            for (size_t at = first; at < last; ++at)
                copies.push_back(FGroup.Info(steps[at].Copy));
            std::string keptError;
            compared = CompareContents(keptRecord, copies, keptError);
        }
        for (size_t at = first; at < last; ++at) {
            if (stop.load()) {
                FSummary.Stopped = true;
                return;
            }
            const TCompared* check = FHow.Verify ? &compared[at - first] : nullptr;
            Remove(steps[at], keptRecord, check);
            fileDone();
        }
    }

  private:
    void Skip(const TCleanUpStep& step, int& counter, const std::string& reason) {
        ++counter;
        FSummary.Problems.push_back(FGroup.Path(step.Copy) + ": " + reason);
    }

    void Remove(const TCleanUpStep& step, const TFileInfoRec& keptRecord, const TCompared* check) {
        if (check != nullptr && check->Outcome == TCompared::cDiffers) {
            ++FSummary.Differed;
            return;
        }
        if (check != nullptr && check->Outcome == TCompared::cChanged) {
            Skip(step, FSummary.Changed, check->ErrorText);
            return;
        }
        if (check != nullptr && check->Outcome == TCompared::cFailed) {
            Skip(step, FSummary.Failed, check->ErrorText);
            return;
        }
        const TFileInfoRec& record = FGroup.Info(step.Copy);
        const TRecordedFile doomed(record);
        if (doomed.State() != TRecordedFile::rfSame ||
            (check != nullptr && !doomed.Is(check->Device, check->Inode))) {
            Skip(step, FSummary.Changed,
                 doomed.State() == TRecordedFile::rfSame ? TRecordedFile::ChangedText
                 : doomed.State() == TRecordedFile::rfGone
                     ? std::string("The file no longer exists.")
                     : doomed.ErrorText());
            return;
        }
        // The copy that stays is looked at once more, right before: it must still be there,
        // and must not be this very file reached by another path.
        const TRecordedFile kept(keptRecord);
        if (kept.State() != TRecordedFile::rfSame) {
            Skip(step, FSummary.Changed,
                 "the kept copy " + keptRecord.FullPath() + " changed: " + kept.ErrorText());
            return;
        }
        if (kept.SameFileAs(doomed)) {
            Skip(step, FSummary.Changed,
                 "It is the kept copy itself, reached by another path; it was kept.");
            return;
        }
        if (FHow.DryRun) {
            FSummary.Removed.push_back(step);
            return;
        }
        const TFileRemoval removal =
            RemoveCheckedCopy(doomed, record, keptRecord.FullPath(), FHow.Method, *FLog);
        switch (removal.Outcome) {
        case TFileRemoval::frRemoved:
            FSummary.Removed.push_back(step);
            if (!removal.ErrorText.empty())
                FSummary.Problems.push_back(record.FullPath() + ": " + removal.ErrorText);
            break;
        case TFileRemoval::frGone:
            Skip(step, FSummary.Changed, "The file no longer exists.");
            break;
        case TFileRemoval::frKept:
            Skip(step, FSummary.Failed, removal.ErrorText);
            break;
        }
    }

    const TFileGroup& FGroup;
    const TCleanUpMethod& FHow;
    TActionLog* FLog;
    TCleanUpSummary& FSummary;
};

} // namespace

TCleanUpSummary RunCleanUp(const std::vector<TResultRow>& rows, const TCleanUpPlan& plan,
                           const TCleanUpMethod& how, TActionLog* log,
                           const std::atomic<bool>& stop,
                           const std::function<void(size_t done, size_t total)>& progress) {
    TCleanUpSummary summary;
    if (!how.DryRun && (log == nullptr || !log->Usable())) {
        // Without the log nothing goes.
        summary.Failed = static_cast<int>(plan.Steps.size());
        summary.Problems.push_back(log != nullptr ? log->ErrorText()
                                                  : std::string("No action log."));
        return summary;
    }
    const std::vector<TCleanUpStep>& steps = plan.Steps;
    size_t done = 0;
    auto fileDone = [&] {
        ++done;
        if (progress)
            progress(done, steps.size());
    };
    for (size_t first = 0; first < steps.size();) {
        size_t last = first + 1;
        while (last < steps.size() && steps[last].Row == steps[first].Row)
            ++last;
        if (stop.load()) {
            summary.Stopped = true;
            break;
        }
        const TResultRow& row = rows.at(static_cast<size_t>(steps[first].Row));
        if (row.Group)
            TGroupCleanUp(*row.Group, how, log, summary).Run(steps, first, last, stop, fileDone);
        if (summary.Stopped)
            break;
        first = last;
    }
    return summary;
}

void ApplyRemovals(std::vector<TResultRow>& rows, std::vector<TCleanUpStep> removed) {
    // From the last copy back, so that the indices of those still to go stay valid.
    std::sort(removed.begin(), removed.end(), [](const TCleanUpStep& a, const TCleanUpStep& b) {
        return a.Row != b.Row ? a.Row > b.Row : a.Copy > b.Copy;
    });
    std::vector<bool> touched(rows.size());
    for (const TCleanUpStep& step : removed) {
        TResultRow& row = rows.at(static_cast<size_t>(step.Row));
        if (row.Group && step.Copy < row.Group->Count()) {
            row.Group->Delete(step.Copy);
            touched[static_cast<size_t>(step.Row)] = true;
        }
    }
    size_t kept = 0;
    for (size_t row = 0; row < rows.size(); ++row) {
        if (touched[row] && rows[row].Count() <= 1)
            continue;
        if (kept != row)
            rows[kept] = std::move(rows[row]);
        ++kept;
    }
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(kept), rows.end());
}
