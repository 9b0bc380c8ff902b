#include "Desktop.h"

#include "DisplayText.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {
TDesktop* current = nullptr;
}

TDesktop& TDesktop::Current() {
    static TQtDesktop real;
    return current != nullptr ? *current : real;
}

void TDesktop::SetCurrent(TDesktop* desktop) {
    current = desktop;
}

QString ShownText(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

QString DecodedName(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string EncodedName(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

void ReportError(QWidget* parent, const std::string& text) {
    TDesktop::Current().ShowErrorReport(parent, ShownText(text));
}

void RunAction(QWidget* parent, const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        ReportError(parent, error.what());
    }
}

QString ErrorReportText(const QString& text) {
    if (!text.isEmpty() && text.back() > QChar('.'))
        return text + '.';
    return text;
}

void TQtDesktop::ShowErrorReport(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, ErrorReportText(text), QMessageBox::Ok,
                    parent);
    // A name such as "<b>x</b>" is shown as it is, not as rich text.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TQtDesktop::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool TQtDesktop::AskQuestion(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, ApplicationTitle, text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

void TQtDesktop::OpenFile(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TQtDesktop::ExploreFolder(const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void TQtDesktop::OpenUrl(const QString& target) {
    // Whether the desktop could open it is not looked at.
    QDesktopServices::openUrl(QUrl(target));
}

namespace {

// The desktop entry of the default application for plain text, as xdg-mime names it.
QString TextEditorEntry() {
    QProcess query;
    query.start("xdg-mime", {"query", "default", "text/plain"});
    if (!query.waitForFinished(5000) || query.exitCode() != 0)
        return {};
    const QString id = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (id.isEmpty())
        return {};
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Splits an Exec value into words: blanks separate, double quotes group, a backslash escapes.
QStringList ExecWords(const QString& exec) {
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == '\\' && i + 1 < exec.size()) {
            word += exec[++i];
            inWord = true;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

} // namespace

QStringList DesktopEntryCommand(const QString& desktopEntryText, const QString& file) {
    QString exec;
    bool inEntry = false;
    for (const QString& rawLine : desktopEntryText.split('\n')) {
        const QString line = rawLine.trimmed();
        if (line.startsWith('['))
            inEntry = line == "[Desktop Entry]";
        else if (inEntry && line.startsWith("Exec="))
            exec = line.mid(5);
    }
    QStringList command;
    bool fileGiven = false;
    for (const QString& word : ExecWords(exec)) {
        if (word == "%f" || word == "%F" || word == "%u" || word == "%U") {
            command.append(file);
            fileGiven = true;
        } else if (word.size() == 2 && word[0] == '%') {
            if (word[1] == '%')
                command.append("%");
            // Other field codes (%i, %c, %k, ...) are dropped.
        } else {
            command.append(QString(word).replace("%%", "%"));
        }
    }
    if (!command.isEmpty() && !fileGiven)
        command.append(file);
    return command;
}

void TQtDesktop::ShowInTextEditor(const QString& path) {
    const QStringList command = DesktopEntryCommand(TextEditorEntry(), path);
    if (command.isEmpty() || !QProcess::startDetached(command.first(), command.mid(1)))
        OpenFile(path); // no editor known: the file's own default application
}

namespace {

bool RunFileDialog(QWidget* parent, TDesktop::TFileDialog& dialog, QFileDialog::AcceptMode mode) {
    QFileDialog box(parent, dialog.Title, dialog.Directory);
    box.setAcceptMode(mode);
    box.setFileMode(dialog.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    box.setNameFilters(dialog.Filters);
    box.setDefaultSuffix(dialog.DefaultSuffix);
    box.setOption(QFileDialog::ReadOnly, false);
    if (mode == QFileDialog::AcceptSave)
        box.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.TypeIndex >= 1 && dialog.TypeIndex <= dialog.Filters.size())
        box.selectNameFilter(dialog.Filters[dialog.TypeIndex - 1]);
    if (!dialog.FileName.isEmpty())
        box.selectFile(dialog.FileName);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return false;
    dialog.FileName = box.selectedFiles().first();
    dialog.TypeIndex = static_cast<int>(dialog.Filters.indexOf(box.selectedNameFilter())) + 1;
    return true;
}

} // namespace

bool TQtDesktop::GetSaveFileName(QWidget* parent, TFileDialog& dialog) {
    return RunFileDialog(parent, dialog, QFileDialog::AcceptSave);
}

bool TQtDesktop::GetOpenFileName(QWidget* parent, TFileDialog& dialog) {
    return RunFileDialog(parent, dialog, QFileDialog::AcceptOpen);
}
