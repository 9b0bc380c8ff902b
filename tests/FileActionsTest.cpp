// The file actions on the copies of a duplicate (Delete, Open file, Show with Notepad, Explore
// file), the command built from a desktop entry, and saving and opening results.

#include "FileActions.h"
#include "Desktop.h"
#include "FileListModel.h"
#include "FileTimes.h"
#include "IoError.h"
#include "PathListModel.h"
#include "RecordedFile.h"
#include "TestTree.h"
#include "TrustedPath.h"
#include "WindowTestPlace.h"
#include "frmTwinseek.h"
#include "ui_frmTwinseek.h"

#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

// Takes the place of the removal the window makes: records every path it is asked to remove
// (the folder as the system names it, then the name) and lets chosen ones fail with an errno.
// The test trees' paths hold no links, so they read as the scan wrote them.
struct TRemovals {
    static inline QList<QByteArray> Removed;
    static inline QHash<QByteArray, int> Failing;

    static int UnlinkAt(int folder, const char* name, int flags) {
        QByteArray path(PATH_MAX, '\0');
        const ssize_t length =
            readlink(QByteArray("/proc/self/fd/" + QByteArray::number(folder)).constData(),
                     path.data(), static_cast<size_t>(path.size()));
        path.resize(std::max<qsizetype>(0, length));
        if (!path.endsWith('/'))
            path += '/';
        path += name;
        Removed << path;
        if (Failing.contains(path)) {
            errno = Failing.value(path);
            return -1;
        }
        return ::unlinkat(folder, name, flags);
    }
};

struct TGroupSpec {
    std::string Caption;
    std::vector<std::string> Paths;
    int64_t Size = 10; // of every copy
};

// Hands groups to the window as a load would: as a result for ShowResult.
void ShowGroups(TfrmTwinseek& window, const std::vector<TGroupSpec>& described,
                int32_t filesRead = 0, double elapsedTime = 0) {
    TScanResult result;
    result.FilesRead = filesRead;
    result.ElapsedTime = elapsedTime;
    for (const TGroupSpec& description : described) {
        auto group = std::make_unique<TFileGroup>();
        for (const std::string& path : description.Paths) {
            TFileInfoRec info = FileInfoForPath(path);
            info.Size = description.Size;
            info.LastWriteTime = LastWriteTimeFromUnix(TTestTree::DefaultTime, 0);
            group->Add(std::move(info));
        }
        result.Rows.push_back({description.Caption, std::move(group)});
    }
    window.ShowResult(std::move(result));
}

bool Scan(TfrmTwinseek& window, const std::string& root) {
    TOptionRec options = window.Options();
    options.ScanPath = root;
    options.CompareMode = cmNameOnly;
    window.SetOptions(options);
    window.acStartExecute();
    return QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000);
}

bool Scan(TfrmTwinseek& window, const TTestTree& tree) {
    return Scan(window, tree.Root());
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

bool Exists(const QString& path) {
    return QFileInfo(path).isFile();
}

// The path row of a copy among those shown; -1 when it is not listed.
int RowOf(const TfrmTwinseek& window, const std::string& path) {
    for (int row = 0; row < window.PathList().rowCount(); ++row)
        if (window.PathList().Path(row) == path)
            return row;
    return -1;
}

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

    std::optional<TWindowTestPlace> FPlace;

    QString WorkPath(const QString& name) const { return FPlace->WorkDir.filePath(name); }

  private slots:
    void init() {
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
        TRemovals::Removed.clear();
        TRemovals::Failing.clear();
        TRecordedFile::UnlinkAt = TRemovals::UnlinkAt;
        // The action log and the trash of these tests lie in their working folder.
        FPlace->KeepRemovalsHere();
    }

    void cleanup() {
        TRecordedFile::UnlinkAt = ::unlinkat;
        FPlace.reset();
    }

    void deletingTwoOfThreeCopies() {
        TTestTree tree({{"d1/a.txt", 100},
                        {"d2/a.txt", 300},
                        {"d3/a.txt", 500},
                        {"d1/b.txt", 50},
                        {"d2/b.txt", 50}});
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
        QVERIFY2(FPlace->Desktop.Messages.isEmpty(),
                 qPrintable(FPlace->Desktop.Messages.join('|')));
        // Lowest row first.
        QCOMPARE(TRemovals::Removed,
                 (QList<QByteArray>{paths[doomed[0]].toUtf8(), paths[doomed[1]].toUtf8()}));
        QVERIFY(!Exists(paths[doomed[0]]) && !Exists(paths[doomed[1]]));
        QVERIFY(Exists(paths[keep]));
        QCOMPARE(Column0(window.PathList()), QStringList{paths[keep]});
        // Each removal has its line in the action log, naming the copy that was kept.
        const QList<QByteArray> log = ReadLines(WorkPath("state/twinseek/actions.log"));
        QCOMPARE(log.size(), 3); // two lines and the empty text after the last LF
        for (int line = 0; line < 2; ++line) {
            const QList<QByteArray> fields = log[line].split('\t');
            QCOMPARE(fields.size(), 6);
            QCOMPARE(fields[1], QByteArray("delete"));
            QCOMPARE(fields[2], paths[doomed[line]].toUtf8());
            QCOMPARE(fields[5], paths[keep].toUtf8());
        }
        // The row stays with its one copy; the total counts every row.
        QCOMPARE(RowTexts(window.FileList(), 0), (QStringList{"a.txt", "txt", "1", "300 Bytes"}));
        QCOMPARE(RowTexts(window.FileList(), 1), (QStringList{"b.txt", "txt", "2", "100 Bytes"}));
        QCOMPARE(window.PanelText(3), QString("Total space required: 400 Bytes"));
        QCOMPARE(window.PanelText(2), QString("Double files: 2"));
        // The view is told that Count and Space of the row changed.
        const bool told =
            std::any_of(changed.begin(), changed.end(), [](const QList<QVariant>& args) {
                const auto from = args[0].toModelIndex(), to = args[1].toModelIndex();
                return from.row() <= 0 && to.row() >= 0 &&
                       from.column() <= TFileListModel::ColCount &&
                       to.column() >= TFileListModel::ColSpace;
            });
        QVERIFY(told);
    }

    void moveToTrashPutsTheCopyInTheTrashAndLogsIt() {
        TTestTree tree({{"d1/a.txt", 10}, {"d2/a.txt", 10}, {"d3/a.txt", 10}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        SelectPaths(window, 0, {1});
        const QStringList paths = Column0(window.PathList());
        QVERIFY(window.Form().acTrash->isEnabled());
        QCOMPARE(window.Form().acTrash->shortcut(), QKeySequence("Ctrl+Del"));
        QTest::keyClick(window.Form().lvPath, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY2(FPlace->Desktop.Messages.isEmpty(),
                 qPrintable(FPlace->Desktop.Messages.join('|')));
        // Moved, not deleted: the removal hook never ran.
        QVERIFY(TRemovals::Removed.isEmpty());
        QVERIFY(!Exists(paths[1]));
        const QString trashed = WorkPath("data/Trash/files/a.txt");
        QVERIFY(Exists(trashed));
        QFile info(WorkPath("data/Trash/info/a.txt.trashinfo"));
        QVERIFY(info.open(QIODevice::ReadOnly));
        QVERIFY(info.readAll().startsWith("[Trash Info]\nPath=" + paths[1].toUtf8() + "\n"));
        QCOMPARE(Column0(window.PathList()), (QStringList{paths[0], paths[2]}));
        const QList<QByteArray> fields =
            ReadLines(WorkPath("state/twinseek/actions.log")).value(0).split('\t');
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields[1], QByteArray("trash"));
        QCOMPARE(fields[2], paths[1].toUtf8());
        QCOMPARE(fields[6], trashed.toUtf8());
        // The last copy on disk never goes to the trash either.
        SelectPaths(window, 0, {0, 1});
        QVERIFY(!window.Form().acTrash->isEnabled());
    }

    void withoutTheActionLogNothingIsRemoved() {
        TTestTree tree({{"d1/a.txt", 1}, {"d2/a.txt", 1}});
        QFile blocker(WorkPath("state"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the log's folder would be
        blocker.close();
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        SelectPaths(window, 0, {0});
        window.Form().acDelete->trigger();
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);
        QVERIFY2(FPlace->Desktop.Messages[0].startsWith(
                     "Nothing was removed: Cannot open the action log " +
                     WorkPath("state/twinseek/actions.log")),
                 qPrintable(FPlace->Desktop.Messages[0]));
        QVERIFY(TRemovals::Removed.isEmpty());
        QCOMPARE(window.PathList().rowCount(), 2);
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
        QVERIFY(TRemovals::Removed.isEmpty() && FPlace->Desktop.Messages.isEmpty());
        QCOMPARE(window.PathList().rowCount(), 3);

        SelectPaths(window, 0, {1});
        const QString doomed = Column0(window.PathList())[1];
        QTest::keyClick(window.Form().lvPath, Qt::Key_Delete);
        QCOMPARE(TRemovals::Removed, QList<QByteArray>{doomed.toUtf8()});
        QVERIFY(!Exists(doomed));
        QCOMPARE(window.PathList().rowCount(), 2);
    }

    void failedDeletionStopsTheLoop() {
        TTestTree tree({{"d1/c.txt", 10},
                        {"d2/c.txt", 10},
                        {"d3/c.txt", 10},
                        {"d4/c.txt", 10},
                        {"d1/b.txt", 10},
                        {"d2/b.txt", 10}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QCOMPARE(Column0(window.FileList()), (QStringList{"b.txt", "c.txt"}));
        SelectPaths(window, 1, {0, 1, 2});
        const QStringList paths = Column0(window.PathList());
        QCOMPARE(paths.size(), 4);
        TRemovals::Failing.insert(paths[1].toUtf8(), EACCES);

        window.Form().acDelete->trigger();
        QCOMPARE(TRemovals::Removed, (QList<QByteArray>{paths[0].toUtf8(), paths[1].toUtf8()}));
        QCOMPARE(
            FPlace->Desktop.Messages,
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
            QVERIFY(FPlace->Desktop.Messages.isEmpty());
            return;
        }
        // Refused before the file system is asked, with a reason.
        QVERIFY(TRemovals::Removed.isEmpty());
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);
        QVERIFY2(FPlace->Desktop.Messages[0].startsWith(DeleteMessage(shown)),
                 qPrintable(FPlace->Desktop.Messages[0]));
        QVERIFY(FPlace->Desktop.Messages[0].size() > DeleteMessage(shown).size());
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
        QVERIFY(TRemovals::Removed.isEmpty());
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);
        QVERIFY2(FPlace->Desktop.Messages[0].startsWith(DeleteMessage(paths[0])),
                 qPrintable(FPlace->Desktop.Messages[0]));
        QVERIFY(Exists(paths[0]) && Exists(paths[1]));
        QCOMPARE(SelectedPathRows(window), (QList<int>{0, 1}));

        // With the second copy left unselected the first may go; then the second is the last.
        SelectPaths(window, 0, {0});
        window.Form().acDelete->trigger();
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);
        QVERIFY(!Exists(paths[0]));
        QCOMPARE(Column0(window.PathList()), paths.mid(1));
        SelectPaths(window, 0, {0});
        window.Form().acDelete->trigger();
        QCOMPARE(FPlace->Desktop.Messages.size(), 2);
        QVERIFY2(FPlace->Desktop.Messages[1].startsWith(DeleteMessage(paths[1])),
                 qPrintable(FPlace->Desktop.Messages[1]));
        QVERIFY(Exists(paths[1]));
        QCOMPARE(RowTexts(window.FileList(), 0)[2], QString("2"));
    }

    void shellActionsTakeTheFirstSelectedRow() {
        TTestTree tree(
            {{"my files/a b.txt", 10}, {"other dir/a b.txt", 10}, {"third/a b.txt", 10}});
        // A copy directly below the root: only its folder, "/", is looked at by Explore.
        const std::vector<std::string> paths{tree / "my files/a b.txt", tree / "other dir/a b.txt",
                                             tree / "third/a b.txt", "/a b.txt"};
        const auto shown = [&](size_t index) { return QString::fromStdString(paths[index]); };
        TfrmTwinseek window;
        ShowGroups(window, {{"a b.txt", paths}});
        Ui::TfrmTwinseek& ui = window.Form();
        SelectPaths(window, 0, {});
        QVERIFY(ui.acShowNotepad->isEnabled());
        ui.acShowNotepad->trigger();
        QVERIFY(FPlace->Desktop.Edited.isEmpty());

        // Selected in reverse order: the first selected row is the lowest.
        SelectPaths(window, 0, {2, 1});
        QVERIFY(!ui.acOpenFile->isEnabled() && !ui.acExploreFile->isEnabled());
        ui.acOpenFile->trigger();
        ui.acExploreFile->trigger();
        ui.acShowNotepad->trigger();
        QCOMPARE(FPlace->Desktop.Edited, QStringList{shown(1)});
        QVERIFY(FPlace->Desktop.Opened.isEmpty() && FPlace->Desktop.Explored.isEmpty());

        SelectPaths(window, 0, {2});
        ui.acOpenFile->trigger();
        ui.acExploreFile->trigger();
        QCOMPARE(FPlace->Desktop.Opened, QStringList{shown(2)});
        QCOMPARE(FPlace->Desktop.Explored, QStringList{shown(2)});

        QCOMPARE(DirectoryPart("/twinseek-test-file"), std::string("/"));
        SelectPaths(window, 0, {3});
        ui.acExploreFile->trigger();
        QCOMPARE(FPlace->Desktop.Explored, (QStringList{shown(2), shown(3)}));
        QVERIFY(FPlace->Desktop.Messages.isEmpty() && FPlace->Desktop.Errors.isEmpty());
    }

    // The desktop gets a path only when the way to it passes the checks a removal makes.
    void shellActionsRefuseWhatTheWalkRefuses_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("fileError");   // Open file and Show with Notepad
        QTest::addColumn<QString>("folderError"); // Explore file; "" when handed over
        QTest::newRow("a link in a folder anyone may write to")
            << "sticky/root/d/a.txt" << TTrustedPath::UntrustedLinkText
            << TTrustedPath::UntrustedLinkText;
        QTest::newRow("the file itself such a link")
            << "sticky/a.txt" << TTrustedPath::UntrustedLinkText << "";
        QTest::newRow("a file gone")
            << "real/d/gone.txt" << QString::fromLocal8Bit(std::strerror(ENOENT)) << "";
        QTest::newRow("a folder gone")
            << "gone/a.txt" << QString::fromLocal8Bit(std::strerror(ENOENT))
            << QString::fromLocal8Bit(std::strerror(ENOENT));
        QTest::newRow("\"..\" in the path") << "real/../real/d/a.txt"
                                            << "Invalid filename"
                                            << "Invalid filename";
        QTest::newRow("a trusted link") << "trusted/d/a.txt"
                                        << ""
                                        << "";
    }

    void shellActionsRefuseWhatTheWalkRefuses() {
        QFETCH(QString, path);
        QFETCH(QString, fileError);
        QFETCH(QString, folderError);
        TTestTree tree({{"real/d/a.txt", 10}, {"other/a.txt", 10}});
        tree.Dir("sticky");
        tree.Chmod("sticky", 01777);
        tree.Symlink("sticky/root", tree / "real");
        tree.Symlink("sticky/a.txt", tree / "real/d/a.txt");
        tree.Symlink("trusted", "real");
        const std::string full = tree / path.toStdString();
        TfrmTwinseek window;
        ShowGroups(window, {{"a.txt", {full, tree / "other/a.txt"}}});
        SelectPaths(window, 0, {0});
        Ui::TfrmTwinseek& ui = window.Form();
        ui.acOpenFile->trigger();
        ui.acShowNotepad->trigger();
        ui.acExploreFile->trigger();

        const QString shown = QString::fromStdString(full);
        const QString folder = QString::fromStdString(DirectoryPart(full));
        QStringList messages;
        if (!fileError.isEmpty())
            messages << "Could not open file: " + shown + " \n\nError message: " + fileError
                     << "Could not open file: " + shown + " \n\nError message: " + fileError;
        if (!folderError.isEmpty())
            messages << "Could not open folder: " + folder + " \n\nError message: " + folderError;
        QCOMPARE(FPlace->Desktop.Messages, messages);
        QCOMPARE(FPlace->Desktop.Opened, fileError.isEmpty() ? QStringList{shown} : QStringList{});
        QCOMPARE(FPlace->Desktop.Edited, fileError.isEmpty() ? QStringList{shown} : QStringList{});
        QCOMPARE(FPlace->Desktop.Explored,
                 folderError.isEmpty() ? QStringList{shown} : QStringList{});
    }

    // A scanned folder replaced by a link to a folder holding a file of the same name, size and
    // time: the link is trusted (the test's own, in its own folder), so the walk follows it, and
    // the check of the file against this scan's record keeps the file outside.
    void aFolderSwappedForALinkAfterTheScan() {
        TTestTree tree({{"scan/d/x.txt", 10}, {"scan/e/x.txt", 10}, {"outside/x.txt", 10}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree / "scan"));
        SelectPaths(window, 0, {});
        const QStringList paths = Column0(window.PathList());
        const int row = RowOf(window, tree / "scan/d/x.txt");
        QVERIFY(row >= 0 && paths.size() == 2);
        tree.Remove("scan/d");
        tree.Symlink("scan/d", tree / "outside");

        SelectPaths(window, 0, {row});
        window.Form().acDelete->trigger();
        QVERIFY(TRemovals::Removed.isEmpty());
        QVERIFY(Exists(QString::fromStdString(tree / "outside/x.txt")));
        QCOMPARE(FPlace->Desktop.Messages,
                 QStringList{DeleteMessage(paths[row]) + TRecordedFile::ChangedText});
        QCOMPARE(Column0(window.PathList()), paths);
        QCOMPARE(SelectedPathRows(window), QList<int>{row});
    }

    // The scan root reached through a link: a trusted link is followed for the removal too; one
    // that anybody could have planted is not.
    void aScanRootReachedThroughALink_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<QString>("error"); // "" when the copy is deleted
        QTest::newRow("trusted") << "pub" << 0755u << "";
        QTest::newRow("in a folder anyone may write to")
            << "sticky" << 01777u << QString(TTrustedPath::UntrustedLinkText);
    }

    void aScanRootReachedThroughALink() {
        QFETCH(QString, folder);
        QFETCH(unsigned, mode);
        QFETCH(QString, error);
        TTestTree tree({{"real/d1/a.txt", 10}, {"real/d2/a.txt", 10}});
        tree.Dir(folder.toStdString());
        tree.Chmod(folder.toStdString(), mode);
        tree.Symlink(folder.toStdString() + "/root", "../real");
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree / (folder.toStdString() + "/root")));
        const std::string root = tree / (folder.toStdString() + "/root");
        SelectPaths(window, 0, {});
        const int row = RowOf(window, root + "/d1/a.txt");
        QVERIFY(row >= 0);
        SelectPaths(window, 0, {row});
        window.Form().acDelete->trigger();
        const QString doomed = QString::fromStdString(root + "/d1/a.txt");
        if (error.isEmpty()) {
            QVERIFY(FPlace->Desktop.Messages.isEmpty());
            QCOMPARE(TRemovals::Removed,
                     QList<QByteArray>{QByteArray::fromStdString(tree / "real/d1/a.txt")});
            QVERIFY(!Exists(QString::fromStdString(tree / "real/d1/a.txt")));
            QCOMPARE(window.PathList().rowCount(), 1);
        } else {
            QCOMPARE(FPlace->Desktop.Messages, QStringList{DeleteMessage(doomed) + error});
            QVERIFY(TRemovals::Removed.isEmpty());
            QVERIFY(Exists(QString::fromStdString(tree / "real/d1/a.txt")));
            QCOMPARE(window.PathList().rowCount(), 2);
        }
    }

    // A result list names copies by path, size and time; a list saved and then edited by hand
    // (or a file changed since) cannot make Delete remove a file that does not match.
    void aForgedResultList_data() {
        QTest::addColumn<int64_t>("size");
        QTest::addColumn<int>("timeShift");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("as listed") << int64_t{10} << 0 << true;
        QTest::newRow("another size") << int64_t{11} << 0 << false;
        QTest::newRow("another time") << int64_t{10} << 2 << false;
    }

    void aForgedResultList() {
        QFETCH(int64_t, size);
        QFETCH(int, timeShift);
        QFETCH(bool, deleted);
        TTestTree tree({{"d1/a.txt", 10}, {"d2/a.txt", 10}});
        TfrmTwinseek scanned;
        QVERIFY(Scan(scanned, tree));
        tree.File("victim/a.txt", size, TTestTree::DefaultTime + timeShift);
        const QString list = WorkPath("result.twl");
        FPlace->Desktop.DialogAnswers = {{1, list}};
        scanned.Form().acSave->trigger();
        QFile file(list);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray content = file.readAll();
        file.close();
        const QByteArray listed = QByteArray::fromStdString(tree / "d1/a.txt");
        const QByteArray victim = QByteArray::fromStdString(tree / "victim/a.txt");
        QVERIFY(content.contains(listed + "\r\n"));
        content.replace(listed + "\r\n", victim + "\r\n");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                file.write(content) == content.size());
        file.close();

        TfrmTwinseek loaded;
        loaded.LoadResultList(list);
        SelectPaths(loaded, 0, {});
        const int row = RowOf(loaded, victim.toStdString());
        QVERIFY(row >= 0);
        SelectPaths(loaded, 0, {row});
        loaded.Form().acDelete->trigger();
        QCOMPARE(!Exists(QString::fromUtf8(victim)), deleted);
        QCOMPARE(loaded.PathList().rowCount(), deleted ? 1 : 2);
        QCOMPARE(FPlace->Desktop.Messages,
                 deleted ? QStringList{}
                         : QStringList{DeleteMessage(QString::fromUtf8(victim)) +
                                       TRecordedFile::ChangedText});
    }

    // A loaded list may name a file without copies: its row shows, sorts, saves and deletes
    // nothing, like any other.
    void aLoadedNameWithoutCopies() {
        const QString list = WorkPath("empty.twl");
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Twinseek saved result version 1.3\r\n\r\n\r\n*.*\r\n2\r\n"
                   " 0.00000000000000E+0000\r\nlonely.txt\r\n0\r\nother.txt\r\n-3\r\n");
        file.close();
        TfrmTwinseek window;
        window.LoadResultList(list);
        QCOMPARE(Column0(window.FileList()), (QStringList{"lonely.txt", "other.txt"}));
        window.lvFilesColumnClick(3);
        SelectPaths(window, 0, {});
        QCOMPARE(window.PathList().rowCount(), 0);
        window.acDeleteExecute();
        window.Form().acShowNotepad->trigger();
        QVERIFY(FPlace->Desktop.Messages.isEmpty());
        FPlace->Desktop.DialogAnswers = {{1, list}};
        window.Form().acSave->trigger();
        QVERIFY(FPlace->Desktop.Errors.isEmpty());
        window.LoadResultList(list);
        QCOMPARE(Column0(window.FileList()), (QStringList{"lonely.txt", "other.txt"}));
    }

    // Copies that vanished behind the window's back are taken off the list, not reported as
    // failures: the loop goes on, and one message afterwards names them all.
    void copiesAlreadyGone() {
        TTestTree tree({{"d1/a.txt", 10},
                        {"d2/a.txt", 20},
                        {"d3/a.txt", 30},
                        {"d4/a.txt", 40},
                        {"d5/a.txt", 50},
                        {"e1/b.txt", 1},
                        {"e2/b.txt", 1}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        QCOMPARE(Column0(window.FileList()), (QStringList{"a.txt", "b.txt"}));
        SelectPaths(window, 0, {0, 1, 2, 3});
        const QStringList paths = Column0(window.PathList());
        QCOMPARE(paths.size(), 5);
        // The second copy's file and the third copy's whole folder vanish; the fourth cannot go.
        QVERIFY(QFile::remove(paths[1]));
        QVERIFY(QDir(QString::fromStdString(DirectoryPart(paths[2].toStdString())))
                    .removeRecursively());
        TRemovals::Failing.insert(paths[3].toUtf8(), EROFS);
        const int64_t left = QFileInfo(paths[3]).size() + QFileInfo(paths[4]).size();

        window.Form().acDelete->trigger();
        QCOMPARE(TRemovals::Removed, (QList<QByteArray>{paths[0].toUtf8(), paths[3].toUtf8()}));
        QCOMPARE(
            FPlace->Desktop.Messages,
            (QStringList{DeleteMessage(paths[3]) + QString::fromLocal8Bit(std::strerror(EROFS)),
                         "These copies no longer existed and were taken off the list:\n" +
                             paths[1] + '\n' + paths[2]}));
        QVERIFY(!Exists(paths[0]) && Exists(paths[3]) && Exists(paths[4]));
        QCOMPARE(Column0(window.PathList()), paths.mid(3));
        QCOMPARE(SelectedPathRows(window), QList<int>{0});
        QCOMPARE(RowTexts(window.FileList(), 0),
                 (QStringList{"a.txt", "txt", "2", QString("%1 Bytes").arg(left)}));
        QCOMPARE(window.PanelText(3), QString("Total space required: %1 Bytes").arg(left + 2));
    }

    // A name with control characters cannot disguise itself in the failure box.
    void namesInTheBoxAreEscaped() {
        TTestTree tree({{"a\x1b[8m\rb/x.txt", 10}, {"c/x.txt", 10}});
        TfrmTwinseek window;
        QVERIFY(Scan(window, tree));
        const std::string path = tree / "a\x1b[8m\rb/x.txt";
        SelectPaths(window, 0, {});
        const int row = RowOf(window, path);
        QVERIFY(row >= 0);
        SelectPaths(window, 0, {row});
        TRemovals::Failing.insert(QByteArray::fromStdString(path), EBUSY);
        window.Form().acDelete->trigger();
        const QString shown = QString::fromStdString(tree.Root()) + "/a\\x1B[8m\\rb/x.txt";
        QCOMPARE(FPlace->Desktop.Messages,
                 QStringList{DeleteMessage(shown) + QString::fromLocal8Bit(std::strerror(EBUSY))});
    }

    void desktopEntryCommand_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("command");
        const QString file = "/home/me/my notes.txt";
        QTest::newRow("%U") << "[Desktop Entry]\nName=Text Editor\nExec=gedit %U\n"
                            << QStringList{"gedit", file};
        QTest::newRow("quoted program and %f")
            << "[Desktop Entry]\nExec=env FOO=1 \"my editor\" --new-window %f\n"
            << QStringList{"env", "FOO=1", "my editor", "--new-window", file};
        QTest::newRow("no field code") << "[Desktop Entry]\nExec=kate -b\n"
                                       << QStringList{"kate", "-b", file};
        QTest::newRow("%% is a percent sign") << "[Desktop Entry]\nExec=tool %% --zoom=50%% %F\n"
                                              << QStringList{"tool", "%", "--zoom=50%", file};
        QTest::newRow("Exec of an action group is not the entry's")
            << "[Desktop Entry]\nExec=gedit %U\n\n[Desktop Action new-window]\nExec=gedit "
               "--new-window\n"
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
        ShowGroups(
            window,
            {{"a.txt", {"/data/1/a.txt", "/data/2/a.txt"}}, {"b.txt", {"/x/b.txt", "/y/b.txt"}}},
            42);
        const QString list = WorkPath("list.txt"), report = WorkPath("report.twl"),
                      all = WorkPath("all.twl");
        FPlace->Desktop.DialogAnswers = {{1, list}, {2, report}, {0, {}}, {3, all}};
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
        QCOMPARE(FPlace->Desktop.SaveOffers.size(), 4);
        QCOMPARE(FPlace->Desktop.SaveOffers[0].Filters,
                 (QStringList{"Twin seek list(*.twl)", "Textfile (*.txt)", "All files (*.*)"}));
        QCOMPARE(FPlace->Desktop.SaveOffers[0].DefaultSuffix, QString("twl"));
        const QList<QPair<int, QString>> offered{{1, ""}, {1, list}, {2, report}, {2, report}};
        for (int use = 0; use < 4; ++use) {
            QCOMPARE(FPlace->Desktop.SaveOffers[use].TypeIndex, offered[use].first);
            QCOMPARE(FPlace->Desktop.SaveOffers[use].FileName, offered[use].second);
        }
    }

    void saveTellsWhichCopiesWereLeftOut() {
        TfrmTwinseek window;
        ShowGroups(window, {{"a.txt", {"/data/1/a.txt", "/data/\r\n2/a.txt", "/data/3/a.txt"}},
                            {"b\n.txt", {"/x/b\n.txt", "/y/b\n.txt"}}});
        FPlace->Desktop.DialogAnswers = {{1, WorkPath("list.twl")}, {2, WorkPath("report.txt")}};
        window.Form().acSave->trigger();
        QCOMPARE(FPlace->Desktop.Messages,
                 QStringList{"Copies left out of the saved list: 3 (a path or name holds a line "
                             "break or byte 26, or is longer than 1 MiB). The first: "
                             "/data/\\r\\n2/a.txt"});
        QVERIFY(FPlace->Desktop.Errors.isEmpty());
        // The header, the name key and count of the group kept, its two copies, the end.
        const QList<QByteArray> lines = ReadLines(WorkPath("list.twl"));
        QCOMPARE(lines.size(), 6 + 2 + 2 * 5 + 1);
        QCOMPARE(lines[6] + lines[7] + lines[8] + lines[13],
                 QByteArray("a.txt\r2\r/data/1/a.txt\r/data/3/a.txt\r"));
        // A report holds every copy: no message.
        window.Form().acSave->trigger();
        QCOMPARE(FPlace->Desktop.Messages.size(), 1);

        // A scan text with a line break refuses the save, and the old list stays.
        TOptionRec options = window.Options();
        options.ScanPath = "/data\r\n/etc";
        window.SetOptions(options);
        FPlace->Desktop.DialogAnswers = {{1, WorkPath("list.twl")}};
        window.Form().acSave->trigger();
        QCOMPARE(FPlace->Desktop.Errors,
                 QStringList{"The scan, exclude or mask text holds a line break or byte 26, or is "
                             "longer than 1 MiB; the result list was not saved."});
        QCOMPARE(ReadLines(WorkPath("list.twl")), lines);
    }

    void openReproducesASavedResult() {
        TTestTree tree({{"d1/a.txt", 100},
                        {"d2/a.txt", 2048},
                        {"d1/b.txt", 7},
                        {"d2/b.txt", 7},
                        {"d3/b.txt", 7},
                        {"d3/c.txt", 1}});
        TfrmTwinseek saved;
        QVERIFY(Scan(saved, tree));
        FPlace->Desktop.DialogAnswers = {{1, WorkPath("result.twl")}, {1, WorkPath("result.twl")}};
        saved.Form().acSave->trigger();

        TfrmTwinseek loaded;
        loaded.setWindowTitle(TfrmTwinseek::TitleFor("/home/me/work.twc"));
        loaded.Form().acOpen->trigger();
        QVERIFY(FPlace->Desktop.Messages.isEmpty() && FPlace->Desktop.Errors.isEmpty());
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
        QCOMPARE(loaded.FilesRead(), 6);
        QCOMPARE(loaded.PanelText(0), saved.PanelText(0));
        QCOMPARE(loaded.PanelText(1), QString("Files read: 6"));
        QCOMPARE(loaded.PanelText(2), QString("Double files: 2"));
        QCOMPARE(loaded.PanelText(3), QString("Total space required: 2.1 KB"));
    }

    void openOfAFileItCannotUse_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("panels"); // 0 to 2
        const QByteArray header = "Twinseek saved result version 1.3\r\n/tmp\r\n\r\n*.*\r\n55\r\n "
                                  "5.00000000000000E-0001\r\n";
        const QByteArray entry = "10\r\n776032614\r\n1060151296\r\n29542874\r\n";
        QTest::newRow("cancelled")
            << false << QByteArray() << QStringList()
            << QStringList{"Time: 01:00:00", "Files read: 7", "Double files: 1"};
        QTest::newRow("wrong indicator")
            << true << QByteArray("Twinseek saved result version 1.2\r\n/tmp\r\n\r\n*.*\r\n55\r\n")
            << QStringList{"File has not the right file indicator."}
            << QStringList{"Time: 01:00:00", "Files read: 7", "Double files: 0"};
        QTest::newRow("bad size in the second group")
            << true
            << header + "a.txt\r\n2\r\n/p/a.txt\r\n" + entry + "/q/a.txt\r\n" + entry +
                   "b.txt\r\n2\r\n/p/b.txt\r\n1O\r\n"
            << QStringList{"Unexpected file structure or size. Opening aborted."}
            << QStringList{"Time: 12:00:00", "Files read: 55", "Double files: 0"};
    }

    void openOfAFileItCannotUse() {
        QFETCH(bool, confirmed);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, panels);
        TfrmTwinseek window;
        ShowGroups(window, {{"old.txt", {"/a/old.txt", "/b/old.txt"}}}, 7, 1 / 24.0);
        const QString title = TfrmTwinseek::TitleFor("/home/me/work.twc");
        window.setWindowTitle(title);
        QFile file(WorkPath("bad.twl"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        FPlace->Desktop.DialogAnswers = {{confirmed ? 1 : 0, file.fileName()}};

        window.Form().acOpen->trigger();
        QCOMPARE(FPlace->Desktop.Messages, messages);
        QVERIFY(FPlace->Desktop.Errors.isEmpty());
        QCOMPARE(window.windowTitle(), confirmed ? QString("Twin Seek") : title);
        QCOMPARE(window.FileList().rowCount(), confirmed ? 0 : 1);
        QCOMPARE((QStringList{window.PanelText(0), window.PanelText(1), window.PanelText(2)}),
                 panels);
    }

    // QTEST_MAIN's application does not catch errors the way the program's own does, so the
    // handler is called directly and its error caught here. The error names the file.
    void openOfAMissingFile() {
        TfrmTwinseek window;
        ShowGroups(window, {{"old.txt", {"/a/old.txt", "/b/old.txt"}}});
        SelectPaths(window, 0, {0});
        window.setWindowTitle(TfrmTwinseek::TitleFor("/home/me/work.twc"));
        FPlace->Desktop.DialogAnswers = {{1, WorkPath("missing.twl")}};
        QString error = "(no error)";
        try {
            window.acOpenExecute();
        } catch (const EInOutError& failure) {
            error = failure.what();
        }
        QCOMPARE(error, "Cannot open file " + WorkPath("missing.twl") + ": File not found");
        QVERIFY(FPlace->Desktop.Messages.isEmpty());
        QCOMPARE(window.windowTitle(), QString("Twin Seek"));
        QCOMPARE(window.FileList().rowCount(), 0);
        QCOMPARE(window.PathList().rowCount(), 0);
    }

    // Saving into a folder that does not exist names the file, as a list and as a report; the
    // result stays shown.
    void saveIntoAMissingFolder_data() {
        QTest::addColumn<int>("type");
        QTest::newRow("result list") << 1;
        QTest::newRow("text report") << 2;
    }

    void saveIntoAMissingFolder() {
        QFETCH(int, type);
        TfrmTwinseek window;
        ShowGroups(window, {{"a.txt", {"/data/1/a.txt", "/data/2/a.txt"}}});
        const QString name = WorkPath("missing/report2.txt");
        FPlace->Desktop.DialogAnswers = {{type, name}};
        QString error = "(no error)";
        try {
            window.acSaveExecute();
        } catch (const EInOutError& failure) {
            error = failure.what();
        }
        QCOMPARE(error, "Cannot save file " + name + ": File not found");
        QCOMPARE(window.FileList().rowCount(), 1);
    }
};

QTEST_MAIN(FileActionsTest)
#include "FileActionsTest.moc"
