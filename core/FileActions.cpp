#include "FileActions.h"

#include "IoError.h"
#include "TrustedPath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

std::string LastCopyCheck(const TFileGroup& group, int index, const TRecordedFile& doomed,
                          const std::vector<std::string>& selectedPaths, int& kept) {
    kept = -1;
    const std::string path = group.Path(index);
    for (int i = 0; i < group.Count(); ++i) {
        const std::string other = group.Path(i);
        if (i == index || other == path ||
            std::find(selectedPaths.begin(), selectedPaths.end(), other) != selectedPaths.end())
            continue;
        const TRecordedFile copy(group.Info(i));
        if (copy.State() == TRecordedFile::rfSame && !copy.SameFileAs(doomed)) {
            kept = i;
            return {};
        }
    }
    return "No other copy of this file exists on disk any more; the last copy is kept.";
}

std::string OpenCheck(const std::string& path, bool folderOnly) {
    const TTrustedPath way(path);
    if (way.Error() != 0)
        return way.ErrorText();
    if (folderOnly)
        return {};
    struct stat status {};
    if (fstatat(way.FolderFd(), way.Name().c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return SystemErrorText(errno);
    if (S_ISLNK(status.st_mode) && !way.MayFollow(status))
        return TTrustedPath::UntrustedLinkText;
    return {};
}

std::string DirectoryPart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
