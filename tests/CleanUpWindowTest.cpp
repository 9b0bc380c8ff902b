// Clean up in the window: the dialog's choices and preview, the run on its own thread with its
// state, progress and Stop, and what is left on disk, in the trash, in the log and in the list.

#include "Desktop.h"
#include "FileListModel.h"
#include "RecordedFile.h"
#include "TestTree.h"
#include "WhenCleanUpOpens.h"
#include "WindowTestPlace.h"
#include "frmCleanUp.h"
#include "frmTwinseek.h"
#include "ui_frmCleanUp.h"
#include "ui_frmTwinseek.h"

#include <QApplication>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

// Holds the first removal of a permanent deletion until the test lets it go, so that the window
// can be looked at while the clean-up runs.
struct THeldRemoval {
    static inline std::atomic<bool> Entered{false};
    static inline std::atomic<bool> Released{false};
    static inline std::atomic<int> Count{0};

    static int UnlinkAt(int folder, const char* name, int flags) {
        if (Count++ == 0) {
            Entered = true;
            for (int wait = 0; wait < 10000 && !Released; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return ::unlinkat(folder, name, flags);
    }
};

// A removal that fails with an error nobody catches on the way.
int ThrowingUnlinkAt(int, const char*, int) {
    throw std::runtime_error("out of order");
}

bool Scan(TfrmTwinseek& window, const TTestTree& tree) {
    TOptionRec options = window.Options();
    options.ScanPath = tree.Root();
    options.CompareMode = cmNameOnly;
    window.SetOptions(options);
    window.acStartExecute();
    return QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000);
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

QStringList Column0(const QAbstractItemModel& model) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, 0).data().toString() + " " +
                     model.index(row, TFileListModel::ColCount).data().toString();
    return texts;
}

QList<QByteArray> LogLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeLast(); // the empty text after the last LF
    return lines;
}

// A tree where the rule "shortest path" keeps the copies in k/: a.txt has an equal copy in other/
// and one in the protected prot/, b.txt a copy of the same size but other bytes, c.txt one equal
// copy.
void MakeCopies(TTestTree& tree) {
    for (const char* path : {"k/a.txt", "other/a.txt", "prot/a.txt", "k/b.txt", "other/b.txt",
                             "k/c.txt", "other/c.txt"}) {
        tree.File(path, 10);
        WriteBytes(tree / path, "0123456789");
    }
    WriteBytes(tree / "other/b.txt", "9876543210");
}

} // namespace

class CleanUpWindowTest : public QObject {
    Q_OBJECT

    std::optional<TWindowTestPlace> FPlace;

    QString WorkPath(const QString& name) const { return FPlace->WorkDir.filePath(name); }

  private slots:
    void init() {
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
        // The action log and the trash of these tests lie in their working folder.
        FPlace->KeepRemovalsHere();
    }

    void cleanup() {
        TRecordedFile::UnlinkAt = ::unlinkat;
        FPlace.reset();
    }

    void previewFollowsTheChoices() {
        TTestTree tree({{"k/a.txt", 10}, {"other/a.txt", 10}, {"k/b.txt", 20}, {"long/b.txt", 20}});
        tree.Dir("empty");
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QVERIFY(window.Form().acCleanUp->isEnabled());
        {
            TfrmCleanUp dialog(window.FileList().Rows(), -1, TLocaleFormats::Current());
            Ui::TfrmCleanUp& form = dialog.Form();
            QVERIFY(form.rbNewest->isChecked());
            QVERIFY(form.cbVerify->isChecked());
            QVERIFY(form.bTrash->isDefault());
            QVERIFY(!form.cbOnlySelected->isEnabled());
            QVERIFY(!form.edKeepBelow->isEnabled());
            // Equal times: the newest is the first of each group.
            QCOMPARE(form.laPreview->text(), QString("At most 2 copies of 2 names, 30 Bytes."));
            QCOMPARE(form.lbPreview->count(), 2);

            form.rbShortestPath->setChecked(true);
            QCOMPARE(form.lbPreview->item(1)->text(), QString::fromStdString(tree / "long/b.txt"));
            form.edProtected->setText(QString::fromStdString(tree / "long"));
            QCOMPARE(form.laPreview->text(),
                     QString("At most 1 copies of 1 names, 10 Bytes (1 more in protected "
                             "folders)."));
            QCOMPARE(form.lbPreview->count(), 1);

            form.rbFirstBelow->setChecked(true);
            QVERIFY(form.edKeepBelow->isEnabled());
            form.edKeepBelow->setText(QString::fromStdString(tree / "empty"));
            QCOMPARE(form.laPreview->text(), QString("At most 0 copies of 0 names, 0 Bytes."));
            QCOMPARE(form.lbPreview->count(), 0);
        }
        {
            TfrmCleanUp dialog(window.FileList().Rows(), 1, TLocaleFormats::Current());
            QVERIFY(dialog.Form().cbOnlySelected->isEnabled());
            dialog.Form().cbOnlySelected->setChecked(true);
            QCOMPARE(dialog.Form().lbPreview->count(), 1);
            QCOMPARE(dialog.Plan().Steps.front().Row, 1);
        }
        // A folder that cannot be found stops the run before it starts, with a message.
        const QString missing = QString::fromStdString(tree / "missing");
        for (const bool protect : {true, false}) {
            FPlace->Desktop.Messages.clear();
            TfrmCleanUp dialog(window.FileList().Rows(), -1, TLocaleFormats::Current());
            if (protect) {
                dialog.Form().edProtected->setText(missing);
            } else {
                dialog.Form().rbFirstBelow->setChecked(true);
                dialog.Form().edKeepBelow->setText(missing);
            }
            dialog.bTrashClick();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(FPlace->Desktop.Messages.size(), 1);
            QVERIFY2(FPlace->Desktop.Messages[0].contains(missing),
                     qPrintable(FPlace->Desktop.Messages[0]));
        }
    }

    void moveToTrashKeepsProtectedAndDifferentCopies() {
        TTestTree tree;
        MakeCopies(tree);
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QCOMPARE(Column0(window.FileList()), (QStringList{"a.txt 3", "b.txt 2", "c.txt 2"}));

        WhenCleanUpOpens([&](TfrmCleanUp& dialog) {
            dialog.SetRule(TKeepRule::ShortestPath);
            dialog.Form().edProtected->setText(QString::fromStdString(tree / "prot"));
            dialog.Form().bTrash->click();
        });
        window.Form().acCleanUp->trigger();
        QVERIFY(
            QTest::qWaitFor([&] { return window.State() == TfrmTwinseek::TState::Idle; }, 10000));

        QCOMPARE(FPlace->Desktop.Messages,
                 QStringList{"Removed: 2. Kept because the content differed: 1. Skipped because a "
                             "file changed: 0. Failed: 0."});
        QVERIFY(FPlace->Desktop.Errors.isEmpty());
        QVERIFY(FPlace->Desktop.Questions.isEmpty());
        for (const char* kept : {"k/a.txt", "prot/a.txt", "k/b.txt", "other/b.txt", "k/c.txt"})
            QVERIFY2(Exists(tree / kept), kept);
        QVERIFY(!Exists(tree / "other/a.txt") && !Exists(tree / "other/c.txt"));
        QVERIFY(Exists(WorkPath("data/Trash/files/a.txt").toStdString()));
        QVERIFY(Exists(WorkPath("data/Trash/files/c.txt").toStdString()));
        const QList<QByteArray> log = LogLines(WorkPath("state/twinseek/actions.log"));
        QCOMPARE(log.size(), 2);
        for (const QByteArray& line : log) {
            const QList<QByteArray> fields = line.split('\t');
            QCOMPARE(fields.value(1), QByteArray("trash"));
            QVERIFY(fields.value(2).startsWith(QByteArray::fromStdString(tree / "other/")));
            QVERIFY(fields.value(5).startsWith(QByteArray::fromStdString(tree / "k/")));
        }
        // c.txt fell to one copy and left the list.
        QCOMPARE(Column0(window.FileList()), (QStringList{"a.txt 2", "b.txt 2"}));
        QCOMPARE(window.PanelText(TfrmTwinseek::spDirectories), QString("Double files: 2"));
        QCOMPARE(window.PanelText(TfrmTwinseek::spSpace),
                 QString("Total space required: 40 Bytes"));
        QVERIFY(window.Form().acStart->isEnabled());
    }

    void aCopyChangedSinceTheScanStaysAndIsNamed() {
        TTestTree tree({{"k/a", 4}, {"other/a", 4}, {"k/b", 4}, {"other/b", 4}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        WriteBytes(tree / "other/a", "longer now");
        WhenCleanUpOpens([](TfrmCleanUp& dialog) {
            dialog.SetRule(TKeepRule::ShortestPath);
            dialog.Form().bTrash->click();
        });
        window.Form().acCleanUp->trigger();
        QVERIFY(
            QTest::qWaitFor([&] { return window.State() == TfrmTwinseek::TState::Idle; }, 10000));
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);
        const QStringList lines = FPlace->Desktop.Messages[0].split('\n');
        QCOMPARE(lines.value(0), QString("Removed: 1. Kept because the content differed: 0. "
                                         "Skipped because a file changed: 1. Failed: 0."));
        QCOMPARE(lines.value(1), QString());
        QCOMPARE(lines.value(2), QString::fromStdString(tree / "other/a") +
                                     ": The file changed since the scan; it was kept.");
        QCOMPARE(lines.size(), 3);
        QVERIFY(Exists(tree / "other/a") && !Exists(tree / "other/b"));
        // The changed copy's name keeps its row with both copies.
        QCOMPARE(Column0(window.FileList()), QStringList{"a 2"});
    }

    void deletePermanentlyAnsweredNoRemovesNothing() {
        TTestTree tree;
        MakeCopies(tree);
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        FPlace->Desktop.QuestionAnswers = {false};
        bool stayedOpen = false;
        WhenCleanUpOpens([&](TfrmCleanUp& dialog) {
            dialog.SetRule(TKeepRule::ShortestPath);
            dialog.Form().bDelete->click();
            stayedOpen = dialog.isVisible();
            dialog.Form().bCancel->click();
        });
        window.Form().acCleanUp->trigger();
        QVERIFY(stayedOpen);
        QCOMPARE(FPlace->Desktop.Questions.size(), 1);
        QCOMPARE(window.State(), TfrmTwinseek::TState::Idle);
        QVERIFY(FPlace->Desktop.Messages.isEmpty());
        for (const char* path : {"other/a.txt", "prot/a.txt", "other/b.txt", "other/c.txt"})
            QVERIFY2(Exists(tree / path), path);
        QVERIFY(!QFile::exists(WorkPath("state/twinseek/actions.log")));
        QCOMPARE(window.FileList().rowCount(), 3);
    }

    void withoutTheActionLogNothingRuns() {
        TTestTree tree;
        MakeCopies(tree);
        QFile blocker(WorkPath("state"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the log's folder would be
        blocker.close();
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        WhenCleanUpOpens([](TfrmCleanUp& dialog) { dialog.Form().bTrash->click(); });
        window.Form().acCleanUp->trigger();
        QCOMPARE(window.State(), TfrmTwinseek::TState::Idle);
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);
        QVERIFY2(FPlace->Desktop.Messages[0].startsWith("Nothing was removed: "),
                 qPrintable(FPlace->Desktop.Messages[0]));
        QVERIFY(Exists(tree / "other/a.txt") && Exists(tree / "other/c.txt"));
    }

    void removingDisablesTheOtherActionsAndStopEndsIt() {
        TTestTree tree;
        for (const char* name : {"a", "b", "c", "d", "e"}) {
            tree.File(std::string("k/") + name, 1);
            tree.File(std::string("other/") + name, 1);
        }
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QCOMPARE(window.FileList().rowCount(), 5);
        THeldRemoval::Entered = false;
        THeldRemoval::Released = false;
        THeldRemoval::Count = 0;
        TRecordedFile::UnlinkAt = THeldRemoval::UnlinkAt;
        FPlace->Desktop.QuestionAnswers = {true};
        WhenCleanUpOpens([](TfrmCleanUp& dialog) {
            dialog.SetRule(TKeepRule::ShortestPath);
            dialog.Form().bDelete->click();
        });
        window.Form().acCleanUp->trigger();
        const bool entered = QTest::qWaitFor([] { return THeldRemoval::Entered.load(); }, 10000);
        if (!entered)
            THeldRemoval::Released = true;
        QVERIFY(entered);

        QCOMPARE(window.State(), TfrmTwinseek::TState::Removing);
        const Ui::TfrmTwinseek& form = window.Form();
        for (QAction* action : {form.acStart, form.acOpen, form.acCleanUp, form.acOption,
                                form.acDelete, form.acTrash, form.acSortName})
            QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
        QVERIFY(form.acStop->isEnabled());
        QVERIFY(window.PanelText(TfrmTwinseek::spFiles).startsWith("Removing: "));
        form.acStop->trigger();
        THeldRemoval::Released = true;
        QVERIFY(
            QTest::qWaitFor([&] { return window.State() == TfrmTwinseek::TState::Idle; }, 10000));

        // The removal under way ended; no other began.
        QCOMPARE(THeldRemoval::Count.load(), 1);
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);
        QVERIFY2(FPlace->Desktop.Messages[0].startsWith("Removed: 1. ") &&
                     FPlace->Desktop.Messages[0].contains("\nStopped before the end."),
                 qPrintable(FPlace->Desktop.Messages[0]));
        QCOMPARE(window.FileList().rowCount(), 4);
        QCOMPARE(LogLines(WorkPath("state/twinseek/actions.log")).size(), 1);
        QVERIFY(form.acStart->isEnabled() && form.acCleanUp->isEnabled());
        QCOMPARE(window.PanelText(TfrmTwinseek::spFiles), QString("Files read: 10"));
    }

    void anErrorOfTheRunEndsItAndIsReported() {
        TTestTree tree({{"k/a", 1}, {"other/a", 1}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        TRecordedFile::UnlinkAt = ThrowingUnlinkAt;
        FPlace->Desktop.QuestionAnswers = {true};
        WhenCleanUpOpens([](TfrmCleanUp& dialog) {
            dialog.SetRule(TKeepRule::ShortestPath);
            dialog.Form().bDelete->click();
        });
        window.Form().acCleanUp->trigger();
        QVERIFY(
            QTest::qWaitFor([&] { return window.State() == TfrmTwinseek::TState::Idle; }, 10000));
        QCOMPARE(FPlace->Desktop.Errors, QStringList{"out of order"});
        QVERIFY(FPlace->Desktop.Messages.isEmpty());
        QVERIFY(Exists(tree / "other/a"));
        QCOMPARE(window.FileList().rowCount(), 1);
        QVERIFY(window.Form().acStart->isEnabled());
    }

    void closingTheWindowWaitsForTheCleanUp() {
        TTestTree tree({{"k/a", 1}, {"other/a", 1}, {"k/b", 1}, {"other/b", 1}});
        THeldRemoval::Entered = false;
        THeldRemoval::Released = false;
        THeldRemoval::Count = 0;
        TRecordedFile::UnlinkAt = THeldRemoval::UnlinkAt;
        {
            TfrmTwinseek window;
            QVERIFY(Scan(window, tree));
            FPlace->Desktop.QuestionAnswers = {true};
            WhenCleanUpOpens([](TfrmCleanUp& dialog) {
                dialog.SetRule(TKeepRule::ShortestPath);
                dialog.Form().bDelete->click();
            });
            window.Form().acCleanUp->trigger();
            const bool entered =
                QTest::qWaitFor([] { return THeldRemoval::Entered.load(); }, 10000);
            THeldRemoval::Released = true;
            QVERIFY(entered);
        }
        // The window waited for the clean-up: what it removed is all in the log, and nothing
        // runs on after the window is gone.
        const int removed = THeldRemoval::Count.load();
        QVERIFY(removed >= 1);
        QCOMPARE(LogLines(WorkPath("state/twinseek/actions.log")).size(), removed);
        QCOMPARE(int(!Exists(tree / "other/a")) + int(!Exists(tree / "other/b")), removed);
        QCoreApplication::processEvents(); // the call of the ended thread finds no window
        QCOMPARE(THeldRemoval::Count.load(), removed);
        QVERIFY(FPlace->Desktop.Messages.isEmpty());
    }

    // Every link of the help pages leads to a page, and to a section of it that exists; the
    // contents reach the page on cleaning up and the action log.
    void helpLinksLeadToTheirSections() {
        const QStringList pages = QDir(":/help").entryList({"*.html"}, QDir::Files);
        QVERIFY(pages.contains("clean-up.html"));
        const auto text = [](const QString& page) {
            QFile file(":/help/" + page);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QVERIFY(text("index.html").contains("href=\"clean-up.html\""));
        QVERIFY(text("clean-up.html").contains("~/.local/state/twinseek/actions.log"));
        const QRegularExpression link("href=\"([^\"#:]+\\.html)(?:#([^\"]+))?\"");
        for (const QString& page : pages) {
            for (const QRegularExpressionMatch& match : link.globalMatch(text(page))) {
                const QString target = match.captured(1), section = match.captured(2);
                QVERIFY2(pages.contains(target), qPrintable(page + " -> " + target));
                if (!section.isEmpty())
                    QVERIFY2(text(target).contains("id=\"" + section + "\""),
                             qPrintable(page + " -> " + target + "#" + section));
            }
        }
    }
};

QTEST_MAIN(CleanUpWindowTest)
#include "CleanUpWindowTest.moc"
