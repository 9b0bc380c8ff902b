#include "FolderSet.h"

#include "IoError.h"

#include <cerrno>
#include <sys/stat.h>

TFolderSet::TFolderSet(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        struct stat status {};
        if (stat(folder.c_str(), &status) != 0)
            FMissing.push_back(folder + ": " + SystemErrorText(errno));
        else if (!S_ISDIR(status.st_mode))
            FMissing.push_back(folder + ": " + SystemErrorText(ENOTDIR));
        else
            FFolders.emplace(status.st_dev, status.st_ino);
    }
}

bool TFolderSet::Holds(const std::string& path) const {
    if (FFolders.empty())
        return false;
    // Every folder on the way, from the nearest up to "/", each as it is reached now.
    for (size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        struct stat status {};
        if (stat(path.substr(0, slash).c_str(), &status) == 0 &&
            FFolders.count({status.st_dev, status.st_ino}) != 0)
            return true;
    }
    struct stat root {};
    return !path.empty() && path[0] == '/' && stat("/", &root) == 0 &&
           FFolders.count({root.st_dev, root.st_ino}) != 0;
}
