#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QWidget;

// The program's way to the desktop: message boxes, file dialogs, the file manager and the
// applications that open files. Tests put a recording implementation in place of the real one.
class TDesktop {
  public:
    virtual ~TDesktop() = default;

    // The general error report: a stop-icon box captioned with the program's title.
    virtual void ShowErrorReport(QWidget* parent, const QString& text) = 0;
    // The plain message box: the text and OK.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // A question answered Yes or No; No is the default button. By default the answer is No.
    virtual bool AskQuestion(QWidget* /*parent*/, const QString& /*text*/) { return false; }

    // The desktop's applications; by default nothing is started. When the desktop cannot do
    // what was asked, a message says what could not be opened and why.
    // Opens a file with the desktop's default application for it.
    virtual void OpenFile(const QString& /*path*/) {}
    // Opens a file with the desktop's application for plain text, whatever its type.
    virtual void ShowInTextEditor(const QString& /*path*/) {}
    // Shows a file in the file manager, selected where the file manager can do that, else by
    // opening its folder.
    virtual void ExploreFile(const QString& /*path*/) {}
    // Opens the file manager on a folder.
    virtual void ExploreFolder(const QString& /*folder*/) {}
    // Opens a web, mail or FTP address.
    virtual void OpenUrl(const QString& /*target*/) {}

    // A file dialog. Filters are Qt name filters; typeIndex is the 1-based index of the chosen
    // filter, in and out; fileName is the proposed name, in and out. False when cancelled.
    struct TFileDialog {
        QString Title;
        QStringList Filters;
        QString DefaultSuffix;
        // The suffix added to a name typed without one is that of the file type chosen while
        // the dialog is open ("Textfile (*.txt)": ".txt"; "All files (*.*)": none), instead of
        // DefaultSuffix.
        bool SuffixFollowsType = false;
        QString Directory;
        int TypeIndex = 1;
        QString FileName;
        bool MustExist = false; // an open dialog that accepts only existing files
    };
    // By default the dialogs are cancelled.
    virtual bool GetSaveFileName(QWidget* /*parent*/, TFileDialog& /*dialog*/) { return false; }
    // The file need not exist: a name typed there may fail to open.
    virtual bool GetOpenFileName(QWidget* /*parent*/, TFileDialog& /*dialog*/) { return false; }

    // The implementation in use; the real desktop unless a test set another.
    static TDesktop& Current();
    static void SetCurrent(TDesktop* desktop);
};

// The real desktop: Qt's message boxes and file dialogs; files, folders and addresses go to
// xdg-open, files to be shown selected to the file manager over D-Bus.
class TQtDesktop : public TDesktop {
  public:
    void ShowErrorReport(QWidget* parent, const QString& text) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    bool AskQuestion(QWidget* parent, const QString& text) override;
    void OpenFile(const QString& path) override;
    void ShowInTextEditor(const QString& path) override;
    void ExploreFile(const QString& path) override;
    void ExploreFolder(const QString& folder) override;
    void OpenUrl(const QString& target) override;
    bool GetSaveFileName(QWidget* parent, TFileDialog& dialog) override;
    bool GetOpenFileName(QWidget* parent, TFileDialog& dialog) override;
};

// The command that the desktop entry of an application runs for a file: its Exec line with
// the field codes replaced, the file as one argument of its own. Empty when there is no Exec.
QStringList DesktopEntryCommand(const QString& desktopEntryText, const QString& file);

// The file URI of a path: its bytes, percent-encoded where a URI needs it.
QString FileUri(const QString& path);
// The same for a path's bytes as they are on disk.
QString FileUriOfBytes(const std::string& path);

// Text that may hold a file name, as a message box shows it: the controls and stray bytes a name
// may hold are written as C escapes.
QString ShownText(const std::string& bytes);

// A file name or list text between its bytes on disk and the text a widget edits: UTF-8 is
// decoded, and every byte that is not part of valid UTF-8 becomes a lone surrogate U+DC80 to
// U+DCFF (shown as a replacement mark) that encoding turns back into the byte, so that every
// name survives the way there and back. Qt's own conversions would replace such bytes for good.
QString DecodedName(const std::string& bytes);
std::string EncodedName(const QString& text);

// The general error report for an error text, which may hold a file name.
void ReportError(QWidget* parent, const std::string& text);

// Runs a user action; an error it does not catch ends it and reaches the general error report
// (ReportError).
// Errors are caught here, where the action was started, rather than after they passed through
// the toolkit's own code, which does not expect them.
void RunAction(QWidget* parent, const std::function<void()>& action);

// The text of the general error report: a "." is added when the text does not end in one (or
// in a character that sorts before it).
QString ErrorReportText(const QString& text);

// The application's title: the program file's name.
inline const char* const ApplicationTitle = "twinseek";
