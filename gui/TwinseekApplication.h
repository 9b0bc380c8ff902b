#pragma once

#include <QApplication>

// The application object. An error that no handler catches ends the user action it came from
// and reaches the general error report; the program goes on.
class TTwinseekApplication : public QApplication {
    Q_OBJECT

  public:
    TTwinseekApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
