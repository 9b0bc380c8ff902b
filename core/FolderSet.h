#pragma once

#include <set>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Folders known by what they are on disk, their device and inode, not by how their path is
// spelled: a path lies below one of them when a folder on its way is one of them, whether it was
// reached through a symbolic link or under another name.
class TFolderSet {
  public:
    TFolderSet() = default;
    // Folders that cannot be looked up, or are no folders, are listed in Missing().
    explicit TFolderSet(const std::vector<std::string>& folders);

    bool IsEmpty() const { return FFolders.empty(); }
    // Whether a folder of the set holds the path, directly or further below.
    bool Holds(const std::string& path) const;
    // The folders of the list that are not in the set, with the reason: "FOLDER: REASON".
    const std::vector<std::string>& Missing() const { return FMissing; }

  private:
    std::set<std::pair<dev_t, ino_t>> FFolders;
    std::vector<std::string> FMissing;
};
