// The real desktop: the save dialog's suffix, and files, folders and addresses handed to
// xdg-open and the file manager, with what the user is told when the desktop cannot open them.
// The desktop's programs are stand-ins on PATH; the file manager is offered on a private session
// bus that main() starts (none when TWINSEEK_TEST_NO_SESSION_BUS is set).

#include "Desktop.h"
#include "DesktopLauncher.h"
#include "FilterSuffix.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <random>

namespace {

// The address of the private session bus, empty without one.
QString BusAddress;

const char* const FileManagerName = "org.freedesktop.FileManager1";

// The real desktop, with its messages kept instead of shown.
class TKeepingDesktop : public TQtDesktop {
  public:
    QStringList Messages;
    void ShowMessage(QWidget*, const QString& text) override { Messages << text; }
};

// The file manager's D-Bus service: keeps what it is asked to show, or fails.
class TFakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    QList<QStringList> Shown;
    QStringList StartupIds;
    bool Fail = false;

  public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Shown << uris;
        StartupIds << startupId;
        if (Fail)
            sendErrorReply(QDBusError::Failed, "cannot show that");
    }
};

// Stand-ins for xdg-open and xdg-mime in a folder put first on PATH. xdg-open writes its
// arguments to a log and ends as TEST_OPEN_CODE says, with TEST_OPEN_ERROR on standard error.
class TFakeDesktopPrograms {
  public:
    TFakeDesktopPrograms() : FOldPath(qgetenv("PATH")) {
        qputenv("PATH", FDir.path().toLocal8Bit() + ":" + FOldPath);
        qputenv("TEST_OPEN_LOG", Log().toLocal8Bit());
        qputenv("XDG_DATA_HOME", FDir.filePath("data").toLocal8Bit());
        QDir(FDir.path()).mkpath("data/applications");
        SetOpenResult(0, "");
    }
    ~TFakeDesktopPrograms() {
        qputenv("PATH", FOldPath);
        qunsetenv("TEST_OPEN_LOG");
        qunsetenv("XDG_DATA_HOME");
    }

    bool IsValid() const { return FDir.isValid(); }
    QString Log() const { return FDir.filePath("opened.log"); }
    void AddXdgOpen() {
        Write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$TEST_OPEN_LOG\"\n"
                          "[ -n \"$TEST_OPEN_ERROR\" ] && printf '%s\\n' \"$TEST_OPEN_ERROR\" >&2\n"
                          "exit \"$TEST_OPEN_CODE\"\n");
    }
    // xdg-mime names a text editor whose desktop entry runs `exec`.
    void AddTextEditor(const QString& exec) {
        Write("xdg-mime", "#!/bin/sh\necho fake-editor.desktop\n");
        QFile entry(FDir.filePath("data/applications/fake-editor.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write(
            ("[Desktop Entry]\nType=Application\nName=Editor\nExec=" + exec + "\n").toUtf8());
    }
    void SetOpenResult(int code, const QString& error) {
        qputenv("TEST_OPEN_CODE", QByteArray::number(code));
        qputenv("TEST_OPEN_ERROR", error.toLocal8Bit());
    }
    QStringList Opened() const {
        QFile log(Log());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(log.readAll()).split('\n');
        lines.removeAll(QString());
        return lines;
    }
    QString Path(const QString& name) const { return FDir.filePath(name); }

  private:
    void Write(const QString& name, const QByteArray& script) {
        QFile file(FDir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QTemporaryDir FDir;
    QByteArray FOldPath;
};

// Runs the real save dialog; `script` plays the user once it is open.
bool RunSaveDialog(TDesktop::TFileDialog& offer, const std::function<void(QFileDialog&)>& script) {
    bool played = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        played = true;
        script(*dialog);
    });
    TKeepingDesktop desktop;
    const bool accepted = desktop.GetSaveFileName(nullptr, offer);
    return played && accepted;
}

// Chooses a file type as the user does: the combo box moved with the arrow keys.
void ChooseType(QFileDialog& dialog, int index) {
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(types);
    while (types->currentIndex() < index)
        QTest::keyClick(types, Qt::Key_Down);
    while (types->currentIndex() > index)
        QTest::keyClick(types, Qt::Key_Up);
}

void TypeName(QFileDialog& dialog, const QString& name) {
    auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(edit);
    edit->setText(name);
}

const QStringList SaveFilters{"Twin seek list(*.twl)", "Textfile (*.txt)", "All files (*.*)"};

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void filterSuffix_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("list") << "Twin seek list(*.twl)"
                              << "twl";
        QTest::newRow("text") << "Textfile (*.txt)"
                              << "txt";
        QTest::newRow("all files") << "All files (*.*)"
                                   << "";
        QTest::newRow("everything") << "Everything (*)"
                                    << "";
        QTest::newRow("first of several") << "Web page (*.html *.htm)"
                                          << "html";
        QTest::newRow("wildcard in the extension") << "Backups (*.ba?)"
                                                   << "";
        QTest::newRow("bare pattern") << "*.twc"
                                      << "twc";
        QTest::newRow("name without extension") << "Make files (Makefile)"
                                                << "";
    }

    void filterSuffix() {
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        QCOMPARE(FilterSuffix(filter), suffix);
    }

    void saveSuffixFollowsTheType_data() {
        QTest::addColumn<int>("startType");      // 1-based, as the window offers it
        QTest::addColumn<QList<int>>("choices"); // 0-based combo indexes, in turn
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("savedType");
        QTest::newRow("text file") << 1 << QList<int>{1} << "report2"
                                   << "report2.txt" << 2;
        QTest::newRow("all files: no suffix") << 1 << QList<int>{2} << "report2"
                                              << "report2" << 3;
        QTest::newRow("text, then the list again") << 1 << QList<int>{1, 0} << "report2"
                                                   << "report2.twl" << 1;
        QTest::newRow("started on text") << 2 << QList<int>{} << "report2"
                                         << "report2.txt" << 2;
        QTest::newRow("a suffix typed stays") << 1 << QList<int>{1} << "report2.dat"
                                              << "report2.dat" << 2;
    }

    void saveSuffixFollowsTheType() {
        QFETCH(int, startType);
        QFETCH(QList<int>, choices);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QFETCH(int, savedType);
        QTemporaryDir folder;
        TDesktop::TFileDialog offer;
        offer.Filters = SaveFilters;
        offer.DefaultSuffix = "twl";
        offer.SuffixFollowsType = true;
        offer.Directory = folder.path();
        offer.TypeIndex = startType;
        QVERIFY(RunSaveDialog(offer, [&](QFileDialog& dialog) {
            for (int choice : choices)
                ChooseType(dialog, choice);
            TypeName(dialog, typed);
            QMetaObject::invokeMethod(&dialog, "accept"); // as the Save button does
        }));
        QCOMPARE(offer.FileName, folder.filePath(saved));
        QCOMPARE(offer.TypeIndex, savedType);
    }

    // The question before replacing a file names the file that is written.
    void replaceQuestionConcernsTheRealName_data() {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("asked"); // "" when no question comes
        QTest::newRow("the text file exists") << "report2.txt"
                                              << "report2.txt";
        QTest::newRow("only a list of that name exists") << "report2.twl"
                                                         << "";
    }

    void replaceQuestionConcernsTheRealName() {
        QFETCH(QString, existing);
        QFETCH(QString, asked);
        QTemporaryDir folder;
        QFile file(folder.filePath(existing));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        TDesktop::TFileDialog offer;
        offer.Filters = SaveFilters;
        offer.DefaultSuffix = "twl";
        offer.SuffixFollowsType = true;
        offer.Directory = folder.path();
        QString question;
        QVERIFY(RunSaveDialog(offer, [&](QFileDialog& dialog) {
            ChooseType(dialog, 1);
            TypeName(dialog, "report2");
            QTimer::singleShot(0, [&] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    question = box->text();
                    box->button(QMessageBox::Yes)->click();
                }
            });
            QMetaObject::invokeMethod(&dialog, "accept"); // as the Save button does
        }));
        QCOMPARE(offer.FileName, folder.filePath("report2.txt"));
        if (asked.isEmpty())
            QCOMPARE(question, QString());
        else
            QVERIFY2(question.startsWith(asked + " already exists"), qPrintable(question));
    }

    // What the desktop cannot open is named in one message with the reason; what it opens
    // gives none.
    void whatTheDesktopCannotOpen_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("xdgOpen"); // installed
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("message"); // "" for none; %1: the folder of the fakes
        const QString file = "/no/such/a b.txt";
        QTest::newRow("open file, no xdg-open")
            << "file" << false << 0 << ""
            << "Could not open file: /no/such/a b.txt \n\nError message: xdg-open was not found; "
               "no desktop program is there to open it.";
        QTest::newRow("open file, no desktop")
            << "file" << true << 3 << "xdg-open: no method available for opening '/no/such/a b.txt'"
            << "Could not open file: /no/such/a b.txt \n\nError message: xdg-open: no method "
               "available for opening '/no/such/a b.txt'";
        QTest::newRow("open file, silent failure")
            << "file" << true << 4 << ""
            << "Could not open file: /no/such/a b.txt \n\nError message: xdg-open ended with exit "
               "code 4.";
        QTest::newRow("open file") << "file" << true << 0 << ""
                                   << "";
        QTest::newRow("folder, no xdg-open")
            << "folder" << false << 0 << ""
            << "Could not open folder: /no/such/ \n\nError message: xdg-open was not found; no "
               "desktop program is there to open it.";
        QTest::newRow("folder") << "folder" << true << 0 << ""
                                << "";
        QTest::newRow("address, no desktop")
            << "address" << true << 3 << "no method"
            << "Could not open address: http://www.example.org \n\nError message: no method";
        QTest::newRow("text editor unknown: the default application")
            << "editor" << false << 0 << ""
            << "Could not open file: /no/such/a b.txt \n\nError message: xdg-open was not found; "
               "no desktop program is there to open it.";
        QTest::newRow("text editor that does not start")
            << "missing editor" << true << 0 << ""
            << "Could not show file in the text editor: /no/such/a b.txt \n\nError message: "
               "no-such-editor was not found; no desktop program is there to open it.";
        QTest::newRow("name with a line break")
            << "file with line break" << true << 3 << "no method"
            << "Could not open file: /no/such/a\\nb.txt \n\nError message: no method";
    }

    void whatTheDesktopCannotOpen() {
        QFETCH(QString, action);
        QFETCH(bool, xdgOpen);
        QFETCH(int, code);
        QFETCH(QString, error);
        QFETCH(QString, message);
        TFakeDesktopPrograms fakes;
        QVERIFY(fakes.IsValid());
        if (xdgOpen)
            fakes.AddXdgOpen();
        fakes.SetOpenResult(code, error);
        if (action == "missing editor")
            fakes.AddTextEditor("no-such-editor %f");
        else
            fakes.AddTextEditor("");
        TKeepingDesktop desktop;
        QString target;
        if (action == "file") {
            target = "/no/such/a b.txt";
            desktop.OpenFile(target);
        } else if (action == "file with line break") {
            target = "/no/such/a\nb.txt";
            desktop.OpenFile(target);
        } else if (action == "folder") {
            target = "/no/such/";
            desktop.ExploreFolder(target);
        } else if (action == "address") {
            target = "http://www.example.org";
            desktop.OpenUrl(target);
        } else {
            target = "/no/such/a b.txt";
            desktop.ShowInTextEditor(target);
        }
        QTRY_COMPARE(PendingDesktopPrograms(), 0);
        QCOMPARE(desktop.Messages, message.isEmpty() ? QStringList() : QStringList{message});
        if (xdgOpen && action != "missing editor")
            QCOMPARE(fakes.Opened(), target.split('\n'));
    }

    // Explore file: the file manager shows the file selected; without one that can, its folder
    // is opened.
    void exploreFile_data() {
        QTest::addColumn<QString>("fileManager"); // "shows", "fails" or "none"
        QTest::addColumn<bool>("xdgOpen");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QStringList>("messages");
        const QString uri = "file:///data/my%20files/%0A%C3%A9%25.txt";
        QTest::newRow("file manager shows it")
            << "shows" << true << QStringList{uri} << QStringList{} << QStringList{};
        QTest::newRow("file manager fails: the folder")
            << "fails" << true << QStringList{uri} << QStringList{"/data/my files/"}
            << QStringList{};
        QTest::newRow("no file manager: the folder")
            << "none" << true << QStringList{} << QStringList{"/data/my files/"} << QStringList{};
        QTest::newRow("no file manager, no desktop")
            << "none" << false << QStringList{} << QStringList{}
            << QStringList{"Could not open folder: /data/my files/ \n\nError message: xdg-open "
                           "was not found; no desktop program is there to open it."};
    }

    void exploreFile() {
        QFETCH(QString, fileManager);
        QFETCH(bool, xdgOpen);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, opened);
        QFETCH(QStringList, messages);
        if (fileManager != "none" && BusAddress.isEmpty())
            QSKIP("no session bus to offer a file manager on");
        TFakeDesktopPrograms fakes;
        QVERIFY(fakes.IsValid());
        if (xdgOpen)
            fakes.AddXdgOpen();
        TFakeFileManager manager;
        manager.Fail = fileManager == "fails";
        std::unique_ptr<QDBusConnection> service;
        if (fileManager != "none") {
            service = std::make_unique<QDBusConnection>(
                QDBusConnection::connectToBus(BusAddress, "file-manager"));
            QVERIFY(service->registerObject("/org/freedesktop/FileManager1", &manager,
                                            QDBusConnection::ExportAllSlots));
            QVERIFY(service->registerService(FileManagerName));
        }
        TKeepingDesktop desktop;
        desktop.ExploreFile(QString::fromUtf8("/data/my files/\n\xc3\xa9%.txt"));
        QTRY_COMPARE(PendingDesktopPrograms(), 0);
        if (service) {
            service->unregisterService(FileManagerName);
            service->unregisterObject("/org/freedesktop/FileManager1");
            QDBusConnection::disconnectFromBus("file-manager");
        }
        QCOMPARE(manager.Shown.isEmpty() ? QStringList() : manager.Shown.first(), shown);
        if (!shown.isEmpty())
            QCOMPARE(manager.StartupIds, QStringList{""});
        QCOMPARE(fakes.Opened(), opened);
        QCOMPARE(desktop.Messages, messages);
    }

    void fileUri() {
        QCOMPARE(FileUri("/a b/c#d?e%f.txt"), QString("file:///a%20b/c%23d%3Fe%25f.txt"));
        QCOMPARE(FileUri(QString::fromUtf8("/x/\xc3\xa9\n")), QString("file:///x/%C3%A9%0A"));
        QCOMPARE(FileUri(DecodedName("/x/caf\xe9")), QString("file:///x/caf%E9"));
    }

    // Every name comes back from a widget's text with the bytes it had, also bytes that are not
    // UTF-8; valid UTF-8 reads as the text it is.
    void namesKeepEveryByte() {
        const std::string names[] = {
            "",
            "plain.txt",
            "caf\xc3\xa9 \xf0\x9f\x98\x80.txt", // é and an emoji
            "caf\xe9.txt",                      // Latin-1
            "\xff\xfe\x80\xc3",                 // stray bytes, a sequence cut short
            "\xed\xa0\x80\xed\xb2\x80",         // encoded surrogates
            "\xc0\xaf\xe0\x80\xaf",             // overlong forms
            "\xf4\x90\x80\x80",                 // above U+10FFFF
            "a\r\nb\x01",
        };
        for (const std::string& name : names)
            QCOMPARE(EncodedName(DecodedName(name)), name);
        std::mt19937 rng(5);
        for (int i = 0; i < 2000; ++i) {
            std::string name(rng() % 12, '\0');
            for (char& c : name)
                c = static_cast<char>(rng() % 4 == 0 ? 0x80 + rng() % 0x80 : rng() % 0x100);
            QCOMPARE(EncodedName(DecodedName(name)), name);
        }
        QCOMPARE(DecodedName("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
        // A lone surrogate typed in that stands for no byte is written as U+FFFD.
        QCOMPARE(EncodedName(QString(QChar(0xD800)) + "x"), std::string("\xef\xbf\xbdx"));
        QCOMPARE(EncodedName(QString(QChar(0xDC41))), std::string("\xef\xbf\xbd"));
    }

    // A name that is not UTF-8 would reach another program as another name: xdg-open gets the
    // file's URI, and the text editor, which takes paths, is not asked.
    void namesThatAreNotUtf8ReachTheDesktopUnchanged() {
        TFakeDesktopPrograms fakes;
        QVERIFY(fakes.IsValid());
        fakes.AddXdgOpen();
        fakes.AddTextEditor("fake-editor %f");
        TKeepingDesktop desktop;
        const QString path = DecodedName("/no/such/caf\xe9 1.txt");
        desktop.OpenFile(path);
        desktop.ExploreFolder(DecodedName("/no/\xff/"));
        desktop.ShowInTextEditor(path);
        QTRY_COMPARE(PendingDesktopPrograms(), 0);
        QStringList opened = fakes.Opened(); // the two start side by side
        opened.sort();
        QCOMPARE(opened, (QStringList{"file:///no/%FF/", "file:///no/such/caf%E9%201.txt"}));
        QCOMPARE(desktop.Messages,
                 QStringList{"Could not show file in the text editor: /no/such/caf\\xE9 1.txt "
                             "\n\nError message: its name is not valid UTF-8, so the editor would "
                             "get another name"});
    }
};

// Starts a session bus of the test's own, so that no file manager of the machine answers.
int main(int argc, char** argv) {
    QProcess bus;
    QTemporaryDir busDir;
    if (!qEnvironmentVariableIsSet("TWINSEEK_TEST_NO_SESSION_BUS") && busDir.isValid() &&
        !QStandardPaths::findExecutable("dbus-daemon").isEmpty()) {
        QFile config(busDir.filePath("bus.conf"));
        if (config.open(QIODevice::WriteOnly)) {
            config.write(
                "<busconfig><type>session</type><listen>unix:dir=" + busDir.path().toUtf8() +
                "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
            config.close();
            bus.start("dbus-daemon",
                      {"--nofork", "--print-address", "--config-file=" + config.fileName()});
            if (bus.waitForReadyRead(10000))
                BusAddress = QString::fromUtf8(bus.readLine()).trimmed();
        }
        if (BusAddress.isEmpty())
            qWarning("no private session bus: the file manager is not tried");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", BusAddress.toUtf8());
    }
    int status = 0;
    {
        QApplication app(argc, argv);
        DesktopTest test;
        QTEST_SET_MAIN_SOURCE_PATH
        status = QTest::qExec(&test, argc, argv);
    }
    if (bus.state() != QProcess::NotRunning) {
        bus.terminate();
        bus.waitForFinished(5000);
    }
    return status;
}
#include "DesktopTest.moc"
