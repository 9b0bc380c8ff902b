#include "TwinseekApplication.h"

#include "Desktop.h"

#include <exception>

TTwinseekApplication::TTwinseekApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(ApplicationTitle);
    setApplicationVersion("1.3");
}

bool TTwinseekApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        TDesktop::Current().ShowErrorReport(activeWindow(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        TDesktop::Current().ShowErrorReport(activeWindow(), QString());
    }
    return false;
}
