// How the main window lays out its lists, columns, status bar and tool bar, with the desktop's
// font and a large one, and what of it the window remembers for the next start.

#include "Desktop.h"
#include "FileListModel.h"
#include "FileTimes.h"
#include "Icons.h"
#include "OnScreen.h"
#include "PathListModel.h"
#include "TestTree.h"
#include "WindowOptions.h"
#include "WindowTestPlace.h"
#include "frmTwinseek.h"
#include "ui_frmTwinseek.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QToolBar>
#include <QtTest>
#include <memory>
#include <optional>
#include <utility>

namespace {

// A designed pixel size for the window's font, as the window scales it.
int Designed(const QWidget& window, int pixels) {
    const QFontMetrics metrics = window.fontMetrics();
    const double scale = std::max({1.0, metrics.height() / 13.0, metrics.averageCharWidth() / 5.5});
    return static_cast<int>(pixels * scale + 0.5);
}

// One row of copies of a name for each list of sizes; every copy of a row lies in a folder of its
// own and was last changed at the given time.
void ShowSizes(TfrmTwinseek& window, const std::vector<std::vector<int64_t>>& rows) {
    TScanResult result;
    int name = 0;
    for (const std::vector<int64_t>& sizes : rows) {
        const std::string caption = "name" + std::to_string(name++) + ".txt";
        auto group = std::make_unique<TFileGroup>();
        for (size_t copy = 0; copy < sizes.size(); ++copy) {
            TFileInfoRec info = FileInfoForPath("/data/d" + std::to_string(copy) + "/" + caption);
            info.Size = sizes[copy];
            info.LastWriteTime = LastWriteTimeFromUnix(TTestTree::DefaultTime, 0);
            group->Add(std::move(info));
        }
        result.Rows.push_back({caption, std::move(group)});
    }
    window.ShowResult(std::move(result));
}

// The columns of a list that are narrower than a text of theirs needs; empty when none.
QStringList CutColumns(QTreeView& list, const QList<int>& columns) {
    QStringList cut;
    for (int column : columns) {
        const int needed = static_cast<QAbstractItemView&>(list).sizeHintForColumn(column);
        const int width = list.header()->sectionSize(column);
        if (width < needed)
            cut << QStringLiteral("%1: %2 < %3").arg(column).arg(width).arg(needed);
    }
    return cut;
}

// Lets the window lay itself out after a change of size.
void Settle() {
    for (int round = 0; round < 5; ++round)
        QCoreApplication::processEvents();
}

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

    std::optional<TWindowTestPlace> FPlace;
    QFont FDesktopFont;

    static std::unique_ptr<TfrmTwinseek> ShownWindow() {
        auto window = OnScreen(std::make_unique<TfrmTwinseek>());
        if (window)
            Settle();
        return window;
    }

  private slots:
    void initTestCase() {
        // The window's settings go to a folder of the tests, not the user's.
        QStandardPaths::setTestModeEnabled(true);
        // The tool bar's images from the desktop's theme, as the program takes them.
        SetUpIconTheme();
        FDesktopFont = QApplication::font();
    }

    void init() {
        QFile::remove(TfrmTwinseek::WindowSettingsFile());
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
    }

    void cleanup() {
        QApplication::setFont(FDesktopFont);
        const QStringList shown = FPlace->Desktop.Shown;
        FPlace.reset();
        QFile::remove(TfrmTwinseek::WindowSettingsFile());
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
    }

    void fonts_data() {
        QTest::addColumn<int>("pointSize"); // 0: the desktop's
        QTest::newRow("desktop font") << 0;
        QTest::newRow("20 pt") << 20;
    }

    // Before any result, the duplicate list shows every caption with its name column at the
    // designed width at least, and the path list likewise.
    void firstColumnsStartAtTheirDesignedWidth_data() { fonts_data(); }
    void firstColumnsStartAtTheirDesignedWidth() {
        QFETCH(int, pointSize);
        if (pointSize > 0) {
            QFont font = FDesktopFont;
            font.setPointSize(pointSize);
            QApplication::setFont(font);
        }
        TfrmTwinseek hidden;
        QVERIFY(hidden.Form().lvFiles->header()->sectionSize(0) >= Designed(hidden, 151));
        auto window = ShownWindow();
        QVERIFY(window);
        QTreeView* files = window->Form().lvFiles;
        QTreeView* paths = window->Form().lvPath;
        QVERIFY(files->header()->sectionSize(0) >= Designed(*window, 151));
        QVERIFY(paths->header()->sectionSize(0) >= Designed(*window, 300));
        // At the first size nothing is hidden behind a scroll bar.
        for (QTreeView* list : {files, paths}) {
            int total = 0;
            for (int column = 0; column < list->header()->count(); ++column)
                total += list->header()->sectionSize(column);
            QVERIFY2(total <= list->viewport()->width(),
                     qPrintable(QStringLiteral("%1: %2 > %3")
                                    .arg(list->objectName())
                                    .arg(total)
                                    .arg(list->viewport()->width())));
        }
    }

    // Count, Space, Size and DateTime are never narrower than their widest text.
    void valueColumnsShowTheirWidestText_data() { fonts_data(); }
    void valueColumnsShowTheirWidestText() {
        QFETCH(int, pointSize);
        if (pointSize > 0) {
            QFont font = FDesktopFont;
            font.setPointSize(pointSize);
            QApplication::setFont(font);
        }
        auto window = ShownWindow();
        QVERIFY(window);
        // "1,000 Bytes", "1,023.9 MB" and "1,000 Bytes" again among smaller values.
        ShowSizes(*window, {std::vector<int64_t>(12345, 1000),
                            {1073636966, 1073636966},
                            {1, 1000, 3, 1023 * 1024 + 1000}});
        Settle();
        QTreeView* files = window->Form().lvFiles;
        QVERIFY2(CutColumns(*files, {TFileListModel::ColCount, TFileListModel::ColSpace}).isEmpty(),
                 qPrintable(CutColumns(*files, {2, 3}).join("; ")));
        files->setCurrentIndex(window->FileList().index(2, 0));
        Settle();
        QTreeView* paths = window->Form().lvPath;
        QCOMPARE(window->PathList().rowCount(), 4);
        const QList<int> valueColumns{TPathListModel::ColSize, TPathListModel::ColDateTime};
        QVERIFY2(CutColumns(*paths, valueColumns).isEmpty(),
                 qPrintable(CutColumns(*paths, valueColumns).join("; ")));
    }

    // Grown, the window gives both lists more room, and the name and path columns take it.
    void growingWindowWidensBothListsAndTheirFirstColumns() {
        auto window = ShownWindow();
        QVERIFY(window);
        ShowSizes(*window, {{10, 10}});
        window->Form().lvFiles->setCurrentIndex(window->FileList().index(0, 0));
        Settle();
        QTreeView* lists[] = {window->Form().lvFiles, window->Form().lvPath};
        int before[2], firstBefore[2];
        for (int list = 0; list < 2; ++list) {
            before[list] = lists[list]->width();
            firstBefore[list] = lists[list]->header()->sectionSize(0);
        }
        window->resize(window->width() + 600, window->height());
        Settle();
        for (int list = 0; list < 2; ++list) {
            QTreeView& view = *lists[list];
            QVERIFY2(view.width() > before[list] + 100, qPrintable(view.objectName()));
            QCOMPARE(view.header()->sectionSize(0) - firstBefore[list],
                     view.width() - before[list]);
            QCOMPARE(view.header()->length(), view.viewport()->width());
        }
    }

    // Size, place, splitter and column widths are kept in the user's settings, not in the
    // working directory's settings file; the next window starts with them.
    void sizeSplitterAndColumnsAreRemembered() {
        QSize size;
        QList<int> splitter;
        {
            auto window = ShownWindow();
            QVERIFY(window);
            window->resize(window->width() + 123, window->height() + 45);
            Settle();
            window->Form().Splitter1->setSizes({200, window->width() - 200});
            window->Form().lvFiles->header()->resizeSection(TFileListModel::ColExt, 77);
            window->Form().lvPath->header()->resizeSection(TPathListModel::ColDateTime, 155);
            Settle();
            size = window->size();
            splitter = window->Form().Splitter1->sizes();
        }
        QVERIFY(QFile::exists(TfrmTwinseek::WindowSettingsFile()));
        QFile ini("Twinseek.ini");
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Options]\r\nFilename=\r\n\r\n"));

        auto window = ShownWindow();
        QVERIFY(window);
        QCOMPARE(window->size(), size);
        QCOMPARE(window->Form().Splitter1->sizes(), splitter);
        QCOMPARE(window->Form().lvFiles->header()->sectionSize(TFileListModel::ColExt), 77);
        QCOMPARE(window->Form().lvPath->header()->sectionSize(TPathListModel::ColDateTime), 155);
    }

    // A window that was never shown leaves the settings alone.
    void aHiddenWindowWritesNoSettings() {
        { TfrmTwinseek window; }
        QVERIFY(!QFile::exists(TfrmTwinseek::WindowSettingsFile()));
    }

    void unusableSettingsGiveTheDesignedLayout() {
        {
            QSettings settings(TfrmTwinseek::WindowSettingsFile(), QSettings::IniFormat);
            settings.setValue("Window/Geometry", QByteArray("\x01\x02garbage"));
            settings.setValue("Window/Splitter", QByteArray("nonsense"));
            settings.setValue("Window/FileColumns", "35,x,60");
            settings.setValue("Window/PathColumns", "0,-5");
        }
        TfrmTwinseek window;
        QCOMPARE(window.Form().lvFiles->header()->sectionSize(TFileListModel::ColExt),
                 Designed(window, 35));
        QCOMPARE(window.Form().lvPath->header()->sectionSize(TPathListModel::ColDateTime),
                 Designed(window, 112));
        QVERIFY(window.width() >= Designed(window, 732));
    }

    // Made as small as it goes, the window still shows every status panel in full and leaves
    // both lists usable.
    void theWindowHasALeastSize() {
        auto window = ShownWindow();
        QVERIFY(window);
        QVERIFY(window->minimumWidth() >= Designed(*window, 480));
        QVERIFY(window->minimumHeight() >= Designed(*window, 300));
        window->resize(320, 200);
        Settle();
        QCOMPARE(window->size(), window->minimumSize());
        // The widest texts the panels show.
        ShowSizes(*window, {{1073636966, 1073636966}});
        // The busy indicator takes its room as well.
        TTestTree tree({{"a/a.txt", 1}, {"b/a.txt", 1}});
        EditOptions(*window, [&](TOptionRec& o) { o.ScanPath = tree.Root(); });
        window->acStartExecute();
        const QRect bar = window->Form().StatusBar->rect();
        for (int panel = 0; panel < 4; ++panel) {
            const auto* label =
                window->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel));
            QVERIFY(label);
            const QRect place(label->mapTo(window->Form().StatusBar, QPoint(0, 0)), label->size());
            QVERIFY2(bar.contains(place), qPrintable(label->text()));
        }
        const auto* space = window->findChild<QLabel*>("StatusPanel3");
        QVERIFY(space->width() >=
                space->fontMetrics().horizontalAdvance("Total space required: 1,023.9 MB"));
        QVERIFY(window->Form().lvPath->width() >= Designed(*window, 100));
        QVERIFY(QTest::qWaitFor([&] { return !window->IsScanning(); }, 10000));
    }

    void toolBarIconsFollowTheStyle_data() { fonts_data(); }
    void toolBarIconsFollowTheStyle() {
        QFETCH(int, pointSize);
        if (pointSize > 0) {
            QFont font = FDesktopFont;
            font.setPointSize(pointSize);
            QApplication::setFont(font);
        }
        TfrmTwinseek window;
        auto* toolBar = window.findChild<QToolBar*>("ToolBar1");
        QVERIFY(toolBar);
        const int size =
            toolBar->style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, toolBar);
        QCOMPARE(toolBar->iconSize(), QSize(size, size));
    }

    // Disabled, a tool button's image keeps little of its contrast with the bar; enabled, Start
    // and Stop stand out from it as its text does, also where the theme's images are grey.
    void disabledToolButtonsLookPlainlyDifferent() {
        TfrmTwinseek window;
        auto* toolBar = window.findChild<QToolBar*>("ToolBar1");
        QVERIFY(toolBar);
        const QPalette palette = toolBar->palette();
        const int background = qGray(palette.color(QPalette::Window).rgb());
        // The contrast of the image's pixels with the bar, weighed by their opacity: in all, and
        // per fully opaque pixel.
        auto contrast = [&](const QPixmap& pixmap, double* perPixel) {
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            double sum = 0, opacity = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    sum += qAlpha(pixel) / 255.0 * std::abs(qGray(pixel) - background);
                    opacity += qAlpha(pixel) / 255.0;
                }
            if (perPixel != nullptr)
                *perPixel = opacity > 0 ? sum / opacity : 0;
            return sum;
        };
        const int text = std::abs(qGray(palette.color(QPalette::ButtonText).rgb()) - background);
        // At the screen's scale and at twice it (QT_SCALE_FACTOR=2).
        for (const qreal scale : {1.0, 2.0})
            for (QAction* action : toolBar->actions()) {
                if (action->isSeparator())
                    continue;
                const QIcon icon = action->icon();
                const QString name =
                    QStringLiteral("%1 at scale %2").arg(action->objectName()).arg(scale);
                double perPixel = 0;
                const double normal =
                    contrast(icon.pixmap(toolBar->iconSize(), scale, QIcon::Normal), &perPixel);
                const double disabled =
                    contrast(icon.pixmap(toolBar->iconSize(), scale, QIcon::Disabled), nullptr);
                QVERIFY2(normal > 0, qPrintable(name));
                QVERIFY2(disabled * 2 < normal, qPrintable(name));
                if (action == window.Form().acStart || action == window.Form().acStop)
                    QVERIFY2(perPixel * 2 >= text,
                             qPrintable(QStringLiteral("%1: %2 against text %3")
                                            .arg(name)
                                            .arg(perPixel)
                                            .arg(text)));
            }
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
