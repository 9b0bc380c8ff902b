#include "FileInfoRec.h"

const std::string& TFileInfoRec::DirText() const {
    static const std::string empty;
    return Dir ? *Dir : empty;
}

std::string TFileInfoRec::FullPath() const {
    std::string path = DirText();
    path += Name;
    return path;
}

TFileInfoRec FileInfoForPath(const std::string& fullPath) {
    TFileInfoRec info;
    const auto slash = fullPath.rfind('/');
    if (slash == std::string::npos) {
        info.Name = fullPath;
    } else {
        info.Dir = std::make_shared<const std::string>(fullPath.substr(0, slash + 1));
        info.Name = fullPath.substr(slash + 1);
    }
    return info;
}
