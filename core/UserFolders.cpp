#include "UserFolders.h"

#include <cstdlib>

std::string UserFolder(const char* variable, const char* belowHome) {
    const char* value = std::getenv(variable);
    std::string folder;
    if (value != nullptr && value[0] == '/')
        folder = value;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        folder = std::string(home) + belowHome;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}
