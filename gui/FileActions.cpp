#include "FileActions.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

std::string LastCopyCheck(const TFileGroup& group, const std::string& path,
                          const std::vector<std::string>& selectedPaths) {
    struct stat doomed {};
    const bool exists = lstat(path.c_str(), &doomed) == 0;
    for (int i = 0; i < group.Count(); ++i) {
        const std::string other = group.Path(i);
        if (other == path ||
            std::find(selectedPaths.begin(), selectedPaths.end(), other) != selectedPaths.end())
            continue;
        struct stat status {};
        if (lstat(other.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (exists && status.st_dev == doomed.st_dev && status.st_ino == doomed.st_ino)
            continue; // the same file under another name
        return {};
    }
    return "No other copy of this file exists on disk any more; the last copy is kept.";
}

std::string DirectoryPart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string SystemErrorText(int errorCode) { return std::strerror(errorCode); }
