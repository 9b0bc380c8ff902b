#include "KeepRule.h"

bool KeepRuleFromName(const std::string& name, TKeepRule& rule) {
    if (name == "newest")
        rule = TKeepRule::Newest;
    else if (name == "oldest")
        rule = TKeepRule::Oldest;
    else if (name == "first")
        rule = TKeepRule::First;
    else if (name == "shortest-path")
        rule = TKeepRule::ShortestPath;
    else
        return false;
    return true;
}

int KeptCopy(const TFileGroup& group, TKeepRule rule, const TFolderSet& below) {
    if (group.IsEmpty())
        return -1;
    if (rule == TKeepRule::FirstBelow) {
        for (int i = 0; i < group.Count(); ++i)
            if (below.Holds(group.Path(i)))
                return i;
        return -1;
    }
    int kept = 0;
    for (int i = 1; i < group.Count(); ++i) {
        const TFileInfoRec& copy = group.Info(i);
        const TFileInfoRec& best = group.Info(kept);
        // Only a strictly better copy takes the place of an earlier one.
        const bool better = rule == TKeepRule::Newest   ? copy.LastWriteTime > best.LastWriteTime
                            : rule == TKeepRule::Oldest ? copy.LastWriteTime < best.LastWriteTime
                            : rule == TKeepRule::ShortestPath
                                ? copy.FullPath().size() < best.FullPath().size()
                                : false;
        if (better)
            kept = i;
    }
    return kept;
}
