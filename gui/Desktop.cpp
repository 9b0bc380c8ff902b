#include "Desktop.h"

#include "UnicodeNames.h"

#include "DesktopLauncher.h"
#include "DisplayText.h"
#include "FileActions.h"
#include "FilterSuffix.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <memory>
#include <unicode/utf8.h>

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

// A byte that is no part of valid UTF-8 stands for itself as a lone low surrogate, U+DC80 to
// U+DCFF, which valid UTF-8 never yields; encoding turns it back into the byte.
constexpr char16_t EscapedByteBase = 0xDC00;

QString DecodedName(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(data, i, length, c);
        if (c < 0) {
            // U8_NEXT steps over the longest start of a sequence; each of its bytes is kept.
            for (int32_t b = start; b < i; ++b)
                text += QChar(static_cast<char16_t>(EscapedByteBase + data[b]));
            continue;
        }
        text += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    }
    return text;
}

std::string EncodedName(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    auto append = [&bytes](char32_t c) {
        char buffer[4];
        int32_t used = 0;
        U8_APPEND_UNSAFE(buffer, used, c); // a code point, never a surrogate
        bytes.append(buffer, static_cast<size_t>(used));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            append(QChar::surrogateToUcs4(unit, text[++i].unicode()));
        } else if (unit >= EscapedByteBase + 0x80 && unit <= EscapedByteBase + 0xFF) {
            bytes += static_cast<char>(unit - EscapedByteBase);
        } else if (QChar::isSurrogate(unit)) {
            append(0xFFFD); // a lone surrogate that stands for no byte
        } else {
            append(unit);
        }
    }
    return bytes;
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

QString FileUriOfBytes(const std::string& path) {
    return QStringLiteral("file://") +
           QString::fromLatin1(QByteArray::fromStdString(path).toPercentEncoding("/"));
}

QString FileUri(const QString& path) {
    return FileUriOfBytes(EncodedName(path));
}

namespace {

// Whether a path reaches another program intact as an argument, which is passed as UTF-8: a
// name with bytes that are not UTF-8 would arrive as another name.
bool PassesAsArgument(const QString& path) {
    return IsValidUtf8(EncodedName(path));
}

// The file manager's D-Bus service that shows files selected.
const char* const FileManagerService = "org.freedesktop.FileManager1";
const char* const FileManagerPath = "/org/freedesktop/FileManager1";
// How long the file manager may take to answer before its folder is opened instead.
constexpr int FileManagerTimeout = 10000; // milliseconds

// Hands a target to xdg-open; when it cannot be opened, the desktop's message names it:
// `failure` holds %1 for the target and %2 for the reason.
void OpenWithDesktop(TDesktop& desktop, const QString& target, const QString& shownTarget,
                     const QString& failure) {
    LaunchDesktopProgram(
        {"xdg-open", target}, true, [&desktop, shownTarget, failure](const QString& reason) {
            desktop.ShowMessage(QApplication::activeWindow(), failure.arg(shownTarget, reason));
        });
}

// Hands a file or folder to xdg-open: as its path, or as its file URI when the path would not
// reach xdg-open intact.
void OpenPathWithDesktop(TDesktop& desktop, const QString& path, const QString& failure) {
    const std::string bytes = EncodedName(path);
    OpenWithDesktop(desktop, IsValidUtf8(bytes) ? path : FileUriOfBytes(bytes), ShownText(bytes),
                    failure);
}

} // namespace

void TQtDesktop::OpenFile(const QString& path) {
    OpenPathWithDesktop(*this, path,
                        QStringLiteral("Could not open file: %1 \n\nError message: %2"));
}

void TQtDesktop::ExploreFolder(const QString& folder) {
    OpenPathWithDesktop(*this, folder,
                        QStringLiteral("Could not open folder: %1 \n\nError message: %2"));
}

void TQtDesktop::ExploreFile(const QString& path) {
    const QString folder = DecodedName(DirectoryPart(EncodedName(path)));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        ExploreFolder(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(FileManagerService, FileManagerPath,
                                                       FileManagerService, "ShowItems");
    call << QStringList{FileUri(path)} << QString();
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(call, FileManagerTimeout));
    auto pending = std::make_shared<TPendingDesktopRequest>();
    // Without a file manager that answers, the folder is opened instead.
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, answer,
                     [this, answer, folder, pending] {
                         answer->deleteLater();
                         if (answer->isError())
                             ExploreFolder(folder);
                     });
}

void TQtDesktop::OpenUrl(const QString& target) {
    OpenWithDesktop(*this, target, target,
                    QStringLiteral("Could not open address: %1 \n\nError message: %2"));
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
    auto failed = [this, path](const QString& reason) {
        ShowMessage(QApplication::activeWindow(),
                    QStringLiteral("Could not show file in the text editor: %1 \n\nError "
                                   "message: %2")
                        .arg(ShownText(EncodedName(path)), reason));
    };
    // An editor takes a path, which would reach it as another name.
    if (!PassesAsArgument(path)) {
        failed(QStringLiteral("its name is not valid UTF-8, so the editor would get another name"));
        return;
    }
    const QStringList command = DesktopEntryCommand(TextEditorEntry(), path);
    if (command.isEmpty()) {
        OpenFile(path); // no editor known: the file's own default application
        return;
    }
    LaunchDesktopProgram(command, false, failed);
}

namespace {

bool RunFileDialog(QWidget* parent, TDesktop::TFileDialog& dialog, QFileDialog::AcceptMode mode) {
    QFileDialog box(parent, dialog.Title, dialog.Directory);
    box.setAcceptMode(mode);
    box.setFileMode(dialog.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    box.setNameFilters(dialog.Filters);
    // The dialog of Qt itself: it adds the suffix before it asks whether to replace a file.
    box.setOption(QFileDialog::DontUseNativeDialog);
    box.setDefaultSuffix(dialog.DefaultSuffix);
    box.setOption(QFileDialog::ReadOnly, false);
    if (mode == QFileDialog::AcceptSave)
        box.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.TypeIndex >= 1 && dialog.TypeIndex <= dialog.Filters.size())
        box.selectNameFilter(dialog.Filters[dialog.TypeIndex - 1]);
    if (dialog.SuffixFollowsType)
        FollowFilterWithSuffix(box);
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
