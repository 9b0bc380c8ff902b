#pragma once

#include "ActionLog.h"
#include "FileGroup.h"
#include "RecordedFile.h"

#include <string>
#include <vector>

// How a copy is removed: deleted for good, or moved to the desktop trash.
enum class TRemovalMethod { Delete, Trash };

// What Delete or Move to Trash did with one copy of a group.
struct TFileRemoval {
    enum TOutcome {
        frRemoved, // the file was removed
        frGone,    // it no longer existed: nothing to remove, its entry may go
        frKept     // the file stays, for the reason in ErrorText
    };
    TOutcome Outcome = frKept;
    std::string ErrorText;
};

// Removes the copy at `index` of the group, only when it is still the file its record
// describes, another copy, not among `selectedPaths`, is kept on disk and the action log can
// be written; the removal is then appended to the log. The trash never falls back to deleting.
// The group itself is not changed.
TFileRemoval RemoveCopy(const TFileGroup& group, int index,
                        const std::vector<std::string>& selectedPaths, TRemovalMethod method,
                        TActionLog& log);

// The last step of every removal: the copy, just found to be the file of its record (`now`),
// is deleted or moved to the trash, and the removal is appended to the log with the path of the
// copy that was kept.
TFileRemoval RemoveCheckedCopy(const TRecordedFile& now, const TFileInfoRec& record,
                               const std::string& keptPath, TRemovalMethod method, TActionLog& log);
