#pragma once

#include <string>

// What moving a file to the trash did.
struct TTrashing {
    int Error = 0;           // 0, or the errno value of the step that failed
    std::string ErrorText;   // "" when it worked; else what a message shows, naming the trash
    std::string TrashedPath; // the file's path inside the trash (".../files/NAME") when it worked
};

// Moves the file `name` of the open folder `folder` (an O_PATH or O_DIRECTORY descriptor; the
// file was just checked to be the recorded one) to the desktop trash of the file's device, laid
// out as freedesktop.org desktops share it. `path` is the file's absolute path (for
// Path= and to find the top directory of its mount). Never copies and never deletes: a file
// that cannot go to the trash stays where it is.
TTrashing MoveToTrash(int folder, const std::string& name, const std::string& path);

// The user's own trash: $XDG_DATA_HOME/Trash when that is an absolute path, else
// $HOME/.local/share/Trash; "" when neither is known.
std::string HomeTrashPath();

// The call that moves the file into the trash (renameat2); tests put one in that fails with an
// errno.
extern int (*TrashRenameAt)(int oldFolder, const char* oldName, int newFolder, const char* newName,
                            unsigned flags);
