#include "Icons.h"

#include "DimmedIconEngine.h"

#include <QApplication>
#include <QStyle>

namespace {

struct TImage {
    const char* Names[3];
    QStyle::StandardPixmap Fallback;
};

const TImage Images[] = {
    {{"application-exit", "window-close", nullptr}, QStyle::SP_DialogCloseButton},
    {{"document-save", nullptr, nullptr}, QStyle::SP_DialogSaveButton},
    {{"document-open", "folder-open", nullptr}, QStyle::SP_DialogOpenButton},
    {{"help-browser", "help-about", "help-contents"}, QStyle::SP_DialogHelpButton},
    {{"edit-delete", "user-trash", nullptr}, QStyle::SP_TrashIcon},
    {{"preferences-system", "document-properties", "emblem-system"},
     QStyle::SP_FileDialogDetailedView},
    {{"media-playback-start", "system-search", nullptr}, QStyle::SP_MediaPlay},
    {{"media-playback-stop", "process-stop", nullptr}, QStyle::SP_MediaStop},
    {{"user-trash", "user-trash-full", nullptr}, QStyle::SP_TrashIcon},
};

} // namespace

void SetUpIconTheme() {
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains("/usr/share/icons"))
        paths.append("/usr/share/icons");
    QIcon::setThemeSearchPaths(paths);
    // Without a desktop the theme is "hicolor", which has no action icons.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor")
        QIcon::setThemeName("Adwaita");
}

namespace {

QIcon ThemeImage(const TImage& image) {
    for (const char* name : image.Names) {
        if (name != nullptr && QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return QApplication::style()->standardIcon(image.Fallback);
}

} // namespace

QIcon ActionImage(TActionImage index) {
    if (index < 0 || index >= static_cast<int>(std::size(Images)))
        return {};
    return QIcon(new TDimmedIconEngine(ThemeImage(Images[index])));
}
