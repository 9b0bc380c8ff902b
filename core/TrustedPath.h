#pragma once

#include <string>
#include <sys/stat.h>
#include <vector>

// The folder of a file, reached from "/" one name at a time, so that a name on the way that was
// replaced by a symbolic link after the scan cannot send a removal somewhere else. A link on the
// way is followed only when it is trusted: the link and the folder holding it belong to root or
// to the user running the program, and nobody else may write to that folder. Links the user or
// the system made (~/Music -> /data/music, /bin -> usr/bin) therefore work, while a link someone
// else planted in /tmp or in their own folder ends the walk.
class TTrustedPath {
  public:
    // Walks to the folder holding the last name of the path. A path that is not absolute, or
    // holds an empty, "." or ".." name (a trailing "/" is an empty name), is refused with
    // EINVAL before anything is opened.
    explicit TTrustedPath(const std::string& path);
    ~TTrustedPath();
    TTrustedPath(const TTrustedPath&) = delete;
    TTrustedPath& operator=(const TTrustedPath&) = delete;

    // 0 when the folder was reached; else the errno value of the failure (ENOENT or ENOTDIR
    // when the way no longer exists, ELOOP after too many links, EPERM for a link that is not
    // trusted).
    int Error() const { return FError; }
    bool UntrustedLink() const { return FUntrustedLink; }
    // The text a message shows for the failure; "" when there is none.
    std::string ErrorText() const;

    // The folder reached, opened for *at calls only (O_PATH): its permissions need not allow
    // reading it. -1 after a failure.
    int FolderFd() const { return FFolder; }
    // The last name of the path, looked up in the folder.
    const std::string& Name() const { return FName; }

    // Whether a symbolic link with this status, lying in the folder reached, may be followed.
    bool MayFollow(const struct stat& link) const;

    // A symbolic link is followed only when it and the folder holding it pass this.
    static bool Trusted(const struct stat& link, const struct stat& folder);

    // The text shown for a link that is not followed.
    static const char* const UntrustedLinkText;

  private:
    void Fail(int error);
    void MoveTo(int folder);
    // Follows the link `name` of the current folder: puts its target's names before those
    // still to walk (the next name is the last of `pending`), or ends the walk.
    void FollowLink(const std::string& name, int& linksFollowed, std::vector<std::string>& pending);

    int FFolder = -1;
    int FError = 0;
    bool FUntrustedLink = false;
    std::string FName;
};
