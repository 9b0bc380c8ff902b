#pragma once

#include <string>

// What moving a file to the trash did.
struct TTrashing {
    int Error = 0;           // 0, or the errno value of the step that failed
    std::string ErrorText;   // "" when it worked; else what a message shows
    std::string TrashedPath; // the file's path inside the trash when it worked
};

// Moves the file `name` of the open folder `folder` to the desktop trash of the file's device.
// `path` is the file's absolute path. Never copies and never deletes: a file that cannot go to
// the trash stays where it is.
TTrashing MoveToTrash(int folder, const std::string& name, const std::string& path);
