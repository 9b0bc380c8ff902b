#pragma once

#include "FileGroup.h"
#include "RecordedFile.h"

#include <string>
#include <vector>

// Why a copy may not be deleted: the last copy on disk is never deleted. A result loaded from a
// file is older than the disk, so the check looks at the disk, not at the list: some copy of
// the group that is not to be deleted (neither the copy at `index` nor one of `selectedPaths`)
// must still be the file its record describes, and must not be the doomed file itself under
// another name (the same device and inode). Returns "" when the copy may go, else the reason.
// `kept` is set to the index of the copy found on disk (-1 when there is none).
std::string LastCopyCheck(const TFileGroup& group, int index, const TRecordedFile& doomed,
                          const std::vector<std::string>& selectedPaths, int& kept);

// Whether a path may be handed to the desktop to be opened: its folder is reached by the same
// trusted walk as for a removal and, unless only the folder is to be opened, the file exists and
// is not a symbolic link that the walk would refuse. Returns "" when it may, else the reason.
std::string OpenCheck(const std::string& path, bool folderOnly);

// The folder of a copy: its path up to and including the last "/", or "" for a bare name.
std::string DirectoryPart(const std::string& path);
