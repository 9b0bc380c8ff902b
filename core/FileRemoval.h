#pragma once

#include "FileGroup.h"

#include <string>
#include <vector>

// What Delete did with one copy of a group.
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
// describes and another copy, not among `selectedPaths`, is kept on disk. The group itself is
// not changed.
TFileRemoval RemoveCopy(const TFileGroup& group, int index,
                        const std::vector<std::string>& selectedPaths);
