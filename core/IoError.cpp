#include "IoError.h"

#include <cerrno>
#include <cstring>

EInOutError::EInOutError(int errorCode)
    : std::runtime_error(IoErrorText(errorCode)), FErrorCode(errorCode) {}

std::string IoErrorText(int errorCode) {
    switch (errorCode) {
    case ENOENT:
        return "File not found";
    case ENAMETOOLONG:
    case EINVAL:
        return "Invalid filename";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
        return "File access denied";
    case ENOSPC:
    case EDQUOT:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(errorCode);
    }
}

std::string SystemErrorText(int errorCode) {
    return std::strerror(errorCode);
}
