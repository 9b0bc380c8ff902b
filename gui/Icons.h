#pragma once

#include <QIcon>

// The tool bar's images, by the image list's index.
enum TActionImage : int {
    aiExit = 0,
    aiSave = 1,
    aiOpen = 2,
    aiHelp = 3, // help and about
    aiDelete = 4,
    aiOptions = 5,
    aiStart = 6,
    aiStop = 7,
    aiTrash = 8,
};

// An image taken from the desktop's icon theme, with the style's own icon where the theme has
// none, so that no button is ever blank. Disabled, the image is grey and faint.
QIcon ActionImage(TActionImage index);

// Makes the themes of the desktop reachable even where no desktop set one up.
void SetUpIconTheme();
