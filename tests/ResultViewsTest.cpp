// The two result lists: sorting the duplicate list by its headers and its popup actions, and the
// path list that follows the selected duplicate.

#include "Desktop.h"
#include "FileListModel.h"
#include "FileTimes.h"
#include "OnScreen.h"
#include "PathListModel.h"
#include "TestTree.h"
#include "WindowOptions.h"
#include "WindowTestPlace.h"
#include "frmTwinseek.h"
#include "ui_frmTwinseek.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

namespace {

// A duplicate-list row to show: its name key and the sizes of its copies.
struct TShownRow {
    std::string Caption;
    std::vector<int64_t> Sizes;
};
using TShownRows = QList<TShownRow>;

// Hands rows to the window as a finished scan would.
void ShowRows(TfrmTwinseek& window, const TShownRows& rows) {
    TScanResult result;
    for (const TShownRow& row : rows) {
        auto group = std::make_unique<TFileGroup>();
        for (size_t copy = 0; copy < row.Sizes.size(); ++copy) {
            TFileInfoRec info =
                FileInfoForPath("/data/d" + std::to_string(copy) + "/" + row.Caption);
            info.Size = row.Sizes[copy];
            info.LastWriteTime = LastWriteTimeFromUnix(TTestTree::DefaultTime, 0);
            group->Add(std::move(info));
        }
        result.Rows.push_back({row.Caption, std::move(group)});
    }
    window.ShowResult(std::move(result));
}

QStringList Captions(const TfrmTwinseek& window) {
    QStringList captions;
    for (int row = 0; row < window.FileList().rowCount(); ++row)
        captions << window.FileList().index(row, 0).data().toString();
    return captions;
}

QStringList PathRow(const TfrmTwinseek& window, int row) {
    QStringList texts;
    for (int column = 0; column < window.PathList().columnCount(); ++column)
        texts << window.PathList().index(row, column).data().toString();
    return texts;
}

QString PathHeader(const TfrmTwinseek& window) {
    return window.Form().lvPath->model()->headerData(0, Qt::Horizontal).toString();
}

void ClickHeader(TfrmTwinseek& window, int column) {
    QHeaderView* header = window.Form().lvFiles->header();
    QVERIFY(header->sectionSize(column) > 0);
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void ClickRow(TfrmTwinseek& window, const QString& caption) {
    const int row = static_cast<int>(Captions(window).indexOf(caption));
    QVERIFY2(row >= 0, qPrintable(caption));
    QTreeView* view = window.Form().lvFiles;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(window.FileList().index(row, 0)).center());
}

} // namespace

Q_DECLARE_METATYPE(TShownRow)

class ResultViewsTest : public QObject {
    Q_OBJECT

    std::optional<TWindowTestPlace> FPlace;

    // A shown window whose two models are checked by model testers throughout.
    static std::unique_ptr<TfrmTwinseek> NewWindow() {
        auto window = std::make_unique<TfrmTwinseek>();
        using Mode = QAbstractItemModelTester::FailureReportingMode;
        new QAbstractItemModelTester(&window->FileList(), Mode::QtTest, &window->FileList());
        new QAbstractItemModelTester(&window->PathList(), Mode::QtTest, &window->PathList());
        return OnScreen(std::move(window));
    }

    static bool Scan(TfrmTwinseek& window, const TTestTree& tree) {
        EditOptions(window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        window.acStartExecute();
        return QTest::qWaitFor([&] { return !window.IsScanning(); }, 10000);
    }

    // Scans the copies of FillCopies, compared by name only.
    static bool ScanCopies(TfrmTwinseek& window, const TTestTree& tree) {
        EditOptions(window, [&](TOptionRec& o) { o.CompareMode = cmNameOnly; });
        return Scan(window, tree);
    }

    // Three copies of a.txt of different sizes and times and two of b.txt, compared by name only.
    static void FillCopies(TTestTree& tree) {
        tree.File("d1/a.txt", 100, TTestTree::DefaultTime);
        tree.File("d2/a.txt", 2048, TTestTree::DefaultTime + 86400);
        tree.File("d3/a.txt", 5, 1044230400); // 2003-02-03 00:00:00 UTC
        tree.File("d1/b.txt", 1);
        tree.File("d3/b.txt", 1);
    }

  private slots:
    void init() {
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
    }

    void cleanup() {
        const QStringList shown = FPlace->Desktop.Shown;
        FPlace.reset();
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
    }

    // The model testers watch both lists through scans, selections, sorts and clearing.
    void modelsStayConsistentThroughASession() {
        TTestTree tree;
        FillCopies(tree);
        auto window = NewWindow();
        QVERIFY(window);
        QVERIFY(ScanCopies(*window, tree));
        ClickRow(*window, "a.txt");
        ClickRow(*window, "b.txt");
        for (int column = 0; column < 4; ++column)
            ClickHeader(*window, column);
        QCOMPARE(window->PathList().rowCount(), 2);
        window->Form().lvFiles->clearSelection();
        QCOMPARE(window->PathList().rowCount(), 0);
        ClickRow(*window, "a.txt");
        QVERIFY(Scan(*window, tree));
        ClickRow(*window, "a.txt");
        window->ClearFileList();
        QCOMPARE(window->FileList().rowCount(), 0);
    }

    void headerClicksSort_data() {
        QTest::addColumn<TShownRows>("rows");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QList<QStringList>>("orders"); // after each click
        QTest::newRow("Count largest first, then smallest first, then Ext descending")
            << TShownRows{{"a.doc", {1, 1}},
                          {"b.zip", {1, 1, 1}},
                          {"c.gz", std::vector<int64_t>(10, 1)},
                          {"d.txt", std::vector<int64_t>(9, 1)}}
            << QList<int>{2, 2, 1}
            << QList<QStringList>{{"c.gz", "d.txt", "b.zip", "a.doc"},
                                  {"a.doc", "b.zip", "d.txt", "c.gz"},
                                  {"b.zip", "d.txt", "c.gz", "a.doc"}};
        QTest::newRow("name ignores ASCII case")
            << TShownRows{{"ABD", {1, 1}}, {"abc", {1, 1}}} << QList<int>{0, 0}
            << QList<QStringList>{{"ABD", "abc"}, {"abc", "ABD"}};
        QTest::newRow("Ext compares bytes")
            << TShownRows{{"a.txt", {1, 1}}, {"b.TXT", {1, 1}}} << QList<int>{1, 1}
            << QList<QStringList>{{"a.txt", "b.TXT"}, {"b.TXT", "a.txt"}};
        QTest::newRow("no extension first ascending")
            << TShownRows{{"a.txt", {1, 1}}, {"makefile", {1, 1}}, {"b.c", {1, 1}}}
            << QList<int>{1, 1}
            << QList<QStringList>{{"a.txt", "b.c", "makefile"}, {"makefile", "b.c", "a.txt"}};
        // "2.0 KB" twice and "900 Bytes": the texts would sort otherwise.
        QTest::newRow("Space by summed sizes")
            << TShownRows{{"mid", {1024, 1024}}, {"small", {450, 450}}, {"big", {1025, 1025}}}
            << QList<int>{3, 3}
            << QList<QStringList>{{"big", "mid", "small"}, {"small", "mid", "big"}};
    }

    void headerClicksSort() {
        QFETCH(TShownRows, rows);
        QFETCH(QList<int>, clicks);
        QFETCH(QList<QStringList>, orders);
        auto window = NewWindow();
        QVERIFY(window);
        ShowRows(*window, rows);
        for (int step = 0; step < clicks.size(); ++step) {
            ClickHeader(*window, clicks[step]);
            QCOMPARE(Captions(*window), orders[step]);
        }
    }

    void sortActionsActLikeHeaderClicks_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("column");
        QTest::newRow("Sort at Name") << "acSortName" << 0;
        QTest::newRow("Sort at Ext") << "acSortExt" << 1;
        QTest::newRow("Sort at Count") << "acSortCount" << 2;
        QTest::newRow("Sort at Space") << "acSortSize" << 3;
    }

    void sortActionsActLikeHeaderClicks() {
        QFETCH(QString, action);
        QFETCH(int, column);
        // Every column gives another order.
        const TShownRows rows{{"b.zz", {1, 1, 1}}, {"A.yy", {500, 500}}, {"c.xx", {1, 1, 1, 1}}};
        auto byHeader = NewWindow();
        auto byAction = NewWindow();
        QVERIFY(byHeader && byAction);
        ShowRows(*byHeader, rows);
        ShowRows(*byAction, rows);
        auto* sortAction = byAction->findChild<QAction*>(action);
        QVERIFY(sortAction);
        const int other = (column + 1) % 4;
        // The action twice, a header click on another column in both windows, the action again.
        for (int step = 0; step < 4; ++step) {
            const int chosen = step == 2 ? other : column;
            ClickHeader(*byHeader, chosen);
            if (step == 2)
                ClickHeader(*byAction, chosen);
            else
                sortAction->trigger();
            QCOMPARE(Captions(*byAction), Captions(*byHeader));
        }
    }

    void newRowsAreNotResorted() {
        auto window = NewWindow();
        QVERIFY(window);
        ShowRows(*window, {{"b", {1, 1}}, {"a", {1, 1}}, {"c", {1, 1}}});
        ClickHeader(*window, 0);
        QCOMPARE(Captions(*window), (QStringList{"c", "b", "a"}));
        ShowRows(*window, {{"y", {1, 1}}, {"z", {1, 1}}, {"x", {1, 1}}});
        QCOMPARE(Captions(*window), (QStringList{"y", "z", "x"}));
        // The remembered direction flips once more.
        ClickHeader(*window, 0);
        QCOMPARE(Captions(*window), (QStringList{"x", "y", "z"}));
    }

    void pathListShowsTheSelectedCopies() {
        TTestTree tree;
        FillCopies(tree);
        auto window = NewWindow();
        QVERIFY(window);
        QCOMPARE(PathHeader(*window), QString("Directories"));
        QVERIFY(ScanCopies(*window, tree));
        QCOMPARE(Captions(*window), (QStringList{"a.txt", "b.txt"}));

        ClickRow(*window, "a.txt");
        QCOMPARE(PathHeader(*window), QString("Directories of file [a.txt]"));
        QCOMPARE(window->PathList().rowCount(), 3);
        const QString root = QString::fromStdString(tree.Root());
        // A group holds its copies in the reverse of the order in which the walk found them.
        QCOMPARE(PathRow(*window, 0), (QStringList{root + "/d3/a.txt", "5 Bytes", "02/03/03"}));
        QCOMPARE(PathRow(*window, 1),
                 (QStringList{root + "/d2/a.txt", "2.0 KB", "02/02/03 10:11:12"}));
        QCOMPARE(PathRow(*window, 2),
                 (QStringList{root + "/d1/a.txt", "100 Bytes", "02/01/03 10:11:12"}));
        // The tip of a row is its full path, wherever the mouse rests on it.
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                QCOMPARE(window->PathList().index(row, column).data(Qt::ToolTipRole).toString(),
                         PathRow(*window, row)[0]);

        // Moving the selection shows the copies of the new row only.
        ClickRow(*window, "b.txt");
        QCOMPARE(PathHeader(*window), QString("Directories of file [b.txt]"));
        QCOMPARE(window->PathList().rowCount(), 2);
        QCOMPARE(PathRow(*window, 1)[0], root + "/d1/b.txt");
    }

    void deselectingEmptiesThePathListButKeepsItsHeader() {
        TTestTree tree;
        FillCopies(tree);
        auto window = NewWindow();
        QVERIFY(window);
        QVERIFY(ScanCopies(*window, tree));
        ClickRow(*window, "b.txt");
        QCOMPARE(window->PathList().rowCount(), 2);

        // A click into the empty space below the rows.
        QTreeView* view = window->Form().lvFiles;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          QPoint(view->viewport()->width() / 2, view->viewport()->height() - 5));
        QCOMPARE(window->PathList().rowCount(), 0);
        QCOMPARE(PathHeader(*window), QString("Directories of file [b.txt]"));
        QCOMPARE(window->FileList().rowCount(), 2);

        // Start sets the header back.
        window->acStartExecute();
        QCOMPARE(PathHeader(*window), QString("Directories"));
        QVERIFY(QTest::qWaitFor([&] { return !window->IsScanning(); }, 10000));
    }

    void clearFileListEmptiesBothLists() {
        TTestTree tree;
        FillCopies(tree);
        auto window = NewWindow();
        QVERIFY(window);
        QVERIFY(ScanCopies(*window, tree));
        ClickRow(*window, "a.txt");
        QCOMPARE(window->PathList().rowCount(), 3);
        window->ClearFileList();
        QCOMPARE(window->FileList().rowCount(), 0);
        QCOMPARE(window->PathList().rowCount(), 0);
        QCOMPARE(window->PathList().Group(), nullptr);
        QCOMPARE(window->TotalSpace(), 0.0f);
    }

    // The path list shows the group of a duplicate-list row: it follows the row when the list is
    // sorted and lets go of it before new rows replace the old ones.
    void pathListFollowsItsRowAndLetsGoWhenTheRowsGo() {
        auto window = NewWindow();
        QVERIFY(window);
        ShowRows(*window, {{"b.txt", {1, 1}}, {"a.txt", {5, 5, 5}}, {"c.txt", {2, 2}}});
        ClickRow(*window, "a.txt");
        QCOMPARE(window->PathList().rowCount(), 3);
        const TFileGroup* shown = window->PathList().Group();
        for (int click = 0; click < 3; ++click) {
            ClickHeader(*window, click % 2 == 0 ? 2 : 0); // by Count, then by name
            QCOMPARE(window->PathList().Group(), shown);
            QCOMPARE(window->PathList().Path(0), std::string("/data/d0/a.txt"));
        }
        // New rows: the old groups are gone, and nothing shows them any more.
        ShowRows(*window, {{"x.txt", {1, 1}}});
        QCOMPARE(window->PathList().Group(), nullptr);
        QCOMPARE(window->PathList().rowCount(), 0);
        QCOMPARE(window->PathList().Path(0), std::string());
    }
};

QTEST_MAIN(ResultViewsTest)
#include "ResultViewsTest.moc"
