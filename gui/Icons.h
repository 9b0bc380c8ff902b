#pragma once

#include <QIcon>

// The tool bar's images, by the image list's index: 0 exit, 1 save, 2 open, 3 help and about,
// 4 delete, 5 options, 6 start, 7 stop. Taken from the desktop's icon theme, with the style's
// own icons where the theme has none, so that no button is ever blank.
QIcon ActionImage(int index);

// Makes the themes of the desktop reachable even where no desktop set one up.
void SetUpIconTheme();
