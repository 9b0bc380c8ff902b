// The main window: start-up and settings, the enabling of its actions, the status bar across a
// scan, one scan for one Start, stopping and closing during a scan, the error report text, About
// and Help, the popup menus from the keyboard.

#include "Desktop.h"
#include "FileListModel.h"
#include "HelpWindow.h"
#include "PathListModel.h"
#include "ScanBridge.h"
#include "TestTree.h"
#include "TwinseekApplication.h"
#include "WindowOptions.h"
#include "WindowTestPlace.h"
#include "frmTwinseek.h"
#include "ui_frmTwinseek.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace {

// Ends the test program when a call that cannot be interrupted from the event loop (a
// destructor) does not return in time.
class TWatchdog {
  public:
    explicit TWatchdog(const char* what, int seconds = 20)
        : FThread([this, what, seconds] {
              std::unique_lock<std::mutex> lock(FMutex);
              if (!FDone.wait_for(lock, std::chrono::seconds(seconds),
                                  [this] { return FReleased; }))
                  qFatal("%s did not finish within %d s", what, seconds);
          }) {}
    ~TWatchdog() {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FReleased = true;
        }
        FDone.notify_all();
        FThread.join();
    }

  private:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FReleased = false;
    std::thread FThread;
};

QString Describe(const TOptionRec& o) {
    return QStringLiteral("mode=%1 case=%2 ignore=[%3] scan=[%4] exclude=[%5] types=[%6]")
        .arg(o.CompareMode)
        .arg(o.CaseSensitive)
        .arg(QString::fromStdString(o.IgnoreChar), QString::fromStdString(o.ScanPath),
             QString::fromStdString(o.ExcludePath), QString::fromStdString(o.FileTypes));
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs a real event loop for a while, so that it also waits for events (QTest::qWait only
// polls and never lets the loop go idle).
void RunEventLoop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The texts of the four status bar panels as shown.
QStringList ShownPanels(const TfrmTwinseek& window) {
    QStringList texts;
    for (int panel = 0; panel < 4; ++panel) {
        const auto* label = window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel));
        texts << (label != nullptr ? label->text() : QStringLiteral("(no panel %1)").arg(panel));
    }
    return texts;
}

QStringList Captions(const TFileListModel& model) {
    QStringList captions;
    for (int row = 0; row < model.rowCount(); ++row)
        captions << model.index(row, 0).data().toString();
    return captions;
}

// Three copies of a.txt, one in each of three subdirectories, and one unique b.txt.
void FillThreeCopies(TTestTree& tree) {
    tree.File("d1/a.txt", 100);
    tree.File("d2/a.txt", 100);
    tree.File("d3/a.txt", 100);
    tree.File("d3/b.txt", 7);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::optional<TWindowTestPlace> FPlace;

    QString WorkPath(const QString& name) const { return FPlace->WorkDir.filePath(name); }

    // Runs a scan of the tree to its end.
    static bool Scan(TfrmTwinseek& window, const TTestTree& tree) {
        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        window.acStartExecute();
        return QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000);
    }

  private slots:
    void init() {
        QFile::remove(TfrmTwinseek::WindowSettingsFile());
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
    }

    void cleanup() {
        const QStringList messages = FPlace->Desktop.Messages;
        FPlace.reset();
        QFile::remove(TfrmTwinseek::WindowSettingsFile());
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
    }

    void startUpReadsTheSettings_data() {
        QTest::addColumn<QByteArray>("config"); // "" none, "-" deleted, "/" a directory
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("reportsError");
        QTest::addColumn<QString>("message"); // told once the window shows; %1: the file
        TOptionRec defaults;
        defaults.ScanPath = "/tmp";
        TOptionRec fromFile;
        fromFile.CompareMode = 2;
        fromFile.CaseSensitive = true;
        fromFile.IgnoreChar = "_";
        fromFile.ScanPath = "/data;/more data";
        fromFile.ExcludePath = "/data/old";
        fromFile.FileTypes = "*.txt";
        QTest::newRow("no settings file")
            << QByteArray() << "Twin Seek" << Describe(defaults) << false << "";
        QTest::newRow("valid configuration")
            << QByteArray(
                   "[Options]\r\nVersion=3\r\nCompareMode=2\r\nCaseSensitive=1\r\nIgnoreChar=_\r\n"
                   "ScanPath=/data;/more data\r\nExcludePath=/data/old\r\nFileTypes=*.txt\r\n\r\n")
            << "Twin Seek [work.twc]" << Describe(fromFile) << false << "";
        QTest::newRow("deleted configuration")
            << QByteArray("-") << "Twin Seek [work.twc]" << Describe(TOptionRec()) << false
            << "%1 does not exist.";
        QTest::newRow("configuration of another version")
            << QByteArray("[Options]\r\nVersion=2\r\nCompareMode=2\r\n") << "Twin Seek [work.twc]"
            << Describe(TOptionRec()) << false
            << "%1 is not a Twinseek configuration file (version 3 expected).";
        QTest::newRow("configuration that cannot be read")
            << QByteArray("/") << "Twin Seek" << Describe(defaults) << true << "";
        // Opened as a file, a pipe without a writer would keep the window from ever appearing.
        QTest::newRow("configuration that is a pipe")
            << QByteArray("|") << "Twin Seek" << Describe(defaults) << true << "";
    }

    void startUpReadsTheSettings() {
        QFETCH(QByteArray, config);
        QFETCH(QString, title);
        QFETCH(QString, options);
        QFETCH(bool, reportsError);
        QFETCH(QString, message);
        const QString configPath = WorkPath("work.twc");
        if (config == "/")
            QVERIFY(QDir().mkdir(configPath));
        else if (config == "|")
            QVERIFY(mkfifo(QFile::encodeName(configPath).constData(), 0600) == 0);
        else if (!config.isEmpty() && config != "-")
            QVERIFY(WriteFile(configPath, config));
        if (!config.isEmpty())
            QVERIFY(WriteFile(WorkPath("Twinseek.ini"),
                              "[Options]\r\nFilename=" + configPath.toUtf8() + "\r\n\r\n"));

        TfrmTwinseek window;
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(Describe(window.Options()), options);
        const QStringList errors =
            reportsError ? QStringList{"Cannot open file " + configPath + "."} : QStringList();
        QStringList shown;
        for (const QString& error : FPlace->Desktop.Errors)
            shown << ErrorReportText(error);
        QCOMPARE(shown, errors);

        // A file that cannot be used is named once, after the window has appeared: the
        // message waits for the event loop, and calls queued after it have run.
        QVERIFY(FPlace->Desktop.Messages.isEmpty());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        bool queuedLater = false;
        QTimer::singleShot(0, &window, [&] { queuedLater = true; });
        QVERIFY(QTest::qWaitFor([&] { return queuedLater; }, 5000));
        QCOMPARE(FPlace->Desktop.Messages,
                 message.isEmpty() ? QStringList() : QStringList{message.arg(configPath)});
        QCOMPARE(FPlace->Desktop.MessageOverShownWindow,
                 QList<bool>(FPlace->Desktop.Messages.size(), true));
        QCOMPARE(Describe(window.Options()), options);
        FPlace->Desktop.Messages.clear();
    }

    void closingWritesTheSettingsFile() {
        {
            TfrmTwinseek window;
            QVERIFY(!QFile::exists("Twinseek.ini"));
        }
        QFile file(WorkPath("Twinseek.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[Options]\r\nFilename=\r\n\r\n"));
        QVERIFY(FPlace->Desktop.Errors.isEmpty());
    }

    void actionsFollowTheScanState() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        Ui::TfrmTwinseek& ui = window.Form();
        auto states = [&] {
            return QList<bool>{ui.acStart->isEnabled(),  ui.acStop->isEnabled(),
                               ui.acOpen->isEnabled(),   ui.acSave->isEnabled(),
                               ui.acDelete->isEnabled(), ui.acOption->isEnabled()};
        };
        //                                Start  Stop   Open   Save   Delete Option
        QCOMPARE(states(), (QList<bool>{true, false, true, false, false, true}));
        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        window.acStartExecute();
        QCOMPARE(states(), (QList<bool>{false, true, false, false, false, true}));
        QVERIFY(QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000));
        QCOMPARE(states(), (QList<bool>{true, false, true, true, false, true}));

        // A scan without duplicates leaves nothing to save.
        TTestTree single({{"only.txt", 5}});
        QVERIFY(Scan(window, single));
        QCOMPARE(states(), (QList<bool>{true, false, true, false, false, true}));
    }

    void pathSelectionEnablesTheFileActions_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<bool>("canDelete");
        QTest::addColumn<bool>("canOpenOrExplore");
        QTest::newRow("none") << QList<int>{} << false << false;
        QTest::newRow("one") << QList<int>{1} << true << true;
        QTest::newRow("two") << QList<int>{0, 2} << true << false;
        QTest::newRow("all three") << QList<int>{0, 1, 2} << false << false;
    }

    void pathSelectionEnablesTheFileActions() {
        QFETCH(QList<int>, selected);
        QFETCH(bool, canDelete);
        QFETCH(bool, canOpenOrExplore);
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        Ui::TfrmTwinseek& ui = window.Form();
        ui.lvFiles->setCurrentIndex(window.FileList().index(0, 0));
        QCOMPARE(window.PathList().rowCount(), 3);
        for (int row : selected)
            ui.lvPath->selectionModel()->select(window.PathList().index(row, 0),
                                                QItemSelectionModel::Select |
                                                    QItemSelectionModel::Rows);
        // The rule runs by itself when the event loop waits for the user.
        RunEventLoop(50);
        QCOMPARE(ui.acDelete->isEnabled(), canDelete);
        QCOMPARE(ui.acTrash->isEnabled(), canDelete);
        QCOMPARE(ui.acOpenFile->isEnabled(), canOpenOrExplore);
        QCOMPARE(ui.acExploreFile->isEnabled(), canOpenOrExplore);
        QVERIFY(ui.acShowNotepad->isEnabled());
    }

    void statusBarAcrossAScan() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        const QStringList start{
            "Time: 00:00:00", "Scanned file names:", "Duplicated files:", "Total space required: "};
        QCOMPARE(ShownPanels(window), start);

        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        window.acStartExecute();
        QCOMPARE(window.PanelText(3), QString("Total space required: 0 Bytes"));
        for (int panel = 0; panel < 3; ++panel)
            QCOMPARE(window.PanelText(panel), start[panel]);

        QVERIFY(QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000));
        // The labels, which follow the texts at display rate during a scan, show the end at once.
        const QStringList end = ShownPanels(window);
        QVERIFY2(QRegularExpression("^Time: \\d\\d:\\d\\d:\\d\\d$").match(end[0]).hasMatch(),
                 qPrintable(end[0]));
        QCOMPARE(end.mid(1), (QStringList{"Files read: 4", "Double files: 1",
                                          "Total space required: 300 Bytes"}));
        for (int panel = 0; panel < 4; ++panel)
            QCOMPARE(window.PanelText(panel), end[panel]);
    }

    void progressMessagesUpdateThePanels() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        // Runs after the window's own handler of each message.
        QStringList wrong;
        int progress = 0, checks = 0;
        connect(window.findChild<TScanBridge*>(), &TScanBridge::Message, &window,
                [&](uint32_t message, int32_t first, int32_t second) {
                    auto expect = [&](int panel, const QString& text) {
                        if (window.PanelText(panel) != text)
                            wrong << QStringLiteral("panel %1 \"%2\", expected \"%3\"")
                                         .arg(panel)
                                         .arg(window.PanelText(panel), text);
                    };
                    if (message == WM_SCAN_PROGRESS) {
                        ++progress;
                        expect(1, QStringLiteral("Files read: %1").arg(first));
                        expect(2, QStringLiteral("Directories read: %1").arg(second));
                    } else if (message == WM_SCAN_CHECK) {
                        ++checks;
                        expect(1, QStringLiteral("Files to check: %1").arg(first));
                    }
                    if (message != WM_SCAN_DONE &&
                        !QRegularExpression("^Time: \\d\\d:\\d\\d:\\d\\d$")
                             .match(window.PanelText(0))
                             .hasMatch())
                        wrong << "panel 0 \"" + window.PanelText(0) + "\"";
                });
        QVERIFY(Scan(window, tree));
        QCOMPARE(progress, 3);
        QCOMPARE(checks, 3);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
    }

    void rowsAfterAScan() {
        TTestTree tree({{"x/a.txt", 100},
                        {"y/a.txt", 100},
                        {"x/b.txt", 7},
                        {"x/makefile", 10},
                        {"y/makefile", 10},
                        {"x/archive.tar.gz", 20},
                        {"y/archive.tar.gz", 20}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        const TFileListModel& rows = window.FileList();
        QCOMPARE(rows.rowCount(), 3);
        const QStringList expected[3] = {{"a.txt", "txt", "2", "200 Bytes"},
                                         {"archive.tar.gz", "gz", "2", "40 Bytes"},
                                         {"makefile", "", "2", "20 Bytes"}};
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 4; ++column)
                QCOMPARE(rows.index(row, column).data().toString(), expected[row][column]);
        QCOMPARE(window.PanelText(1), QString("Files read: 7"));
        QCOMPARE(window.PanelText(2), QString("Double files: 3"));
        QCOMPARE(window.PanelText(3), QString("Total space required: 260 Bytes"));
    }

    void secondScanEmptiesBothListsBeforeAnyMessage() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        window.Form().lvFiles->setCurrentIndex(window.FileList().index(0, 0));
        QCOMPARE(window.PathList().rowCount(), 3);

        window.acStartExecute();
        QCOMPARE(window.FileList().rowCount(), 0);
        QCOMPARE(window.PathList().rowCount(), 0);
        QCOMPARE(window.PathList().PathCaption(), QString("Directories"));
        QCOMPARE(window.PanelText(3), QString("Total space required: 0 Bytes"));
        QCOMPARE(window.PanelText(1), QString("Files read: 4"));
        QVERIFY(QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000));
        QCOMPARE(Captions(window.FileList()), QStringList{"a.txt"});
    }

    void stopDuringTheWalk() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        QList<uint32_t> messages;
        QList<int32_t> doneFiles;
        bool stopAtNext = true;
        connect(window.findChild<TScanBridge*>(), &TScanBridge::Message, &window,
                [&](uint32_t message, int32_t first, int32_t) {
                    messages << message;
                    if (message == WM_SCAN_DONE)
                        doneFiles << first;
                    // The scan thread waits in this message, so the stop comes before its next
                    // step.
                    if (std::exchange(stopAtNext, false))
                        window.Form().acStop->trigger();
                });
        window.acStartExecute();
        QVERIFY(QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000));
        QCOMPARE(messages, (QList<uint32_t>{WM_SCAN_PROGRESS, WM_SCAN_DONE}));
        QCOMPARE(doneFiles, QList<int32_t>{0});
        QCOMPARE(window.FileList().rowCount(), 0);
        QCOMPARE(ShownPanels(window).mid(1), (QStringList{"Files read: 0", "Double files: 0",
                                                          "Total space required: 0 Bytes"}));

        // The next scan runs in full again.
        QVERIFY(Scan(window, tree));
        QCOMPARE(window.PanelText(1), QString("Files read: 4"));
    }

    void closingDuringAScan_data() {
        QTest::addColumn<bool>("fromFirstMessage");
        QTest::newRow("right after Start") << false;
        QTest::newRow("from the first message") << true;
    }

    void closingDuringAScan() {
        QFETCH(bool, fromFirstMessage);
        TTestTree tree;
        for (int dir = 0; dir < 300; ++dir)
            tree.File(QStringLiteral("d%1/a.txt").arg(dir).toStdString(), 10);
        QPointer<TfrmTwinseek> window = new TfrmTwinseek;
        EditOptions(*window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        bool ended = false;
        connect(window->findChild<TScanBridge*>(), &TScanBridge::Message, window,
                [&](uint32_t message) { ended = ended || message == WM_SCAN_DONE; });
        if (fromFirstMessage) {
            connect(
                window->findChild<TScanBridge*>(), &TScanBridge::Message, window,
                [&] { window->close(), window->deleteLater(); }, Qt::SingleShotConnection);
            window->acStartExecute();
            TWatchdog watchdog("Closing the window from a scan message");
            QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 10000);
        } else {
            window->acStartExecute();
            QVERIFY(window->IsScanning());
            TWatchdog watchdog("Closing the window right after Start");
            delete window;
        }
        // The window went while the scan was still walking.
        QVERIFY(!ended);
        QVERIFY(QFile::exists(WorkPath("Twinseek.ini")));
        QVERIFY(FPlace->Desktop.Errors.isEmpty());
    }

    void failedScanEndsIdleWithItsReason_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("shown");
        QTest::newRow("out of memory in the walk") << 0 << "Out of memory";
        QTest::newRow("too many names in the grouping") << 1 << "Too many file names for one scan";
        QTest::newRow("a name in the text") << 2 << "Cannot read <b>\\t\\x1B[2J";
    }

    void failedScanEndsIdleWithItsReason() {
        QFETCH(int, fault);
        QFETCH(QString, shown);
        static int chosen = 0; // read on the scan thread, which Start wakes after it was set
        chosen = fault;
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QCOMPARE(Captions(window.FileList()), QStringList{"a.txt"});

        TScanThread::FaultHook = [](TScanThread::TScanStep step) {
            if (chosen == 0 && step == TScanThread::TScanStep::Walk)
                throw std::bad_alloc();
            if (chosen == 1 && step == TScanThread::TScanStep::Grouping)
                throw std::length_error("Too many file names for one scan");
            if (chosen == 2)
                throw std::runtime_error("Cannot read <b>\t\x1b[2J");
        };
        const bool ended = Scan(window, tree);
        TScanThread::FaultHook = nullptr;
        QVERIFY(ended);
        QCOMPARE(window.FileList().rowCount(), 0);
        QCOMPARE(ShownPanels(window).mid(1), (QStringList{"Files read: 0", "Double files: 0",
                                                          "Total space required: 0 Bytes"}));
        QTRY_COMPARE_WITH_TIMEOUT(FPlace->Desktop.Errors, QStringList{shown}, 5000);

        // The next scan runs in full.
        QVERIFY(Scan(window, tree));
        QCOMPARE(Captions(window.FileList()), QStringList{"a.txt"});
        RunEventLoop(20);
        QCOMPARE(FPlace->Desktop.Errors, QStringList{shown});
    }

    void errorInTheEndOfAScanLeavesTheWindowIdle() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        // Something in showing the result fails once, after the rows were set.
        bool failed = false;
        connect(&window.FileList(), &QAbstractItemModel::modelReset, &window, [&] {
            if (window.IsScanning() && window.FileList().rowCount() > 0 &&
                !std::exchange(failed, true))
                throw std::runtime_error("Cannot show the result");
        });
        QVERIFY(Scan(window, tree));
        QVERIFY(failed);
        QCOMPARE(FPlace->Desktop.Errors, QStringList{"Cannot show the result"});
        // No half-shown result stays behind: the rows set before the failure are gone.
        QCOMPARE(window.FileList().rowCount(), 0);
        QVERIFY(window.Form().acOpen->isEnabled());
        QVERIFY(!window.Form().acStop->isEnabled());

        QVERIFY(Scan(window, tree));
        QCOMPARE(Captions(window.FileList()), QStringList{"a.txt"});
        QCOMPARE(FPlace->Desktop.Errors, QStringList{"Cannot show the result"});
    }

    void errorBeforeAScanStartsLeavesTheWindowIdle() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        QVERIFY(Scan(window, tree));
        // Clearing the rows of the last result fails once, before the scan is started.
        bool failed = false;
        connect(&window.FileList(), &QAbstractItemModel::modelAboutToBeReset, &window, [&] {
            if (!std::exchange(failed, true))
                throw std::runtime_error("Cannot clear the list");
        });
        RunAction(&window, [&] { window.acStartExecute(); });
        QVERIFY(failed);
        QCOMPARE(FPlace->Desktop.Errors, QStringList{"Cannot clear the list"});
        QVERIFY(!window.IsScanning());
        QVERIFY(window.Form().acStart->isEnabled());
        QVERIFY(!window.Form().acStop->isEnabled());

        QVERIFY(Scan(window, tree));
        QCOMPARE(Captions(window.FileList()), QStringList{"a.txt"});
    }

    void actionErrorsShowNamesWithEscapes() {
        RunAction(nullptr, [] {
            throw std::runtime_error("Cannot open file /tmp/a\rb\xff\xe2\x80\xae.twc");
        });
        QCOMPARE(FPlace->Desktop.Errors,
                 QStringList{"Cannot open file /tmp/a\\rb\\xFF\\u202E.twc"});
    }

    void messageBoxesShowPlainText_data() {
        QTest::addColumn<bool>("errorReport");
        QTest::newRow("message") << false;
        QTest::newRow("error report") << true;
    }

    void messageBoxesShowPlainText() {
        QFETCH(bool, errorReport);
        TQtDesktop desktop;
        const QString text = "/tmp/<b>bold</b>.txt";
        Qt::TextFormat format = Qt::AutoText;
        QString shown;
        QElapsedTimer clock;
        clock.start();
        std::function<void()> poll = [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                format = box->textFormat();
                shown = box->text();
                box->accept();
            } else if (clock.elapsed() < 5000) {
                QTimer::singleShot(10, poll);
            }
        };
        QTimer::singleShot(0, poll);
        if (errorReport)
            desktop.ShowErrorReport(nullptr, text);
        else
            desktop.ShowMessage(nullptr, text);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, errorReport ? text + "." : text);
    }

    void errorReportText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter at the end") << "File not found"
                                           << "File not found.";
        QTest::newRow("point at the end") << "x."
                                          << "x.";
        QTest::newRow("character before the point") << "Error!"
                                                    << "Error!";
        QTest::newRow("slash sorts after the point") << "Cannot open file /tmp/"
                                                     << "Cannot open file /tmp/.";
        QTest::newRow("empty") << ""
                               << "";
    }

    void errorReportText() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(ErrorReportText(text), shown);
    }

    // An error that no handler catches ends the action it came from and reaches the general
    // error report; the program goes on. Here: Open of a file that does not exist.
    void uncaughtErrorsReachTheErrorReport() {
        TRecordingDesktop& desktop = FPlace->Desktop;
        const QString missing = WorkPath("missing.twl");
        desktop.DialogAnswers = {{1, missing}};
        TfrmTwinseek window;
        // Triggered from an event, as a click would be, so that the error passes the
        // application object.
        QTimer::singleShot(0, window.Form().acOpen, &QAction::trigger);
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.Errors.isEmpty(), 5000);
        QCOMPARE(desktop.Errors, QStringList{"Cannot open file " + missing + ": File not found"});
        QCOMPARE(window.FileList().rowCount(), 0);
        QVERIFY(window.Form().acStart->isEnabled());
    }

    void aboutIsModal() {
        TfrmTwinseek window;
        QString title;
        QStringList labels;
        bool closedWithOk = false;
        QElapsedTimer clock;
        clock.start();
        std::function<void()> poll = [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                title = dialog->windowTitle();
                for (const QLabel* label : dialog->findChildren<QLabel*>())
                    labels << label->text();
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                QPushButton* ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
                closedWithOk = ok != nullptr;
                if (ok != nullptr)
                    ok->click();
                else
                    dialog->close();
            } else if (clock.elapsed() < 5000) {
                QTimer::singleShot(10, poll);
            } else {
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (qobject_cast<QDialog*>(widget) && widget->isVisible())
                        widget->close();
            }
        };
        QTimer::singleShot(0, poll);
        window.Form().acAbout->trigger();
        QCOMPARE(title, QString("About"));
        QVERIFY2(labels.contains("Version 1.3"), qPrintable(labels.join('|')));
        QVERIFY(closedWithOk);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void helpShowsItsPage_data() {
        QTest::addColumn<bool>("pressF1");
        QTest::addColumn<QString>("page");
        QTest::newRow("F1") << true << "main-window.html#context-1";
        QTest::newRow("Help action") << false << "index.html";
    }

    void helpShowsItsPage() {
        QFETCH(bool, pressF1);
        QFETCH(QString, page);
        TfrmTwinseek window;
        THelpWindow& help = THelpWindow::Instance();
        help.hide();
        help.Browser()->setSource(QUrl("qrc:/help/about.html"));
        if (pressF1)
            QTest::keyClick(window.Form().lvFiles, Qt::Key_F1);
        else
            window.Form().acHelp->trigger();
        QVERIFY(help.isVisible());
        const QString source = help.Browser()->source().toString();
        QVERIFY2(source.endsWith(page), qPrintable(source));
        QVERIFY(!help.Browser()->toPlainText().trimmed().isEmpty());
        help.hide();
    }

    // The hints of menu entries and tool buttons do not push the panels out of the status bar.
    void menuHintsLeaveThePanels() {
        TfrmTwinseek window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList panels = ShownPanels(window);
        auto* statusBar = window.findChild<QStatusBar*>();
        QVERIFY(statusBar);
        int hints = 0;
        for (const char* name : {"mnFile", "mnControl", "mnHelp", "pmFileList", "pmPathList"}) {
            auto* menu = window.findChild<QMenu*>(name);
            QVERIFY2(menu, name);
            for (QAction* action : menu->actions()) {
                if (action->statusTip().isEmpty())
                    continue;
                ++hints;
                // What a menu does when the mouse rests on an entry: the hint goes to the widget
                // the menu came from.
                action->showStatusText(menu->objectName().startsWith("mn")
                                           ? static_cast<QWidget*>(window.menuBar())
                                           : window.Form().lvFiles);
                QCOMPARE(statusBar->currentMessage(), QString());
                for (int panel = 0; panel < 4; ++panel) {
                    const auto* label =
                        window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel));
                    QVERIFY2(label->isVisible(), qPrintable(action->objectName()));
                }
                QCOMPARE(ShownPanels(window), panels);
                // The hint is the entry's tool tip instead.
                QCOMPARE(action->toolTip(), action->statusTip());
            }
            QVERIFY2(menu->toolTipsVisible(), name);
        }
        QVERIFY(hints >= 6);
    }

    // Shift+F10 opens the popup menu of the list that has the focus, as the Menu key does.
    void shiftF10OpensThePopupOfTheFocusedList_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("menu");
        QTest::newRow("duplicate list") << "lvFiles"
                                        << "pmFileList";
        QTest::newRow("path list") << "lvPath"
                                   << "pmPathList";
    }

    void shiftF10OpensThePopupOfTheFocusedList() {
        QFETCH(QString, list);
        QFETCH(QString, menu);
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(Scan(window, tree));
        window.Form().lvFiles->setCurrentIndex(window.FileList().index(0, 0));
        window.Form().lvPath->setCurrentIndex(window.PathList().index(1, 0));
        auto* view = window.findChild<QTreeView*>(list);
        auto* popup = window.findChild<QMenu*>(menu);
        QVERIFY(view && popup);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(popup->isVisible());
        // Below the current row.
        const QRect row = view->visualRect(view->currentIndex());
        QCOMPARE(popup->pos(), view->viewport()->mapToGlobal(row.bottomLeft()));
        for (QMenu* other : window.findChildren<QMenu*>())
            QVERIFY2(other == popup || !other->isVisible(), qPrintable(other->objectName()));
        popup->close();
        // F10 alone or with other keys is not the popup's.
        QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier | Qt::ControlModifier);
        QVERIFY(!popup->isVisible());
    }

    // A scan runs once for each Start, whichever way Start is reached, even when the handler is
    // reached again while a scan runs: a start asked for then would be kept by the scan thread
    // and run after the first, in a window that shows no scan.
    void oneStartGivesOneScan_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Start triggered") << "trigger";
        QTest::newRow("Start triggered twice at once") << "trigger twice";
        QTest::newRow("the handler reached again during the scan") << "handler twice";
        QTest::newRow("the tool button double-clicked") << "double-click";
        QTest::newRow("Control menu from the keyboard, R held") << "keys";
        QTest::newRow("options typed and closed with Enter held, then Start") << "options";
    }

    void oneStartGivesOneScan() {
        QFETCH(QString, how);
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        int scans = 0;
        bool again = how == "handler twice";
        connect(window.findChild<TScanBridge*>(), &TScanBridge::Message, &window,
                [&](uint32_t message) {
                    if (std::exchange(again, false))
                        RunAction(&window, [&] { window.acStartExecute(); });
                    if (message == WM_SCAN_DONE)
                        ++scans;
                });
        QAction* start = window.Form().acStart;
        if (how == "trigger") {
            start->trigger();
        } else if (how == "trigger twice") {
            start->trigger();
            start->trigger();
        } else if (how == "handler twice") {
            window.acStartExecute();
        } else if (how == "double-click") {
            auto* button = qobject_cast<QToolButton*>(
                window.findChild<QToolBar*>("ToolBar1")->widgetForAction(start));
            QVERIFY(button);
            QTest::mouseDClick(button, Qt::LeftButton);
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (how == "options") {
            QTimer::singleShot(0, &window, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto* types = dialog->findChild<QLineEdit*>("edFileTypes");
                QVERIFY(types);
                types->setFocus();
                QTest::keyClicks(types, "*.txt");
                QTest::keyClick(types, Qt::Key_Return);
                QVERIFY(!dialog->isVisible());
                // The key held down: its repeats reach whatever has the focus now.
                for (int repeat = 0; repeat < 5; ++repeat) {
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
                    QApplication::sendEvent(QApplication::focusWidget(), &press);
                }
            });
            window.Form().acOption->trigger();
            QCOMPARE(window.Options().FileTypes, std::string("*.txt"));
            RunEventLoop(100);
            QCOMPARE(scans, 0);
            QVERIFY(!window.IsScanning());
            start->trigger();
        } else {
            QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
            QMenu* control = window.Form().mnControl;
            QVERIFY(QTest::qWaitFor([&] { return control->isVisible(); }, 5000));
            QTest::keyClick(control, Qt::Key_R);
            // The key held down: its repeats reach whatever has the focus now.
            for (int repeat = 0; repeat < 5; ++repeat) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_R, Qt::NoModifier, "r", true);
                QApplication::sendEvent(QApplication::focusWidget(), &press);
            }
        }
        QVERIFY(QTest::qWaitFor([&] { return scans > 0 && !window.IsScanning(); }, 10000));
        // Long enough for a start kept by the scan thread to have shown itself.
        RunEventLoop(300);
        QCOMPARE(scans, 1);
        QVERIFY(!window.IsScanning());
        QCOMPARE(Captions(window.FileList()), QStringList{"a.txt"});
    }

    // A key held down runs no action again: neither Start nor the removals repeat by themselves.
    void heldKeysDoNotRepeatActions() {
        TfrmTwinseek window;
        int actions = 0;
        for (QAction* action : window.findChildren<QAction*>()) {
            if (!action->objectName().startsWith("ac"))
                continue; // the menus' and tool bar's own, which no key reaches
            ++actions;
            QVERIFY2(!action->autoRepeat(), qPrintable(action->objectName()));
        }
        QVERIFY(actions >= 18);
    }

    // While a scan runs, a moving bar beside the panels shows that it lives; the panels keep
    // their texts.
    void busyIndicatorWhileAScanRuns() {
        TTestTree tree;
        FillThreeCopies(tree);
        TfrmTwinseek window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* busy = window.findChild<QProgressBar*>("ScanBusy");
        QVERIFY(busy);
        QVERIFY(!busy->isVisible());
        QList<bool> shownAtMessages;
        connect(window.findChild<TScanBridge*>(), &TScanBridge::Message, &window,
                [&](uint32_t message) {
                    if (message != WM_SCAN_DONE)
                        shownAtMessages << busy->isVisible();
                });
        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        window.acStartExecute();
        QVERIFY(busy->isVisible());
        // It moves without telling how far: no range, no text.
        QCOMPARE(busy->minimum(), 0);
        QCOMPARE(busy->maximum(), 0);
        QVERIFY(!busy->isTextVisible());
        for (int panel = 0; panel < 4; ++panel)
            QVERIFY(
                window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel))->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000));
        QVERIFY(!shownAtMessages.isEmpty());
        QVERIFY(!shownAtMessages.contains(false));
        QVERIFY(!busy->isVisible());
        QCOMPARE(ShownPanels(window).mid(1), (QStringList{"Files read: 4", "Double files: 1",
                                                          "Total space required: 300 Bytes"}));
    }

    void everyToolButtonHasAnIcon() {
        TfrmTwinseek window;
        auto* toolBar = window.findChild<QToolBar*>("ToolBar1");
        QVERIFY(toolBar);
        int buttons = 0;
        for (QAction* action : toolBar->actions()) {
            if (action->isSeparator())
                continue;
            ++buttons;
            QVERIFY2(!action->icon().isNull(), qPrintable(action->objectName()));
        }
        QCOMPARE(buttons, 9);
    }
};

// The program's own application object, which turns uncaught errors into error reports.
int main(int argc, char** argv) {
    // The window's own settings go to a folder of the tests, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    TTwinseekApplication app(argc, argv);
    MainWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "MainWindowTest.moc"
