#pragma once

#include <QString>

class QWidget;

// The program's way to the desktop: message boxes now, the file manager and applications
// later. Tests put a recording implementation in place of the real one.
class TDesktop {
public:
    virtual ~TDesktop() = default;

    // The general error report: a stop-icon box captioned with the program's title.
    virtual void ShowErrorReport(QWidget* parent, const QString& text) = 0;
    // The plain message box: the text and OK.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;

    // The implementation in use; the real desktop unless a test set another.
    static TDesktop& Current();
    static void SetCurrent(TDesktop* desktop);
};

// The real desktop: Qt's message boxes.
class TQtDesktop : public TDesktop {
public:
    void ShowErrorReport(QWidget* parent, const QString& text) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
};

// The text of the general error report: a "." is added when the text does not end in one (or
// in a character that sorts before it).
QString ErrorReportText(const QString& text);

// The application's title: the program file's name.
inline const char* const ApplicationTitle = "twinseek";
