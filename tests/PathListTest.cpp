// The path list's own ways: its copies sorted by a header click, in the view only; Delete, Open,
// Explore and clean-up acting on the copies meant after sorting; the selected copies leaving the
// window by Ctrl+C, by dragging and by a double-click.

#include "Desktop.h"
#include "FileListModel.h"
#include "FileTimes.h"
#include "KeepRule.h"
#include "OnScreen.h"
#include "PathListModel.h"
#include "TestTree.h"
#include "WhenCleanUpOpens.h"
#include "WindowOptions.h"
#include "WindowTestPlace.h"
#include "frmCleanUp.h"
#include "frmTwinseek.h"
#include "ui_frmCleanUp.h"
#include "ui_frmTwinseek.h"

#include <QClipboard>
#include <QHeaderView>
#include <QMimeData>
#include <QStandardPaths>
#include <QtTest>
#include <memory>
#include <optional>
#include <utility>

namespace {

// A copy to show: its full path, size and last change (seconds since 1970).
struct TCopy {
    std::string Path;
    int64_t Size = 1;
    int64_t Time = TTestTree::DefaultTime;
};
using TCopies = QList<TCopy>;

// Shows groups of copies as a finished scan would, and selects the first name.
void ShowCopies(TfrmTwinseek& window, const QList<TCopies>& groups) {
    TScanResult result;
    for (const TCopies& copies : groups) {
        auto group = std::make_unique<TFileGroup>();
        for (const TCopy& copy : copies) {
            TFileInfoRec info = FileInfoForPath(copy.Path);
            info.Size = copy.Size;
            info.LastWriteTime = LastWriteTimeFromUnix(copy.Time, 0);
            group->Add(std::move(info));
        }
        result.Rows.push_back({"name" + std::to_string(result.Rows.size()), std::move(group)});
    }
    window.ShowResult(std::move(result));
    window.Form().lvFiles->setCurrentIndex(window.FileList().index(0, 0));
}

// The paths as the list shows them, top to bottom.
QList<QByteArray> ShownPaths(const TfrmTwinseek& window) {
    QList<QByteArray> paths;
    for (int row = 0; row < window.PathList().rowCount(); ++row)
        paths << QByteArray::fromStdString(window.PathList().Path(row));
    return paths;
}

// The paths in the group's own order.
QList<QByteArray> GroupPaths(const TfrmTwinseek& window) {
    QList<QByteArray> paths;
    const TFileGroup* group = window.PathList().Group();
    for (int copy = 0; group != nullptr && copy < group->Count(); ++copy)
        paths << QByteArray::fromStdString(group->Path(copy));
    return paths;
}

void ClickPathHeader(TfrmTwinseek& window, int column) {
    QHeaderView* header = window.Form().lvPath->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void SelectShownRows(TfrmTwinseek& window, const QList<int>& rows) {
    QItemSelectionModel* selection = window.Form().lvPath->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(window.PathList().index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.ActionList1Update();
}

bool Scan(TfrmTwinseek& window, const TTestTree& tree) {
    EditOptions(window, [&](TOptionRec& o) {
        o.ScanPath = tree.Root();
        o.CompareMode = cmNameOnly;
    });
    window.acStartExecute();
    return QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000);
}

bool Exists(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).isFile();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(TCopy)

class PathListTest : public QObject {
    Q_OBJECT

    std::optional<TWindowTestPlace> FPlace;

    static std::unique_ptr<TfrmTwinseek> NewWindow() {
        return OnScreen(std::make_unique<TfrmTwinseek>());
    }

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init() {
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
        // The action log and the trash of these tests lie in their working folder.
        FPlace->KeepRemovalsHere();
    }

    void cleanup() {
        const QStringList shown = FPlace->Desktop.Shown;
        FPlace.reset();
        QFile::remove(TfrmTwinseek::WindowSettingsFile());
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
    }

    void headerClicksSortTheCopiesShown_data() {
        QTest::addColumn<TCopies>("copies");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QList<QList<int>>>("orders"); // the copies shown after each click
        QTest::addColumn<QList<Qt::SortOrder>>("indicators");
        const auto A = Qt::AscendingOrder, D = Qt::DescendingOrder;
        // Texts would sort "1,000 Bytes" before "2.0 KB" before "5 Bytes".
        QTest::newRow("Size by bytes, a second click turns it round")
            << TCopies{{"/d/x/a", 2048}, {"/d/y/a", 5}, {"/d/z/a", 1000}} << QList<int>{1, 1, 1}
            << QList<QList<int>>{{1, 2, 0}, {0, 2, 1}, {1, 2, 0}} << QList<Qt::SortOrder>{A, D, A};
        // Capitals before small letters, bytes past ASCII last.
        QTest::newRow("Directories by bytes")
            << TCopies{{"/d/b/a"}, {"/d/\xc3\xa9/a"}, {"/d/C/a"}, {"/d/a/a"}} << QList<int>{0, 0}
            << QList<QList<int>>{{2, 3, 0, 1}, {1, 0, 3, 2}} << QList<Qt::SortOrder>{A, D};
        // The text shows minutes at most; the raw times differ in seconds.
        QTest::newRow("DateTime by the raw time, another column starts ascending")
            << TCopies{{"/d/x/a", 1, 1044094272 + 30},
                       {"/d/y/a", 2, 1044094272},
                       {"/d/z/a", 3, 1044094272 + 10}}
            << QList<int>{2, 2, 1} << QList<QList<int>>{{1, 2, 0}, {0, 2, 1}, {0, 1, 2}}
            << QList<Qt::SortOrder>{A, D, A};
        QTest::newRow("equal values keep the group's order")
            << TCopies{{"/d/x/a", 7}, {"/d/y/a", 3}, {"/d/z/a", 7}} << QList<int>{1, 1}
            << QList<QList<int>>{{1, 0, 2}, {0, 2, 1}} << QList<Qt::SortOrder>{A, D};
    }

    // A click sorts the copies shown by the column's raw value; the group keeps its order.
    void headerClicksSortTheCopiesShown() {
        QFETCH(TCopies, copies);
        QFETCH(QList<int>, clicks);
        QFETCH(QList<QList<int>>, orders);
        QFETCH(QList<Qt::SortOrder>, indicators);
        auto window = NewWindow();
        QVERIFY(window);
        ShowCopies(*window, {copies});
        QList<QByteArray> groupOrder;
        for (const TCopy& copy : copies)
            groupOrder << QByteArray::fromStdString(copy.Path);
        QCOMPARE(ShownPaths(*window), groupOrder);
        QHeaderView* header = window->Form().lvPath->header();
        for (int step = 0; step < clicks.size(); ++step) {
            ClickPathHeader(*window, clicks[step]);
            QList<QByteArray> expected;
            for (int copy : orders[step])
                expected << groupOrder[copy];
            QCOMPARE(ShownPaths(*window), expected);
            QCOMPARE(GroupPaths(*window), groupOrder);
            QVERIFY(header->isSortIndicatorShown());
            QCOMPARE(header->sortIndicatorSection(), clicks[step]);
            QCOMPARE(header->sortIndicatorOrder(), indicators[step]);
        }
    }

    // The order chosen stays for the next name shown, and the selection stays with its copy.
    void theOrderStaysAndTheSelectionFollows() {
        auto window = NewWindow();
        QVERIFY(window);
        ShowCopies(*window, {{{"/d/x/a", 30}, {"/d/y/a", 10}, {"/d/z/a", 20}},
                             {{"/d/x/b", 2}, {"/d/y/b", 1}}});
        SelectShownRows(*window, {0});
        ClickPathHeader(*window, TPathListModel::ColSize);
        QCOMPARE(ShownPaths(*window), (QList<QByteArray>{"/d/y/a", "/d/z/a", "/d/x/a"}));
        const QModelIndexList selected = window->Form().lvPath->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(window->PathList().Path(selected[0].row()), std::string("/d/x/a"));
        window->Form().lvFiles->setCurrentIndex(window->FileList().index(1, 0));
        QCOMPARE(ShownPaths(*window), (QList<QByteArray>{"/d/y/b", "/d/x/b"}));
        QCOMPARE(GroupPaths(*window), (QList<QByteArray>{"/d/x/b", "/d/y/b"}));
    }

    // After sorting, Open file, Show with Notepad, Explore and Delete act on the copy selected as
    // shown; a list saved afterwards is the one saved before.
    void actionsAfterSortingTakeTheCopyShown() {
        TTestTree tree({{"x/a.txt", 300}, {"y/a.txt", 100}, {"z/a.txt", 200}});
        auto window = NewWindow();
        QVERIFY(window);
        QVERIFY(Scan(*window, tree));
        window->Form().lvFiles->setCurrentIndex(window->FileList().index(0, 0));
        window->SaveResultList(FPlace->WorkDir.filePath("before.twl"));
        const QList<QByteArray> groupOrder = GroupPaths(*window);

        // Sorted by size so that the first row shown is not the group's first copy.
        ClickPathHeader(*window, TPathListModel::ColSize);
        if (ShownPaths(*window).value(0) == groupOrder.value(0))
            ClickPathHeader(*window, TPathListModel::ColSize);
        const QList<QByteArray> shown = ShownPaths(*window);
        QVERIFY(shown.value(0) != groupOrder.value(0));
        const std::string big = shown.value(0).toStdString();
        SelectShownRows(*window, {0});
        Ui::TfrmTwinseek& ui = window->Form();
        ui.acOpenFile->trigger();
        ui.acShowNotepad->trigger();
        ui.acExploreFile->trigger();
        QCOMPARE(FPlace->Desktop.Opened, QStringList{QString::fromStdString(big)});
        QCOMPARE(FPlace->Desktop.Edited, QStringList{QString::fromStdString(big)});
        QCOMPARE(FPlace->Desktop.Explored, QStringList{QString::fromStdString(big)});

        window->SaveResultList(FPlace->WorkDir.filePath("sorted.twl"));
        QCOMPARE(ReadAll(FPlace->WorkDir.filePath("sorted.twl")),
                 ReadAll(FPlace->WorkDir.filePath("before.twl")));

        ui.acDelete->trigger();
        QVERIFY(!Exists(big));
        QVERIFY(Exists(shown[1].toStdString()) && Exists(shown[2].toStdString()));
        QCOMPARE(ShownPaths(*window), shown.mid(1));
        QList<QByteArray> left = groupOrder;
        left.removeOne(QByteArray::fromStdString(big));
        QCOMPARE(GroupPaths(*window), left);
        const QByteArray log = ReadAll(FPlace->WorkDir.filePath("state/twinseek/actions.log"));
        QCOMPARE(log.count('\n'), 1);
        QCOMPARE(log.split('\t').value(2), QByteArray::fromStdString(big));

        SelectShownRows(*window, {0});
        ui.acTrash->trigger();
        QVERIFY(!Exists(shown[1].toStdString()));
        QVERIFY(Exists(shown[2].toStdString()));
    }

    // A clean-up keeping the first copy keeps the group's first, whatever order is shown.
    void cleanUpAfterSortingKeepsByTheGroupsOrder() {
        TTestTree tree({{"b/a.txt", 10}, {"c/a.txt", 10}, {"a/a.txt", 10}});
        for (const char* path : {"b/a.txt", "c/a.txt", "a/a.txt"})
            WriteBytes(tree / path, "0123456789");
        auto window = NewWindow();
        QVERIFY(window);
        QVERIFY(Scan(*window, tree));
        window->Form().lvFiles->setCurrentIndex(window->FileList().index(0, 0));
        const QByteArray first = GroupPaths(*window).value(0);
        ClickPathHeader(*window, TPathListModel::ColPath);
        if (ShownPaths(*window) == GroupPaths(*window))
            ClickPathHeader(*window, TPathListModel::ColPath);
        QVERIFY(ShownPaths(*window) != GroupPaths(*window));
        SelectShownRows(*window, {0});

        WhenCleanUpOpens([](TfrmCleanUp& dialog) {
            dialog.SetRule(TKeepRule::First);
            dialog.Form().bTrash->click();
        });
        window->Form().acCleanUp->trigger();
        QVERIFY(
            QTest::qWaitFor([&] { return window->State() == TfrmTwinseek::TState::Idle; }, 10000));
        QCOMPARE(FPlace->Desktop.Shown.size(), 1);
        QVERIFY2(FPlace->Desktop.Shown[0].startsWith("Removed: 2."),
                 qPrintable(FPlace->Desktop.Shown[0]));
        FPlace->Desktop.Shown.clear();
        for (const char* path : {"a/a.txt", "b/a.txt", "c/a.txt"})
            QCOMPARE(Exists(tree / path), QByteArray::fromStdString(tree / path) == first);
    }

    // Ctrl+C puts the selected copies on the clipboard as shown, one a line, and as file URIs.
    void ctrlCCopiesTheSelectedPaths() {
        // A name with a space, one that is not UTF-8, one with a line break and a plain one.
        const std::string spaced = "/d/my files/a b%.txt";
        const std::string latin1 = "/d/caf\xe9/a";
        const std::string broken = "/d/two\nlines/a";
        const std::string plain = "/d/plain/a";
        auto window = NewWindow();
        QVERIFY(window);
        ShowCopies(*window, {{{spaced, 4}, {latin1, 3}, {broken, 2}, {plain, 1}}});
        ClickPathHeader(*window, TPathListModel::ColSize); // plain, broken, latin1, spaced
        SelectShownRows(*window, {3, 1, 2});
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        window->Form().lvPath->setFocus();
        QTest::keyClick(window->Form().lvPath, Qt::Key_C, Qt::ControlModifier);

        const QMimeData* data = clipboard->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(),
                 ShownText(broken) + '\n' + DecodedName(latin1) + '\n' + DecodedName(spaced));
        QCOMPARE(ShownText(broken), QString("/d/two\\nlines/a"));
        QCOMPARE(data->data("text/uri-list"),
                 QByteArray("file:///d/two%0Alines/a\r\nfile:///d/caf%E9/a\r\n"
                            "file:///d/my%20files/a%20b%25.txt\r\n"));
        // Every URI gives its bytes back.
        const QList<QByteArray> uris = data->data("text/uri-list").split('\n');
        const std::string expected[] = {broken, latin1, spaced};
        for (int line = 0; line < 3; ++line)
            QCOMPARE(QByteArray::fromPercentEncoding(uris[line].trimmed().mid(7)),
                     QByteArray::fromStdString(expected[line]));

        // Nothing selected: the clipboard stays as it was.
        clipboard->setText("kept");
        SelectShownRows(*window, {});
        QTest::keyClick(window->Form().lvPath, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QString("kept"));
    }

    // A drag out of the path list carries the selected copies as file URIs, to be copied.
    void draggingCarriesFileUris() {
        auto window = NewWindow();
        QVERIFY(window);
        ShowCopies(*window, {{{"/d/x y/a", 2}, {"/d/z/a", 1}}});
        QTreeView* list = window->Form().lvPath;
        QVERIFY(list->dragEnabled());
        QCOMPARE(list->dragDropMode(), QAbstractItemView::DragOnly);
        const TPathListModel& model = window->PathList();
        QCOMPARE(model.supportedDragActions(), Qt::DropActions(Qt::CopyAction));
        QVERIFY(model.mimeTypes().contains("text/uri-list"));
        QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsDragEnabled);
        ClickPathHeader(*window, TPathListModel::ColSize);
        // What the view hands over: every cell of the selected rows.
        SelectShownRows(*window, {0, 1});
        const std::unique_ptr<QMimeData> data(
            model.mimeData(list->selectionModel()->selectedIndexes()));
        QCOMPARE(data->data("text/uri-list"), QByteArray("file:///d/z/a\r\nfile:///d/x%20y/a\r\n"));
        QCOMPARE(data->urls(), (QList<QUrl>{QUrl("file:///d/z/a"), QUrl("file:///d/x%20y/a")}));
        QCOMPARE(data->text(), QString("/d/z/a\n/d/x y/a"));
    }

    // A double-click on a copy opens it as Open file does: the copy clicked, as shown.
    void doubleClickOpensTheCopy() {
        TTestTree tree({{"x/a.txt", 3}, {"y/a.txt", 1}, {"z/a.txt", 2}});
        auto window = NewWindow();
        QVERIFY(window);
        QVERIFY(Scan(*window, tree));
        window->Form().lvFiles->setCurrentIndex(window->FileList().index(0, 0));
        ClickPathHeader(*window, TPathListModel::ColSize);
        QTreeView* list = window->Form().lvPath;
        const QPoint at = list->visualRect(window->PathList().index(2, 0)).center();
        // The first click of the two selects, the second opens.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(FPlace->Desktop.Opened.isEmpty());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(FPlace->Desktop.Opened, QStringList{QString::fromStdString(tree / "x/a.txt")});
        // Below the rows nothing opens.
        const QPoint below(5, list->viewport()->height() - 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(FPlace->Desktop.Opened.size(), 1);
    }
};

QTEST_MAIN(PathListTest)
#include "PathListTest.moc"
