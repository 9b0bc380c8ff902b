#pragma once

#include "FileGroup.h"

#include <string>
#include <vector>

// Why a copy may not be deleted: the last copy on disk is never deleted. A result loaded from a
// file is older than the disk, so the check looks at the disk, not at the list: some copy of
// the group that is not to be deleted must still exist and must not be the same file (the same
// path, or the same device and inode). Returns "" when the copy may go, else the reason.
std::string LastCopyCheck(const TFileGroup& group, const std::string& path,
                          const std::vector<std::string>& selectedPaths);

// The folder of a copy: its path up to and including the last "/".
std::string DirectoryPart(const std::string& path);

// The system's text for an errno value.
std::string SystemErrorText(int errorCode);
