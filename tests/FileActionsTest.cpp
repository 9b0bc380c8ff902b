// The file actions on the copies of a duplicate (Delete, Open file, Show with Notepad, Explore
// file), the command built from a desktop entry, and saving and opening results.

#include "Desktop.h"
#include "FileActions.h"
#include "FileListModel.h"
#include "FileTimes.h"
#include "IoError.h"
#include "PathListModel.h"
#include "TestTree.h"
#include "WorkingDirectory.h"
#include "frmTwinseek.h"
#include "ui_frmTwinseek.h"

#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <unistd.h>

namespace {

// Keeps what the window asks of the desktop; answers the file dialogs from a script.
class TRecordingDesktop : public TDesktop {
public:
    struct TAnswer {
        int TypeIndex; // 0: the dialog is cancelled
        QString FileName;
    };
    QStringList Errors, Messages, Opened, Edited, Explored;
    QList<QByteArray> Removed;      // every path RemoveFile was asked to delete
    QHash<QByteArray, int> Failing; // paths whose deletion fails, with the errno value
    QList<TFileDialog> SaveOffers, OpenOffers;
    QList<TAnswer> Answers;

    void ShowErrorReport(QWidget*, const QString& text) override { Errors << text; }
    void ShowMessage(QWidget*, const QString& text) override { Messages << text; }
    void OpenFile(const QString& path) override { Opened << path; }
    void ShowInTextEditor(const QString& path) override { Edited << path; }
    void ExploreFolder(const QString& folder) override { Explored << folder; }
    int RemoveFile(const QByteArray& path) override {
        Removed << path;
        return Failing.contains(path) ? Failing.value(path) : TDesktop::RemoveFile(path);
    }
    bool GetSaveFileName(QWidget*, TFileDialog& dialog) override {
        SaveOffers << dialog;
        return Answer(dialog);
    }
    bool GetOpenFileName(QWidget*, TFileDialog& dialog) override {
        OpenOffers << dialog;
        return Answer(dialog);
    }

private:
    bool Answer(TFileDialog& dialog) {
        const TAnswer answer = Answers.isEmpty() ? TAnswer{0, {}} : Answers.takeFirst();
        if (answer.TypeIndex == 0)
            return false;
        dialog.TypeIndex = answer.TypeIndex;
        dialog.FileName = answer.FileName;
        return true;
    }
};

struct TGroupSpec {
    std::string Caption;
    std::vector<std::string> Paths;
    int64_t Size = 10; // of every copy
};

// Hands groups to the window as a load would: through the result list and ShowResult.
void ShowGroups(TfrmTwinseek& window, const std::vector<TGroupSpec>& described) {
    std::deque<TFileInfoEntry> entries;
    for (const TGroupSpec& description : described) {
        auto group = std::make_unique<TFileGroup>();
        for (const std::string& path : description.Paths) {
            TFileInfoRec info = FileInfoForPath(path);
            info.Size = description.Size;
            info.LastWriteTime = LastWriteTimeFromUnix(TTestTree::DefaultTime, 0);
            group->Add(std::move(info));
        }
        entries.push_back({description.Caption, std::move(group)});
    }
    window.ResultList.AddAll(std::move(entries));
    window.ShowResult();
}

bool Scan(TfrmTwinseek& window, const TTestTree& tree) {
    window.Options.ScanPath = tree.Root();
    window.Options.CompareMode = cmNameOnly;
    window.acStartExecute();
    return QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000);
}

QStringList RowTexts(const QAbstractItemModel& model, int row) {
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.index(row, column).data().toString();
    return texts;
}

QStringList Column0(const QAbstractItemModel& model) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, 0).data().toString();
    return texts;
}

// Shows the copies of a duplicate-list row and selects the given path rows.
void SelectPaths(TfrmTwinseek& window, int fileRow, const QList<int>& pathRows) {
    window.Form().lvFiles->setCurrentIndex(window.FileList().index(fileRow, 0));
    QItemSelectionModel* selection = window.Form().lvPath->selectionModel();
    selection->clearSelection();
    for (int row : pathRows)
        selection->select(window.PathList().index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.ActionList1Update();
}

QList<int> SelectedPathRows(const TfrmTwinseek& window) {
    QList<int> rows;
    for (const QModelIndex& index : window.Form().lvPath->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool Exists(const QString& path) { return QFileInfo(path).isFile(); }

QString DeleteMessage(const QString& path) {
    return "Could not delete file: " + path + " \n\nError message: ";
}

QList<QByteArray> ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n');
}

} // namespace

class FileActionsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TWorkingDirectory> FWorkDir;
    TRecordingDesktop FDesktop;

    QString WorkPath(const QString& name) const { return FWorkDir->filePath(name); }

private slots:
    void init() {
        FWorkDir = std::make_unique<TWorkingDirectory>();
        QVERIFY(FWorkDir->IsValid());
        FDesktop = TRecordingDesktop();
        TDesktop::SetCurrent(&FDesktop);
    }

    void cleanup() {
        TDesktop::SetCurrent(nullptr);
        FWorkDir.reset();
    }

    void deletingTwoOfThreeCopies() {
        TTestTree tree({{"d1/a.txt", 100}, {"d2/a.txt", 300}, {"d3/a.txt", 500},
                        {"d1/b.txt", 50}, {"d2/b.txt", 50}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QCOMPARE(Column0(window.FileList()), (QStringList{"a.txt", "b.txt"}));
        QCOMPARE(window.PanelText(3), QString("Total space required: 1000 Bytes"));
        SelectPaths(window, 0, {});
        const QStringList paths = Column0(window.PathList());
        const int keep = static_cast<int>(paths.indexOf(QString::fromStdString(tree / "d2/a.txt")));
        QVERIFY(keep >= 0);
        QList<int> doomed{0, 1, 2};
        doomed.removeOne(keep);
        SelectPaths(window, 0, doomed);
        QVERIFY(window.Form().acDelete->isEnabled());
        QSignalSpy changed(&window.FileList(), &QAbstractItemModel::dataChanged);

        window.Form().acDelete->trigger();
        QVERIFY2(FDesktop.Messages.isEmpty(), qPrintable(FDesktop.Messages.join('|')));
        // Lowest row first.
        QCOMPARE(FDesktop.Removed, (QList<QByteArray>{paths[doomed[0]].toUtf8(), paths[doomed[1]].toUtf8()}));
        QVERIFY(!Exists(paths[doomed[0]]) && !Exists(paths[doomed[1]]));
        QVERIFY(Exists(paths[keep]));
        QCOMPARE(Column0(window.PathList()), QStringList{paths[keep]});
        // The row stays with its one copy; the total counts every row.
        QCOMPARE(RowTexts(window.FileList(), 0), (QStringList{"a.txt", "txt", "1", "300 Bytes"}));
        QCOMPARE(RowTexts(window.FileList(), 1), (QStringList{"b.txt", "txt", "2", "100 Bytes"}));
        QCOMPARE(window.PanelText(3), QString("Total space required: 400 Bytes"));
        QCOMPARE(window.PanelText(2), QString("Double files: 2"));
        // The view is told that Count and Space of the row changed.
        const bool told = std::any_of(changed.begin(), changed.end(), [](const QList<QVariant>& args) {
            const auto from = args[0].toModelIndex(), to = args[1].toModelIndex();
            return from.row() <= 0 && to.row() >= 0 && from.column() <= TFileListModel::ColCount &&
                   to.column() >= TFileListModel::ColSpace;
        });
        QVERIFY(told);
    }

    void deleteKeyFollowsTheEnabledRule() {
        TTestTree tree({{"d1/a.txt", 1}, {"d2/a.txt", 1}, {"d3/a.txt", 1}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        SelectPaths(window, 0, {0, 1, 2});
        QVERIFY(!window.Form().acDelete->isEnabled());
        QTest::keyClick(window.Form().lvPath, Qt::Key_Delete);
        // Not even tried: a refused deletion would have shown a message.
        QVERIFY(FDesktop.Removed.isEmpty() && FDesktop.Messages.isEmpty());
        QCOMPARE(window.PathList().rowCount(), 3);

        SelectPaths(window, 0, {1});
        const QString doomed = Column0(window.PathList())[1];
        QTest::keyClick(window.Form().lvPath, Qt::Key_Delete);
        QCOMPARE(FDesktop.Removed, QList<QByteArray>{doomed.toUtf8()});
        QVERIFY(!Exists(doomed));
        QCOMPARE(window.PathList().rowCount(), 2);
    }

    void failedDeletionStopsTheLoop() {
        TTestTree tree({{"d1/c.txt", 10}, {"d2/c.txt", 10}, {"d3/c.txt", 10}, {"d4/c.txt", 10},
                        {"d1/b.txt", 10}, {"d2/b.txt", 10}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QCOMPARE(Column0(window.FileList()), (QStringList{"b.txt", "c.txt"}));
        SelectPaths(window, 1, {0, 1, 2});
        const QStringList paths = Column0(window.PathList());
        QCOMPARE(paths.size(), 4);
        FDesktop.Failing.insert(paths[1].toUtf8(), EACCES);

        window.Form().acDelete->trigger();
        QCOMPARE(FDesktop.Removed, (QList<QByteArray>{paths[0].toUtf8(), paths[1].toUtf8()}));
        QCOMPARE(FDesktop.Messages,
                 QStringList{DeleteMessage(paths[1]) + QString::fromLocal8Bit(std::strerror(EACCES))});
        QVERIFY(!Exists(paths[0]));
        QVERIFY(Exists(paths[2]) && Exists(paths[3]));
        QCOMPARE(Column0(window.PathList()), paths.mid(1));
        QCOMPARE(SelectedPathRows(window), (QList<int>{0, 1}));
        QCOMPARE(RowTexts(window.FileList(), 1), (QStringList{"c.txt", "txt", "3", "30 Bytes"}));
        QCOMPARE(window.PanelText(3), QString("Total space required: 50 Bytes"));
    }

    // The last copy on disk is kept, whatever the list says.
    void lastCopyGuard_data() {
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("another copy") << "copy" << true;
        QTest::newRow("the same path listed twice") << "same" << false;
        QTest::newRow("a hard link to the file") << "hard link" << false;
        QTest::newRow("a symbolic link to the file") << "symlink" << false;
    }

    void lastCopyGuard() {
        QFETCH(QString, other);
        QFETCH(bool, deleted);
        TTestTree tree({{"a/x.txt", 10}});
        const std::string path = tree / "a/x.txt";
        std::string second = tree / "b/x.txt";
        tree.Dir("b");
        if (other == "copy")
            tree.File("b/x.txt", 10);
        else if (other == "same")
            second = path;
        else if (other == "hard link")
            QCOMPARE(::link(path.c_str(), second.c_str()), 0);
        else
            tree.Symlink("b/x.txt", path);
        TfrmTwinseek window;
        ShowGroups(window, {{"x.txt", {path, second}}});
        SelectPaths(window, 0, {0});
        window.Form().acDelete->trigger();

        const QString shown = QString::fromStdString(path);
        QCOMPARE(!Exists(shown), deleted);
        QCOMPARE(window.PathList().rowCount(), deleted ? 1 : 2);
        QCOMPARE(RowTexts(window.FileList(), 0)[2], deleted ? QString("1") : QString("2"));
        if (deleted) {
            QVERIFY(FDesktop.Messages.isEmpty());
            return;
        }
        // Refused before the file system is asked, with a reason.
        QVERIFY(FDesktop.Removed.isEmpty());
        QCOMPARE(FDesktop.Messages.size(), 1);
        QVERIFY2(FDesktop.Messages[0].startsWith(DeleteMessage(shown)), qPrintable(FDesktop.Messages[0]));
        QVERIFY(FDesktop.Messages[0].size() > DeleteMessage(shown).size());
        QCOMPARE(SelectedPathRows(window), QList<int>{0});
    }

    void copiesGoneBehindTheWindowsBack() {
        TTestTree tree({{"d1/x.txt", 10}, {"d2/x.txt", 10}, {"d3/x.txt", 10}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        SelectPaths(window, 0, {});
        const QStringList paths = Column0(window.PathList());
        QVERIFY(QFile::remove(paths[2]));

        // The only unselected copy is gone; a selected copy does not count as the one kept.
        SelectPaths(window, 0, {0, 1});
        window.Form().acDelete->trigger();
        QVERIFY(FDesktop.Removed.isEmpty());
        QCOMPARE(FDesktop.Messages.size(), 1);
        QVERIFY2(FDesktop.Messages[0].startsWith(DeleteMessage(paths[0])), qPrintable(FDesktop.Messages[0]));
        QVERIFY(Exists(paths[0]) && Exists(paths[1]));
        QCOMPARE(SelectedPathRows(window), (QList<int>{0, 1}));

        // With the second copy left unselected the first may go; then the second is the last.
        SelectPaths(window, 0, {0});
        window.Form().acDelete->trigger();
        QCOMPARE(FDesktop.Messages.size(), 1);
        QVERIFY(!Exists(paths[0]));
        QCOMPARE(Column0(window.PathList()), paths.mid(1));
        SelectPaths(window, 0, {0});
        window.Form().acDelete->trigger();
        QCOMPARE(FDesktop.Messages.size(), 2);
        QVERIFY2(FDesktop.Messages[1].startsWith(DeleteMessage(paths[1])), qPrintable(FDesktop.Messages[1]));
        QVERIFY(Exists(paths[1]));
        QCOMPARE(RowTexts(window.FileList(), 0)[2], QString("2"));
    }

    void shellActionsTakeTheFirstSelectedRow() {
        const std::vector<std::string> paths{"/data/my files/a b.txt", "/data/other dir/a b.txt",
                                             "/data/third/a b.txt", "/a b.txt"};
        TfrmTwinseek window;
        ShowGroups(window, {{"a b.txt", paths}});
        Ui::TfrmTwinseek& ui = window.Form();
        SelectPaths(window, 0, {});
        QVERIFY(ui.acShowNotepad->isEnabled());
        ui.acShowNotepad->trigger();
        QVERIFY(FDesktop.Edited.isEmpty());

        // Selected in reverse order: the first selected row is the lowest.
        SelectPaths(window, 0, {2, 1});
        QVERIFY(!ui.acOpenFile->isEnabled() && !ui.acExploreFile->isEnabled());
        ui.acOpenFile->trigger();
        ui.acExploreFile->trigger();
        ui.acShowNotepad->trigger();
        QCOMPARE(FDesktop.Edited, QStringList{"/data/other dir/a b.txt"});
        QVERIFY(FDesktop.Opened.isEmpty() && FDesktop.Explored.isEmpty());

        SelectPaths(window, 0, {2});
        ui.acOpenFile->trigger();
        ui.acExploreFile->trigger();
        QCOMPARE(FDesktop.Opened, QStringList{"/data/third/a b.txt"});
        QCOMPARE(FDesktop.Explored, QStringList{"/data/third/"});

        // A file directly below the root: its folder is "/".
        QCOMPARE(DirectoryPart("/twinseek-test-file"), std::string("/"));
        SelectPaths(window, 0, {3});
        ui.acExploreFile->trigger();
        QCOMPARE(FDesktop.Explored, (QStringList{"/data/third/", "/"}));
        QVERIFY(FDesktop.Messages.isEmpty() && FDesktop.Errors.isEmpty());
    }

    void desktopEntryCommand_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("command");
        const QString file = "/home/me/my notes.txt";
        QTest::newRow("%U") << "[Desktop Entry]\nName=Text Editor\nExec=gedit %U\n" << QStringList{"gedit", file};
        QTest::newRow("quoted program and %f")
            << "[Desktop Entry]\nExec=env FOO=1 \"my editor\" --new-window %f\n"
            << QStringList{"env", "FOO=1", "my editor", "--new-window", file};
        QTest::newRow("no field code") << "[Desktop Entry]\nExec=kate -b\n" << QStringList{"kate", "-b", file};
        QTest::newRow("%% is a percent sign")
            << "[Desktop Entry]\nExec=tool %% --zoom=50%% %F\n" << QStringList{"tool", "%", "--zoom=50%", file};
        QTest::newRow("Exec of an action group is not the entry's")
            << "[Desktop Entry]\nExec=gedit %U\n\n[Desktop Action new-window]\nExec=gedit --new-window\n"
            << QStringList{"gedit", file};
        QTest::newRow("no Exec") << "[Desktop Entry]\nName=Nothing\n" << QStringList{};
    }

    void desktopEntryCommand() {
        QFETCH(QString, entry);
        QFETCH(QStringList, command);
        QCOMPARE(DesktopEntryCommand(entry, "/home/me/my notes.txt"), command);
    }

    void saveWritesTheChosenFileType() {
        TfrmTwinseek window;
        ShowGroups(window, {{"a.txt", {"/data/1/a.txt", "/data/2/a.txt"}}, {"b.txt", {"/x/b.txt", "/y/b.txt"}}});
        window.FilesRead = 42;
        const QString list = WorkPath("list.txt"), report = WorkPath("report.twl"), all = WorkPath("all.twl");
        FDesktop.Answers = {{1, list}, {2, report}, {0, {}}, {3, all}};
        for (int use = 0; use < 4; ++use)
            window.Form().acSave->trigger();

        // The type decides what is written, not the name.
        QCOMPARE(ReadLines(list).value(0), QByteArray("Twinseek saved result version 1.3\r"));
        for (const QString& name : {report, all}) {
            const QList<QByteArray> lines = ReadLines(name);
            QCOMPARE(lines.value(0), QByteArray("Scanned files:    42\r"));
            QCOMPARE(lines.value(1), QByteArray("Duplicated files: 2\r"));
        }
        // The dialog starts on the last confirmed type and name; a cancel leaves them.
        QCOMPARE(FDesktop.SaveOffers.size(), 4);
        QCOMPARE(FDesktop.SaveOffers[0].Filters,
                 (QStringList{"Twin seek list(*.twl)", "Textfile (*.txt)", "All files (*.*)"}));
        QCOMPARE(FDesktop.SaveOffers[0].DefaultSuffix, QString("twl"));
        const QList<QPair<int, QString>> offered{{1, ""}, {1, list}, {2, report}, {2, report}};
        for (int use = 0; use < 4; ++use) {
            QCOMPARE(FDesktop.SaveOffers[use].TypeIndex, offered[use].first);
            QCOMPARE(FDesktop.SaveOffers[use].FileName, offered[use].second);
        }
    }

    void saveTellsWhichCopiesWereLeftOut() {
        TfrmTwinseek window;
        ShowGroups(window, {{"a.txt", {"/data/1/a.txt", "/data/\r\n2/a.txt", "/data/3/a.txt"}},
                            {"b\n.txt", {"/x/b\n.txt", "/y/b\n.txt"}}});
        FDesktop.Answers = {{1, WorkPath("list.twl")}, {2, WorkPath("report.txt")}};
        window.Form().acSave->trigger();
        QCOMPARE(FDesktop.Messages,
                 QStringList{"Copies left out of the saved list: 3 (a path or name holds a line "
                             "break or byte 26, or is longer than 1 MiB). The first: "
                             "/data/\\r\\n2/a.txt"});
        QVERIFY(FDesktop.Errors.isEmpty());
        // The header, the name key and count of the group kept, its two copies, the end.
        const QList<QByteArray> lines = ReadLines(WorkPath("list.twl"));
        QCOMPARE(lines.size(), 6 + 2 + 2 * 5 + 1);
        QCOMPARE(lines[6] + lines[7] + lines[8] + lines[13],
                 QByteArray("a.txt\r2\r/data/1/a.txt\r/data/3/a.txt\r"));
        // A report holds every copy: no message.
        window.Form().acSave->trigger();
        QCOMPARE(FDesktop.Messages.size(), 1);
    }

    void openReproducesASavedResult() {
        TTestTree tree({{"d1/a.txt", 100}, {"d2/a.txt", 2048}, {"d1/b.txt", 7}, {"d2/b.txt", 7},
                        {"d3/b.txt", 7}, {"d3/c.txt", 1}});
        TfrmTwinseek saved;
        QVERIFY(Scan(saved, tree));
        saved.FilesRead = 1234;
        saved.ElapsedTime = (3600 + 2 * 60 + 3) / 86400.0;
        FDesktop.Answers = {{1, WorkPath("result.twl")}, {1, WorkPath("result.twl")}};
        saved.Form().acSave->trigger();

        TfrmTwinseek loaded;
        loaded.setWindowTitle(TfrmTwinseek::TitleFor("/home/me/work.twc"));
        loaded.Form().acOpen->trigger();
        QVERIFY(FDesktop.Messages.isEmpty() && FDesktop.Errors.isEmpty());
        QCOMPARE(loaded.windowTitle(), QString("Twin Seek"));
        QCOMPARE(loaded.FileList().rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(RowTexts(loaded.FileList(), row), RowTexts(saved.FileList(), row));
            SelectPaths(saved, row, {});
            SelectPaths(loaded, row, {});
            QCOMPARE(loaded.PathList().rowCount(), saved.PathList().rowCount());
            for (int path = 0; path < saved.PathList().rowCount(); ++path)
                QCOMPARE(RowTexts(loaded.PathList(), path), RowTexts(saved.PathList(), path));
        }
        QCOMPARE(loaded.PanelText(0), QString("Time: 01:02:03"));
        QCOMPARE(loaded.PanelText(1), QString("Files read: 1234"));
        QCOMPARE(loaded.PanelText(2), QString("Double files: 2"));
        QCOMPARE(loaded.PanelText(3), QString("Total space required: 2.1 KB"));
        QCOMPARE(loaded.ResultList.Count(), 0);
    }

    void openOfAFileItCannotUse_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("panels"); // 0 to 2
        const QByteArray header = "Twinseek saved result version 1.3\r\n/tmp\r\n\r\n*.*\r\n55\r\n 5.00000000000000E-0001\r\n";
        const QByteArray entry = "10\r\n776032614\r\n1060151296\r\n29542874\r\n";
        QTest::newRow("cancelled") << false << QByteArray() << QStringList()
                                   << QStringList{"Time: 01:00:00", "Files read: 7", "Double files: 1"};
        QTest::newRow("wrong indicator")
            << true << QByteArray("Twinseek saved result version 1.2\r\n/tmp\r\n\r\n*.*\r\n55\r\n")
            << QStringList{"File has not the right file indicator."}
            << QStringList{"Time: 01:00:00", "Files read: 7", "Double files: 0"};
        QTest::newRow("bad size in the second group")
            << true
            << header + "a.txt\r\n2\r\n/p/a.txt\r\n" + entry + "/q/a.txt\r\n" + entry + "b.txt\r\n2\r\n/p/b.txt\r\n1O\r\n"
            << QStringList{"Unexpected file structure or size. Opening aborted."}
            << QStringList{"Time: 12:00:00", "Files read: 55", "Double files: 0"};
    }

    void openOfAFileItCannotUse() {
        QFETCH(bool, confirmed);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, panels);
        TfrmTwinseek window;
        window.FilesRead = 7;
        window.ElapsedTime = 1 / 24.0;
        ShowGroups(window, {{"old.txt", {"/a/old.txt", "/b/old.txt"}}});
        const QString title = TfrmTwinseek::TitleFor("/home/me/work.twc");
        window.setWindowTitle(title);
        QFile file(WorkPath("bad.twl"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        FDesktop.Answers = {{confirmed ? 1 : 0, file.fileName()}};

        window.Form().acOpen->trigger();
        QCOMPARE(FDesktop.Messages, messages);
        QVERIFY(FDesktop.Errors.isEmpty());
        QCOMPARE(window.windowTitle(), confirmed ? QString("Twin Seek") : title);
        QCOMPARE(window.FileList().rowCount(), confirmed ? 0 : 1);
        QCOMPARE(window.ResultList.Count(), 0);
        QCOMPARE((QStringList{window.PanelText(0), window.PanelText(1), window.PanelText(2)}), panels);
    }

    // QTEST_MAIN's application does not catch errors the way the program's own does, so the
    // handler is called directly and its error caught here.
    void openOfAMissingFile() {
        TfrmTwinseek window;
        ShowGroups(window, {{"old.txt", {"/a/old.txt", "/b/old.txt"}}});
        SelectPaths(window, 0, {0});
        window.setWindowTitle(TfrmTwinseek::TitleFor("/home/me/work.twc"));
        FDesktop.Answers = {{1, WorkPath("missing.twl")}};
        QString error = "(no error)";
        try {
            window.acOpenExecute();
        } catch (const EInOutError& failure) {
            error = failure.what();
        }
        QCOMPARE(error, QString("File not found"));
        QVERIFY(FDesktop.Messages.isEmpty());
        QCOMPARE(window.windowTitle(), QString("Twin Seek"));
        QCOMPARE(window.FileList().rowCount(), 0);
        QCOMPARE(window.PathList().rowCount(), 0);
        QCOMPARE(window.ResultList.Count(), 0);
    }
};

QTEST_MAIN(FileActionsTest)
#include "FileActionsTest.moc"
