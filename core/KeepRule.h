#pragma once

#include "FileGroup.h"
#include "FolderSet.h"

#include <string>

// Which copy of a group a clean-up keeps.
enum class TKeepRule {
    Newest,       // the latest last-write time
    Oldest,       // the earliest last-write time
    First,        // the first in group order
    ShortestPath, // the shortest full path
    FirstBelow    // the first in group order that lies below a chosen folder
};

// The rule's name on the command line ("newest", "oldest", "first", "shortest-path"), and back;
// false for a name that is not one.
bool KeepRuleFromName(const std::string& name, TKeepRule& rule);

// The index of the copy the rule keeps; a tie keeps the first in group order. -1 when the rule
// keeps none: an empty group, or no copy below the folder of FirstBelow (`below`).
int KeptCopy(const TFileGroup& group, TKeepRule rule, const TFolderSet& below);
