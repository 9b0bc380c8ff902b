#include "TwinseekApplication.h"

#include "Desktop.h"
#include "Version.h"

#include <QIcon>

#include <exception>

TTwinseekApplication::TTwinseekApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(ApplicationTitle);
    setApplicationVersion(TwinseekVersion);
    setDesktopFileName("org.twinseek.Twinseek");
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/twinseek-%1.png").arg(size), QSize(size, size));
    setWindowIcon(QIcon::fromTheme("org.twinseek.Twinseek", icon));
}

bool TTwinseekApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ReportError(activeWindow(), error.what());
    } catch (...) {
        TDesktop::Current().ShowErrorReport(activeWindow(), QString());
    }
    return false;
}
