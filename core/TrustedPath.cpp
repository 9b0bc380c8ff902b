#include "TrustedPath.h"

#include "IoError.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace {

// As many links as the kernel itself follows in one lookup.
constexpr int MaxLinks = 40;

// The names of a path in reverse order, so that the next one to walk is the last. Empty and
// "." names are dropped: they can only come from a link's target, where they mean nothing.
std::vector<std::string> ReversedNames(const std::string& text) {
    std::vector<std::string> names;
    size_t end = text.size();
    while (end > 0) {
        const size_t slash = text.rfind('/', end - 1);
        const size_t start = slash == std::string::npos ? 0 : slash + 1;
        std::string name = text.substr(start, end - start);
        if (!name.empty() && name != ".")
            names.push_back(std::move(name));
        if (slash == std::string::npos)
            break;
        end = slash;
    }
    return names;
}

bool PlainAbsolutePath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return false;
    size_t start = 1;
    for (;;) {
        const size_t slash = path.find('/', start);
        const size_t length = (slash == std::string::npos ? path.size() : slash) - start;
        const std::string_view name(path.data() + start, length);
        if (name.empty() || name == "." || name == "..")
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

int OpenRoot() {
    return open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

const char* const TTrustedPath::UntrustedLinkText =
    "A symbolic link on the way to the file is not trusted.";

TTrustedPath::TTrustedPath(const std::string& path) {
    if (!PlainAbsolutePath(path)) {
        FError = EINVAL;
        return;
    }
    std::vector<std::string> pending = ReversedNames(path);
    FName = pending.front();
    pending.erase(pending.begin());
    MoveTo(OpenRoot());
    int linksFollowed = 0;
    while (FError == 0 && !pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        // ".." is never a link: it is the physical parent, as the kernel takes it in a target.
        const int next =
            openat(FFolder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next >= 0)
            MoveTo(next);
        else if (errno == ENOTDIR)
            FollowLink(name, linksFollowed, pending); // a link, or the end of the way
        else
            Fail(errno);
    }
}

TTrustedPath::~TTrustedPath() {
    if (FFolder >= 0)
        close(FFolder);
}

void TTrustedPath::Fail(int error) {
    FError = error;
    if (FFolder >= 0)
        close(FFolder);
    FFolder = -1;
}

void TTrustedPath::MoveTo(int folder) {
    if (folder < 0) {
        Fail(errno);
        return;
    }
    if (FFolder >= 0)
        close(FFolder);
    FFolder = folder;
}

void TTrustedPath::FollowLink(const std::string& name, int& linksFollowed,
                              std::vector<std::string>& pending) {
    // The link itself is opened, so that what is checked is what is read.
    const int link = openat(FFolder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) {
        Fail(errno);
        return;
    }
    struct stat status {};
    std::string target(PATH_MAX, '\0');
    ssize_t length = -1;
    int error = 0;
    if (fstat(link, &status) != 0)
        error = errno;
    else if (!S_ISLNK(status.st_mode))
        error = ENOTDIR;
    else if (++linksFollowed > MaxLinks)
        error = ELOOP;
    else if (!MayFollow(status)) {
        FUntrustedLink = true;
        error = EPERM;
    } else if ((length = readlinkat(link, "", target.data(), target.size())) < 0)
        error = errno;
    else if (length == 0)
        error = ENOENT;
    else if (static_cast<size_t>(length) >= target.size())
        error = ENAMETOOLONG;
    close(link);
    if (error != 0) {
        Fail(error);
        return;
    }
    target.resize(static_cast<size_t>(length));
    if (target[0] == '/')
        MoveTo(OpenRoot());
    for (std::string& targetName : ReversedNames(target))
        pending.push_back(std::move(targetName));
}

bool TTrustedPath::MayFollow(const struct stat& link) const {
    struct stat folder {};
    return FFolder >= 0 && fstat(FFolder, &folder) == 0 && Trusted(link, folder);
}

bool TTrustedPath::Trusted(const struct stat& link, const struct stat& folder) {
    const uid_t user = geteuid();
    const auto ownedWell = [user](uid_t owner) { return owner == 0 || owner == user; };
    return ownedWell(link.st_uid) && ownedWell(folder.st_uid) &&
           (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string TTrustedPath::ErrorText() const {
    if (FError == 0)
        return {};
    if (FUntrustedLink)
        return UntrustedLinkText;
    if (FError == EINVAL)
        return IoErrorText(EINVAL);
    return SystemErrorText(FError);
}
