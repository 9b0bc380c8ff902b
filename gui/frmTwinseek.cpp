#include "frmTwinseek.h"

#include "AboutBox.h"
#include "ConfigFile.h"
#include "Desktop.h"
#include "FileActions.h"
#include "FileListModel.h"
#include "FileRemoval.h"
#include "FileTimes.h"
#include "FormatSize.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "IoError.h"
#include "PathListModel.h"
#include "ResultListFile.h"
#include "ScanBridge.h"
#include "SettingsFile.h"
#include "TextReport.h"
#include "frmCleanUp.h"
#include "frmOptionDialog.h"
#include "ui_frmTwinseek.h"

#include <QAbstractEventDispatcher>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <algorithm>
#include <unordered_set>

namespace {

const char* const PanelStartTexts[TfrmTwinseek::StatusPanelCount] = {
    "Time: 00:00:00", "Scanned file names:", "Duplicated files:", "Total space required: "};
// The designed widths of the panels before the last, which takes the rest of the bar.
const int PanelWidths[TfrmTwinseek::StatusPanelCount - 1] = {80, 140, 140};
// The window's designed size, the duplicate list's share of it and the designed column widths,
// in pixels of the designed font.
constexpr QSize DesignedWindowSize(732, 420);
constexpr int DesignedFileListWidth = 249;
const int FileColumnWidths[TFileListModel::ColumnCount] = {151, 35, 40, 60};
const int PathColumnWidths[TPathListModel::ColumnCount] = {300, 60, 112};
// Dragged to this width or less, a list collapses.
constexpr int CollapsedListWidth = 30;
// The window's least size, in pixels of the designed font.
constexpr QSize LeastWindowSize(480, 300);
// The busy indicator's width, and the room between two status bar panels.
constexpr int BusyIndicatorWidth = 80;
constexpr int PanelSpacing = 8;
// The group of the window's entries in the user's settings.
const char* const WindowSettingsGroup = "Window";
// The status texts a running scan changes are shown at most this often (milliseconds).
constexpr int PanelRefreshInterval = 40;
// The problems a clean-up's summary lists at most.
constexpr size_t ShownProblems = 20;
// The file types of the save dialog, counted from 1 as the dialog counts them.
const QStringList SaveFilters = {"Twin seek list(*.twl)", "Textfile (*.txt)", "All files (*.*)"};
constexpr int SaveTypeResultList = 1;

} // namespace

int TfrmTwinseek::Scaled(int designedPixels) const {
    // The window was designed for a font 13 pixels high with characters about 5.5 pixels wide on
    // average; with a larger desktop font its sizes grow by the same factor.
    const QFontMetrics metrics = fontMetrics();
    const double scale = std::max({1.0, metrics.height() / 13.0, metrics.averageCharWidth() / 5.5});
    return static_cast<int>(designedPixels * scale + 0.5);
}

TfrmTwinseek::TfrmTwinseek(QWidget* parent)
    : QMainWindow(parent), FUi(std::make_unique<Ui::TfrmTwinseek>()),
      FFileList(new TFileListModel(this)), FPathList(new TPathListModel(*FFileList, this)),
      FBridge(new TScanBridge(this)), FFormats(TLocaleFormats::Current()), FScanProgress(FFormats),
      FSaveTypeIndex(SaveTypeResultList) {
    FUi->setupUi(this);
    FFileList->SetFormats(FFormats);
    FPathList->SetFormats(FFormats);
    SetUpActions();
    SetUpViews();
    SetUpStatusBar();
    LoadWindowSettings();

    FOptions = DefaultOptions();
    connect(FBridge, &TScanBridge::Message, this,
            [this](uint32_t message, int32_t first, int32_t second) {
                RunAction(this, [&] { ScanMessage(message, first, second); });
            });
    ScanThread = std::make_unique<TScanThread>(*FBridge);

    // The enabling rule runs whenever the event loop is about to wait for the user.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &TfrmTwinseek::ActionList1Update);

    try {
        LoadSettings();
    } catch (const std::exception& error) {
        // The remaining steps are skipped: the defaults and the plain title stay.
        ReportError(this, error.what());
    }
    Splitter1Moved();
    FUi->lvFiles->setFocus();
    ActionList1Update();
}

void TfrmTwinseek::LoadSettings() {
    FConfigFileName = DecodedName(ReadSettingsConfigFileName());
    if (FConfigFileName.isEmpty())
        return;
    // A file that is not accepted leaves every option empty; once the window is on screen, a
    // message says which file could not be used and why.
    const TLoadedConfig loaded = LoadConfigFile(EncodedName(FConfigFileName));
    FOptions = loaded.Options;
    setWindowTitle(TitleFor(FConfigFileName));
    if (!loaded.Accepted)
        QTimer::singleShot(0, this,
                           [this, text = TfrmOptionDialog::ConfigRefusalText(FConfigFileName)] {
                               TDesktop::Current().ShowMessage(this, text);
                           });
}

void TfrmTwinseek::SetConfigFileName(const QString& fileName) {
    FConfigFileName = fileName;
    setWindowTitle(TitleFor(FConfigFileName));
}

TfrmTwinseek::~TfrmTwinseek() {
    // A message the scan thread waits in is let through first; then the thread is stopped and
    // joined.
    disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
    SaveWindowSettings();
    // The lists go after this object: they no longer report to it.
    for (QTreeView* list : {FUi->lvFiles, FUi->lvPath}) {
        list->removeEventFilter(this);
        list->viewport()->removeEventFilter(this);
        disconnect(list->header(), nullptr, this, nullptr);
    }
    disconnect(FFileList, nullptr, this, nullptr);
    disconnect(FPathList, nullptr, this, nullptr);
    FBridge->Close();
    ScanThread.reset();
    // A clean-up stops after the file it is at; what it removed is in the action log.
    FStopCleanUp = true;
    if (FCleanUpThread.joinable())
        FCleanUpThread.join();
    try {
        WriteSettingsConfigFileName(EncodedName(FConfigFileName));
    } catch (const std::exception& error) {
        ReportError(nullptr, error.what());
    }
}

QString TfrmTwinseek::TitleFor(const QString& configFileName) {
    if (configFileName.isEmpty())
        return QStringLiteral("Twin Seek");
    const QString name = configFileName.mid(configFileName.lastIndexOf('/') + 1);
    return QStringLiteral("Twin Seek [%1]").arg(name);
}

void TfrmTwinseek::OnAction(QAction* action, void (TfrmTwinseek::*handler)()) {
    connect(action, &QAction::triggered, this,
            [this, handler] { RunAction(this, [this, handler] { (this->*handler)(); }); });
}

void TfrmTwinseek::SetUpActions() {
    struct TImage {
        QAction* Action;
        TActionImage Index;
    };
    const TImage images[] = {{FUi->acOpen, aiOpen},      {FUi->acExit, aiExit},
                             {FUi->acSave, aiSave},      {FUi->acAbout, aiHelp},
                             {FUi->acStart, aiStart},    {FUi->acStop, aiStop},
                             {FUi->acDelete, aiDelete},  {FUi->acTrash, aiTrash},
                             {FUi->acOption, aiOptions}, {FUi->acHelp, aiHelp}};
    for (const TImage& image : images)
        image.Action->setIcon(ActionImage(image.Index));

    connect(FUi->acExit, &QAction::triggered, this, &QWidget::close);
    OnAction(FUi->acStart, &TfrmTwinseek::acStartExecute);
    OnAction(FUi->acStop, &TfrmTwinseek::acStopExecute);
    OnAction(FUi->acHelp, &TfrmTwinseek::acHelpExecute);
    OnAction(FUi->acDelete, &TfrmTwinseek::acDeleteExecute);
    OnAction(FUi->acTrash, &TfrmTwinseek::acTrashExecute);
    OnAction(FUi->acCleanUp, &TfrmTwinseek::acCleanUpExecute);
    OnAction(FUi->acOpenFile, &TfrmTwinseek::acOpenFileExecute);
    OnAction(FUi->acShowNotepad, &TfrmTwinseek::acShowNotepadExecute);
    OnAction(FUi->acExploreFile, &TfrmTwinseek::acExploreFileExecute);
    OnAction(FUi->acSave, &TfrmTwinseek::acSaveExecute);
    OnAction(FUi->acOpen, &TfrmTwinseek::acOpenExecute);
    OnAction(FUi->acOption, &TfrmTwinseek::acOptionExecute);
    OnAction(FUi->acAbout, &TfrmTwinseek::acAboutExecute);
    QAction* sortActions[] = {FUi->acSortName, FUi->acSortExt, FUi->acSortCount, FUi->acSortSize};
    for (int tag = 0; tag < 4; ++tag)
        connect(sortActions[tag], &QAction::triggered, this,
                [this, tag] { RunAction(this, [this, tag] { OnFileSortClick(tag); }); });

    // A held key runs an action once: a repeated Start would be a scan nobody asked for, a
    // repeated Delete a removal of copies selected only after the first.
    for (QAction* action : findChildren<QAction*>())
        action->setAutoRepeat(false);

    pmFileList = new QMenu(this);
    pmFileList->setObjectName("pmFileList");
    pmFileList->addActions({FUi->acSortName, FUi->acSortExt, FUi->acSortCount, FUi->acSortSize});
    pmPathList = new QMenu(this);
    pmPathList->setObjectName("pmPathList");
    pmPathList->addActions({FUi->acDelete, FUi->acTrash});
    pmPathList->addSeparator();
    pmPathList->addActions({FUi->acOpenFile, FUi->acShowNotepad, FUi->acExploreFile});
    // The hints of the entries are tool tips: the status bar keeps its panels.
    for (QMenu* menu : {FUi->mnFile, FUi->mnControl, FUi->mnHelp, pmFileList, pmPathList})
        menu->setToolTipsVisible(true);
}

void TfrmTwinseek::SetUpViews() {
    QTreeView* files = FUi->lvFiles;
    files->setModel(FFileList);
    files->header()->setSectionsClickable(true);
    files->header()->setSortIndicatorShown(false);
    files->header()->setStretchLastSection(false);
    for (int column = 0; column < TFileListModel::ColumnCount; ++column)
        files->header()->resizeSection(column, Scaled(FileColumnWidths[column]));
    connect(files->header(), &QHeaderView::sectionClicked, this, &TfrmTwinseek::lvFilesColumnClick);
    connect(files->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                for (const QModelIndex& index : deselected.indexes())
                    if (index.column() == 0)
                        lvFilesSelectItem(index.row(), false);
                for (const QModelIndex& index : selected.indexes())
                    if (index.column() == 0)
                        lvFilesSelectItem(index.row(), true);
            });
    connect(files, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        pmFileList->popup(FUi->lvFiles->viewport()->mapToGlobal(at));
    });

    QTreeView* paths = FUi->lvPath;
    paths->setModel(FPathList);
    paths->header()->setStretchLastSection(false);
    for (int column = 0; column < TPathListModel::ColumnCount; ++column)
        paths->header()->resizeSection(column, Scaled(PathColumnWidths[column]));
    connect(paths, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        pmPathList->popup(FUi->lvPath->viewport()->mapToGlobal(at));
    });
    // A click on a header sorts the copies shown by that column; the next click on it turns the
    // order round.
    paths->header()->setSectionsClickable(true);
    paths->header()->setSortIndicatorShown(true);
    paths->header()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(paths->header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                RunAction(this, [&] { FPathList->SortRows(column, order); });
            });
    connect(paths, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { RunAction(this, [&] { OpenCopy(index.row()); }); });

    // The name and path columns take the room the other columns leave; those are widened to
    // their widest value when rows are set.
    for (QTreeView* list : {files, paths}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
        connect(list->header(), &QHeaderView::sectionResized, this, [this](int column) {
            if (column != 0)
                Splitter1Moved();
        });
    }
    connect(FFileList, &QAbstractItemModel::modelReset, this, &TfrmTwinseek::FitFileColumns);
    connect(FPathList, &QAbstractItemModel::modelReset, this, &TfrmTwinseek::FitPathColumns);

    // Both lists start with their designed columns in full, and share what the window grows by.
    auto fullWidth = [](const QTreeView* list) {
        int width = 2 * list->frameWidth() +
                    list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        for (int column = 0; column < list->header()->count(); ++column)
            width += list->header()->sectionSize(column);
        return width;
    };
    const int fileListWidth = std::max(fullWidth(files), Scaled(DesignedFileListWidth));
    const int pathListWidth = fullWidth(paths);
    const int windowWidth = std::max(Scaled(DesignedWindowSize.width()),
                                     fileListWidth + FUi->Splitter1->handleWidth() + pathListWidth);
    resize(windowWidth, Scaled(DesignedWindowSize.height()));
    FUi->Splitter1->setSizes({fileListWidth, windowWidth - fileListWidth});
    FUi->Splitter1->setStretchFactor(0, 1);
    FUi->Splitter1->setStretchFactor(1, 1);
    files->setMinimumWidth(CollapsedListWidth);
    paths->setMinimumWidth(CollapsedListWidth);
    connect(FUi->Splitter1, &QSplitter::splitterMoved, this, &TfrmTwinseek::Splitter1Moved);
}

namespace {

// The width a list's column needs to show a text in full.
int ColumnWidthFor(const QTreeView& list, const QString& text) {
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.font = list.font();
    option.fontMetrics = list.fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = text;
    option.displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    return list.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &list).width();
}

// Widens a column to its header and its widest text; a column wider already keeps its width.
// Each distinct text is measured once.
void WidenColumn(QTreeView& list, int column, const std::unordered_set<std::string>& texts) {
    const QFontMetrics metrics = list.fontMetrics();
    QString widest;
    int widestAdvance = -1;
    for (const std::string& bytes : texts) {
        const QString text = QString::fromStdString(bytes);
        const int advance = metrics.horizontalAdvance(text);
        if (advance > widestAdvance) {
            widest = text;
            widestAdvance = advance;
        }
    }
    QHeaderView* header = list.header();
    int needed = header->sectionSizeHint(column);
    if (widestAdvance >= 0)
        needed = std::max(needed, ColumnWidthFor(list, widest));
    if (header->sectionSize(column) < needed)
        header->resizeSection(column, needed);
}

} // namespace

void TfrmTwinseek::FitFileColumns() {
    std::unordered_set<std::string> counts, spaces;
    for (const TResultRow& row : FFileList->Rows()) {
        counts.insert(std::to_string(row.Count()));
        spaces.insert(FormatSize(row.GroupSpace(), FFormats));
    }
    WidenColumn(*FUi->lvFiles, TFileListModel::ColCount, counts);
    WidenColumn(*FUi->lvFiles, TFileListModel::ColSpace, spaces);
    Splitter1Moved();
}

void TfrmTwinseek::FitPathColumns() {
    std::unordered_set<std::string> sizes, times;
    if (const TFileGroup* group = FPathList->Group())
        for (int copy = 0; copy < group->Count(); ++copy) {
            sizes.insert(FormatSize(static_cast<float>(group->Info(copy).Size), FFormats));
            times.insert(DateTimeText(group->Info(copy).LastWriteTime, FFormats));
        }
    WidenColumn(*FUi->lvPath, TPathListModel::ColSize, sizes);
    WidenColumn(*FUi->lvPath, TPathListModel::ColDateTime, times);
    Splitter1Moved();
}

QString TfrmTwinseek::WindowSettingsFile() {
    // ~/.config/twinseek/window.conf for the program.
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/window.conf");
}

namespace {

// Column widths as the settings keep them: "35,40,60".
QString WidthsText(const QHeaderView& header) {
    QStringList widths;
    for (int column = 1; column < header.count(); ++column)
        widths << QString::number(header.sectionSize(column));
    return widths.join(',');
}

// Widths read back; a text that does not name a sensible width for every column is ignored.
void RestoreWidths(QHeaderView& header, const QString& text) {
    const QStringList widths = text.split(',');
    if (widths.size() != header.count() - 1)
        return;
    std::vector<int> values;
    for (const QString& width : widths) {
        bool ok = false;
        const int value = width.trimmed().toInt(&ok);
        if (!ok || value < 1 || value > 10000)
            return;
        values.push_back(value);
    }
    for (int column = 1; column < header.count(); ++column)
        header.resizeSection(column, values[static_cast<size_t>(column - 1)]);
}

} // namespace

void TfrmTwinseek::LoadWindowSettings() {
    QSettings settings(WindowSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(WindowSettingsGroup);
    restoreGeometry(settings.value("Geometry").toByteArray());
    FUi->Splitter1->restoreState(settings.value("Splitter").toByteArray());
    RestoreWidths(*FUi->lvFiles->header(), settings.value("FileColumns").toString());
    RestoreWidths(*FUi->lvPath->header(), settings.value("PathColumns").toString());
}

void TfrmTwinseek::SaveWindowSettings() const {
    if (!FWasShown)
        return;
    QSettings settings(WindowSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(WindowSettingsGroup);
    settings.setValue("Geometry", saveGeometry());
    settings.setValue("Splitter", FUi->Splitter1->saveState());
    settings.setValue("FileColumns", WidthsText(*FUi->lvFiles->header()));
    settings.setValue("PathColumns", WidthsText(*FUi->lvPath->header()));
}

void TfrmTwinseek::showEvent(QShowEvent* event) {
    FWasShown = true;
    QMainWindow::showEvent(event);
}

bool TfrmTwinseek::event(QEvent* event) {
    // The hints of menu entries and buttons would take the place of the status panels; they
    // are tool tips instead.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

bool TfrmTwinseek::eventFilter(QObject* watched, QEvent* event) {
    QTreeView* files = FUi->lvFiles;
    QTreeView* paths = FUi->lvPath;
    if (event->type() == QEvent::Resize &&
        (watched == files->viewport() || watched == paths->viewport()))
        Splitter1Moved();
    if (event->type() == QEvent::KeyPress && (watched == files || watched == paths)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            ShowListPopup(static_cast<QTreeView*>(watched));
            return true;
        }
        if (watched == paths && key->matches(QKeySequence::Copy)) {
            RunAction(this, [this] { CopySelectedPaths(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmTwinseek::ShowListPopup(QTreeView* list) {
    QMenu* menu = list == FUi->lvFiles ? pmFileList : pmPathList;
    // Below the current row, or at the top of the list without one.
    const QRect area = list->viewport()->rect();
    const QModelIndex current = list->currentIndex();
    QPoint at = current.isValid() ? list->visualRect(current).bottomLeft() : area.topLeft();
    at.setX(std::clamp(at.x(), area.left(), area.right()));
    at.setY(std::clamp(at.y(), area.top(), area.bottom()));
    menu->popup(list->viewport()->mapToGlobal(at));
}

void TfrmTwinseek::CopySelectedPaths() {
    const std::vector<int> rows = SelectedPathRows();
    if (rows.empty())
        return;
    QGuiApplication::clipboard()->setMimeData(FPathList->CopyPaths(rows));
}

void TfrmTwinseek::SetUpStatusBar() {
    FPanelRefresh = new QTimer(this);
    FPanelRefresh->setSingleShot(true);
    FPanelRefresh->setInterval(PanelRefreshInterval);
    connect(FPanelRefresh, &QTimer::timeout, this, &TfrmTwinseek::ShowPanels);
    FCleanUpProgress = new QTimer(this);
    FCleanUpProgress->setInterval(PanelRefreshInterval);
    connect(FCleanUpProgress, &QTimer::timeout, this, &TfrmTwinseek::ShowCleanUpProgress);
    for (int panel = 0; panel < StatusPanelCount; ++panel) {
        FPanelTexts[panel] = PanelStartTexts[panel];
        FPanels[panel] = new QLabel(FPanelTexts[panel], this);
        FPanels[panel]->setObjectName(QStringLiteral("StatusPanel%1").arg(panel));
        if (panel < spSpace) {
            // Room for the longest text the panel shows, at least the designed width.
            const char* longest[] = {"Time: 00:00:00", "Directories read: 000000",
                                     "Directories read: 000000"};
            FPanels[panel]->setFixedWidth(
                std::max(Scaled(PanelWidths[panel]),
                         FPanels[panel]->fontMetrics().horizontalAdvance(longest[panel]) + 8));
            FUi->StatusBar->addWidget(FPanels[panel]);
        } else {
            FUi->StatusBar->addWidget(FPanels[panel], 1);
        }
    }
    // Moves beside the panels while a scan or a clean-up runs.
    FBusy = new QProgressBar(this);
    FBusy->setObjectName(QStringLiteral("ScanBusy"));
    FBusy->setRange(0, 0);
    FBusy->setTextVisible(false);
    FBusy->setFixedWidth(Scaled(BusyIndicatorWidth));
    FBusy->setMaximumHeight(FPanels[spTime]->sizeHint().height());
    FUi->StatusBar->addPermanentWidget(FBusy);
    FBusy->hide();

    // The least size keeps every panel readable, also during a scan.
    int panelsWidth = FPanels[spSpace]->fontMetrics().horizontalAdvance(
                          QStringLiteral("Total space required: 1,023.9 MB")) +
                      FBusy->width() + Scaled(PanelSpacing);
    for (int panel = 0; panel < spSpace; ++panel)
        panelsWidth += FPanels[panel]->width() + Scaled(PanelSpacing);
    setMinimumSize(std::max(Scaled(LeastWindowSize.width()), panelsWidth),
                   Scaled(LeastWindowSize.height()));
}

void TfrmTwinseek::SetPanel(int panel, const QString& text) {
    FPanelTexts[panel] = text;
    // A scan changes the texts thousands of times a second; the labels take the latest texts
    // at most at the rate of a display, so that laying them out does not hold up the scan.
    if (IsScanning()) {
        if (!FPanelRefresh->isActive())
            FPanelRefresh->start();
        return;
    }
    ShowPanels();
}

void TfrmTwinseek::ShowPanels() {
    FPanelRefresh->stop();
    for (int panel = 0; panel < StatusPanelCount; ++panel)
        FPanels[panel]->setText(FPanelTexts[panel]);
}

QString TfrmTwinseek::PanelText(int panel) const {
    return panel >= 0 && panel < StatusPanelCount ? FPanelTexts[panel] : QString();
}

void TfrmTwinseek::SetState(TState state) {
    FState = state;
    FBusy->setVisible(state != TState::Idle);
    ActionList1Update();
}

void TfrmTwinseek::ShowTotalSpace() {
    SetPanel(spSpace, QStringLiteral("Total space required: %1")
                          .arg(QString::fromStdString(FormatSize(TotalSpace(), FFormats))));
}

void TfrmTwinseek::acStartExecute() {
    // One Start, one scan: the scan thread would keep a start asked for while a scan runs and
    // run it after that one, in a window that no longer shows a scan.
    if (FState != TState::Idle)
        return;
    ClearFileList();
    ShowTotalSpace();
    FPathList->SetPathCaption("Directories");
    FScanProgress.Start();
    SetState(TState::Scanning);
    try {
        ScanThread->StartScan(FOptions);
    } catch (...) {
        SetState(TState::Idle); // no scan runs that would end the state
        throw;
    }
}

void TfrmTwinseek::acStopExecute() {
    if (FState == TState::Removing)
        FStopCleanUp = true; // seen between two files
    else
        ScanThread->StopScan();
}

void TfrmTwinseek::ScanMessage(uint32_t message, int32_t first, int32_t second) {
    FScanProgress.Take(message, first, second);
    auto text = [](const std::string& bytes) { return QString::fromStdString(bytes); };
    switch (message) {
    case WM_SCAN_PROGRESS:
        SetPanel(spTime, text(FScanProgress.TimeText()));
        SetPanel(spFiles, text(FScanProgress.FilesText()));
        SetPanel(spDirectories, text(FScanProgress.DirectoriesText()));
        break;
    case WM_SCAN_CHECK:
        SetPanel(spTime, text(FScanProgress.TimeText()));
        SetPanel(spFiles, text(FScanProgress.FilesText()));
        break;
    case WM_SCAN_DONE:
        ScanDone();
        break;
    default:
        break;
    }
}

void TfrmTwinseek::ScanDone() {
    // The scan thread waits in this message, so its result is ours to take.
    TScanResult result = ScanThread->TakeResult();
    // A failed scan is reported once the scan thread has been let go, so that it does not wait
    // behind a message box.
    if (!result.Failure.empty())
        QTimer::singleShot(0, this,
                           [this, failure = result.Failure] { ReportError(this, failure); });
    // Whatever fails in showing the result, the scan is over: the window goes back to idle with
    // an empty result, and the error goes on to the error report.
    try {
        SetPanel(spFiles, "Preparing list boxes.");
        ShowPanels();
        FPanels[spFiles]->repaint();
        ShowResult(std::move(result));
    } catch (...) {
        SetState(TState::Idle);
        try {
            ClearFileList(); // rows shown before the failure go too
        } catch (...) {
            // The error being reported is the first one.
        }
        ShowPanels();
        throw;
    }
}

void TfrmTwinseek::ShowResult(TScanResult result) {
    FFilesRead = result.FilesRead;
    FElapsedTime = result.ElapsedTime;
    FFileList->SetRows(std::move(result.Rows));
    SetPanel(spTime, "Time: " + QString::fromStdString(TimeText(FElapsedTime, FFormats)));
    ShowTotals();
    SetState(TState::Idle);
    ShowPanels();
    Splitter1Moved();
}

void TfrmTwinseek::ShowTotals() {
    SetPanel(spFiles, QStringLiteral("Files read: %1").arg(FFilesRead));
    SetPanel(spDirectories, QStringLiteral("Double files: %1").arg(FFileList->rowCount()));
    ShowTotalSpace();
}

std::unique_ptr<TActionLog> TfrmTwinseek::OpenActionLog() {
    auto log = std::make_unique<TActionLog>();
    if (log->Usable())
        return log;
    TDesktop::Current().ShowMessage(
        this, QStringLiteral("Nothing was removed: %1").arg(ShownText(log->ErrorText())));
    return nullptr;
}

float TfrmTwinseek::TotalSpace() const {
    return ::TotalSpace(FFileList->Rows());
}

void TfrmTwinseek::ClearFileList() {
    FFileList->Clear();
}

void TfrmTwinseek::lvFilesColumnClick(int column) {
    // A running clean-up knows the rows by their places.
    if (FState == TState::Removing)
        return;
    FSortDescending = !FSortDescending;
    FSortColumn = column;
    FFileList->SortRows(FSortColumn, FSortDescending);
}

void TfrmTwinseek::OnFileSortClick(int tag) {
    lvFilesColumnClick(tag);
}

void TfrmTwinseek::lvFilesSelectItem(int row, bool selected) {
    FPathList->ShowRow(-1);
    if (!selected || row < 0 || row >= FFileList->rowCount())
        return;
    const TResultRow& item = FFileList->Row(row);
    FPathList->SetPathCaption(
        QStringLiteral("Directories of file [%1]").arg(DecodedName(item.Caption)));
    FPathList->ShowRow(row);
}

void TfrmTwinseek::Splitter1Moved() {
    // The first column of each list takes the width the others leave, at least its designed one.
    auto fit = [this](QTreeView* list, int designed) {
        QHeaderView* header = list->header();
        int others = 0;
        for (int column = 1; column < header->count(); ++column)
            others += header->sectionSize(column);
        // Rows just shown may not have brought their scroll bar yet; leave room for it.
        int available = list->viewport()->width();
        const int rows = list->model()->rowCount();
        if (!list->verticalScrollBar()->isVisible() && rows > 0 &&
            rows * list->sizeHintForRow(0) > list->viewport()->height())
            available -= list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        header->resizeSection(0, std::max(Scaled(designed), available - others));
    };
    fit(FUi->lvFiles, FileColumnWidths[0]);
    fit(FUi->lvPath, PathColumnWidths[0]);
}

void TfrmTwinseek::ActionList1Update() {
    const QItemSelectionModel* pathSelection = FUi->lvPath->selectionModel();
    const int selected = static_cast<int>(pathSelection->selectedRows().size());
    const int paths = FPathList->rowCount();
    const bool idle = FState == TState::Idle;
    const bool removing = FState == TState::Removing;
    FUi->acStart->setEnabled(idle);
    FUi->acDelete->setEnabled(!removing && selected >= 1 && selected < paths);
    FUi->acTrash->setEnabled(!removing && selected >= 1 && selected < paths);
    FUi->acCleanUp->setEnabled(idle && FFileList->rowCount() >= 1);
    FUi->acOption->setEnabled(!removing);
    for (QAction* sort : {FUi->acSortName, FUi->acSortExt, FUi->acSortCount, FUi->acSortSize})
        sort->setEnabled(!removing);
    FUi->acOpen->setEnabled(idle);
    FUi->acStop->setEnabled(!idle);
    FUi->acSave->setEnabled(FFileList->rowCount() >= 1 && idle);
    FUi->acOpenFile->setEnabled(selected == 1);
    FUi->acExploreFile->setEnabled(selected == 1);
}

void TfrmTwinseek::acHelpExecute() {
    THelpWindow::Instance().ShowContents();
}

void TfrmTwinseek::acAboutExecute() {
    TAboutBox box(this);
    box.exec();
}

void TfrmTwinseek::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        THelpWindow::Instance().ShowContext(hcMainWindow);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

std::vector<int> TfrmTwinseek::SelectedPathRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : FUi->lvPath->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TfrmTwinseek::SelectedFileRow() const {
    const QModelIndexList rows = FUi->lvFiles->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

namespace {

// Whether a copy (or, with folderOnly, its folder) may be handed to the desktop; when not, a
// message says why and the desktop is not asked.
bool MayOpen(QWidget* parent, const std::string& path, bool folderOnly) {
    const std::string refusal = OpenCheck(path, folderOnly);
    if (refusal.empty())
        return true;
    const QString text = folderOnly
                             ? QStringLiteral("Could not open folder: %1 \n\nError message: %2")
                             : QStringLiteral("Could not open file: %1 \n\nError message: %2");
    TDesktop::Current().ShowMessage(parent,
                                    text.arg(ShownText(folderOnly ? DirectoryPart(path) : path),
                                             QString::fromLocal8Bit(refusal.c_str())));
    return false;
}

} // namespace

void TfrmTwinseek::acDeleteExecute() {
    RemoveSelectedCopies(TRemovalMethod::Delete);
}

void TfrmTwinseek::acTrashExecute() {
    RemoveSelectedCopies(TRemovalMethod::Trash);
}

void TfrmTwinseek::RemoveSelectedCopies(TRemovalMethod method) {
    const int fileRow = SelectedFileRow();
    // A name without copies (a loaded list may hold one) has nothing to delete.
    if (fileRow < 0 || !FFileList->Row(fileRow).Group)
        return;
    TFileGroup& group = *FFileList->Row(fileRow).Group;
    // Every removal is written to the action log, opened first: without it nothing goes.
    const std::unique_ptr<TActionLog> log = OpenActionLog();
    if (!log)
        return;
    const QString failure = method == TRemovalMethod::Trash
                                ? QStringLiteral("Could not move file to the trash: %1 \n\n"
                                                 "Error message: %2")
                                : QStringLiteral("Could not delete file: %1 \n\nError message: %2");
    QStringList gone;
    for (std::vector<int> selected = SelectedPathRows(); !selected.empty();
         selected = SelectedPathRows()) {
        const int row = selected.front();
        const std::string path = FPathList->Path(row);
        std::vector<std::string> selectedPaths;
        for (int other : selected)
            selectedPaths.push_back(FPathList->Path(other));
        const TFileRemoval removal =
            RemoveCopy(group, FPathList->GroupIndex(row), selectedPaths, method, *log);
        if (removal.Outcome == TFileRemoval::frKept) {
            TDesktop::Current().ShowMessage(
                this, failure.arg(ShownText(path), ShownText(removal.ErrorText)));
            break;
        }
        if (removal.Outcome == TFileRemoval::frGone)
            gone << ShownText(path);
        // The file is gone: now its entry and its row go.
        FPathList->RemoveRow(row);
    }
    if (!gone.isEmpty())
        TDesktop::Current().ShowMessage(
            this, QStringLiteral("These copies no longer existed and were taken off the list:\n%1")
                      .arg(gone.join('\n')));
    ShowTotalSpace();
    FFileList->RowChanged(fileRow);
}

void TfrmTwinseek::acCleanUpExecute() {
    if (FFileList->rowCount() == 0)
        return;
    TfrmCleanUp dialog(FFileList->Rows(), SelectedFileRow(), FFormats, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    TCleanUpPlan plan = dialog.Plan();
    const TCleanUpMethod how = dialog.Method();
    // Every removal is written to the action log, opened first: without it nothing goes.
    FCleanUpLog = OpenActionLog();
    if (!FCleanUpLog)
        return;
    FStopCleanUp = false;
    FCleanUpDone = 0;
    FCleanUpTotal = 0;
    SetState(TState::Removing);
    ShowCleanUpProgress();
    FCleanUpProgress->start();
    try {
        FCleanUpThread = std::thread([this, plan = std::move(plan), how] {
            TCleanUpSummary summary;
            std::string failure;
            try {
                summary = RunCleanUp(FFileList->Rows(), plan, how, FCleanUpLog.get(), FStopCleanUp,
                                     [this](size_t done, size_t total) {
                                         FCleanUpDone = done;
                                         FCleanUpTotal = total;
                                     });
            } catch (const std::exception& error) {
                failure = error.what();
            }
            // The window takes the outcome on its own thread; a window closed meanwhile has
            // joined this thread and drops the call.
            QMetaObject::invokeMethod(
                this,
                [this, summary = std::move(summary), failure] {
                    RunAction(this, [&] { CleanUpDone(summary, failure); });
                },
                Qt::QueuedConnection);
        });
    } catch (...) {
        FCleanUpProgress->stop();
        FCleanUpLog.reset();
        SetState(TState::Idle); // no thread runs that would end the state
        throw;
    }
}

void TfrmTwinseek::ShowCleanUpProgress() {
    SetPanel(spFiles,
             QStringLiteral("Removing: %1/%2").arg(FCleanUpDone.load()).arg(FCleanUpTotal.load()));
}

void TfrmTwinseek::CleanUpDone(const TCleanUpSummary& summary, const std::string& failure) {
    FCleanUpThread.join();
    FCleanUpProgress->stop();
    FCleanUpLog.reset();
    // Whatever fails from here on, the clean-up is over.
    try {
        if (failure.empty())
            FFileList->ApplyRemovals(summary.Removed);
        ShowTotals();
        SetState(TState::Idle);
    } catch (...) {
        SetState(TState::Idle);
        throw;
    }
    if (!failure.empty()) {
        ReportError(this, failure);
        return;
    }
    QString text = QStringLiteral("Removed: %1. Kept because the content differed: %2. Skipped "
                                  "because a file changed: %3. Failed: %4.")
                       .arg(summary.Removed.size())
                       .arg(summary.Differed)
                       .arg(summary.Changed)
                       .arg(summary.Failed);
    if (summary.Stopped)
        text += QStringLiteral("\nStopped before the end.");
    if (!summary.Problems.empty()) {
        text += '\n';
        for (size_t problem = 0; problem < std::min(summary.Problems.size(), ShownProblems);
             ++problem)
            text += '\n' + ShownText(summary.Problems[problem]);
        if (summary.Problems.size() > ShownProblems)
            text +=
                QStringLiteral("\n... and %1 more").arg(summary.Problems.size() - ShownProblems);
    }
    TDesktop::Current().ShowMessage(this, text);
}

void TfrmTwinseek::acOpenFileExecute() {
    const std::vector<int> selected = SelectedPathRows();
    if (selected.empty())
        return;
    const std::string path = FPathList->Path(selected.front());
    if (MayOpen(this, path, false))
        TDesktop::Current().OpenFile(DecodedName(path));
}

void TfrmTwinseek::OpenCopy(int row) {
    const std::string path = FPathList->Path(row);
    if (path.empty())
        return;
    if (MayOpen(this, path, false))
        TDesktop::Current().OpenFile(DecodedName(path));
}

void TfrmTwinseek::acShowNotepadExecute() {
    const std::vector<int> selected = SelectedPathRows();
    if (selected.empty())
        return;
    const std::string path = FPathList->Path(selected.front());
    if (MayOpen(this, path, false))
        TDesktop::Current().ShowInTextEditor(DecodedName(path));
}

void TfrmTwinseek::acExploreFileExecute() {
    const std::vector<int> selected = SelectedPathRows();
    if (selected.empty())
        return;
    const std::string path = FPathList->Path(selected.front());
    if (MayOpen(this, path, true))
        TDesktop::Current().ExploreFile(DecodedName(path));
}

QString TfrmTwinseek::DialogDirectory() const {
    return QDir::currentPath();
}

void TfrmTwinseek::acSaveExecute() {
    TDesktop::TFileDialog dialog;
    dialog.Title = "Save";
    dialog.Filters = SaveFilters;
    dialog.DefaultSuffix = "twl";
    dialog.SuffixFollowsType = true;
    dialog.Directory = DialogDirectory();
    dialog.TypeIndex = FSaveTypeIndex;
    dialog.FileName = FSaveFileName;
    if (!TDesktop::Current().GetSaveFileName(this, dialog))
        return;
    FSaveTypeIndex = dialog.TypeIndex;
    FSaveFileName = dialog.FileName;
    // The chosen file type decides what is written, not the name's extension.
    if (dialog.TypeIndex == SaveTypeResultList)
        SaveResultList(dialog.FileName);
    else
        SaveTextReport(dialog.FileName);
}

void TfrmTwinseek::acOpenExecute() {
    TDesktop::TFileDialog dialog;
    dialog.Title = "Open";
    dialog.Filters = {"Twin seek list(*.twl)"};
    dialog.DefaultSuffix = "twl";
    dialog.Directory = DialogDirectory();
    if (!TDesktop::Current().GetOpenFileName(this, dialog))
        return;
    OpenResultList(dialog.FileName);
}

void TfrmTwinseek::OpenResultList(const QString& fileName) {
    setWindowTitle(TitleFor(QString()));
    LoadResultList(fileName);
}

namespace {

// Reads or writes a file; a failure of the file itself is reported with the file's name
// ("Cannot open file /x/y.twl: File not found").
template <typename TAccess>
auto NamingTheFile(const char* failure, const std::string& fileName, TAccess access) {
    try {
        return access();
    } catch (const EInOutError& error) {
        throw EInOutError(error.ErrorCode(), failure + fileName + ": " + error.what());
    }
}

} // namespace

void TfrmTwinseek::SaveResultList(const QString& fileName) {
    const std::string name = EncodedName(fileName);
    const TLeftOutCopies leftOut = NamingTheFile("Cannot save file ", name, [&] {
        return ::SaveResultList(name, FOptions, FFilesRead, FElapsedTime, FFileList->Rows());
    });
    if (leftOut.Count > 0)
        TDesktop::Current().ShowMessage(this,
                                        QString::fromStdString(LeftOutCopiesMessage(leftOut)));
}

void TfrmTwinseek::SaveTextReport(const QString& fileName) {
    const std::string name = EncodedName(fileName);
    NamingTheFile("Cannot save file ", name, [&] {
        ::SaveTextReport(name, FFilesRead, FElapsedTime, FFileList->Rows(), FFormats);
    });
}

void TfrmTwinseek::LoadResultList(const QString& fileName) {
    // The current result is gone from here on, whatever the file holds.
    ClearFileList();
    // A file that ends before its totals leaves the totals of the result shown before.
    TScanResult loaded;
    loaded.FilesRead = FFilesRead;
    loaded.ElapsedTime = FElapsedTime;
    const std::string name = EncodedName(fileName);
    const TLoadOutcome outcome =
        NamingTheFile("Cannot open file ", name, [&] { return ::LoadResultList(name, loaded); });
    if (outcome != TLoadOutcome::Loaded)
        TDesktop::Current().ShowMessage(this, QString::fromStdString(LoadOutcomeMessage(outcome)));
    ShowResult(std::move(loaded));
}

void TfrmTwinseek::acOptionExecute() {
    TfrmOptionDialog dialog(this);
    dialog.SetOptions(FOptions);
    dialog.FConfigFileName = FConfigFileName;
    if (dialog.exec() != QDialog::Accepted)
        return; // a configuration file saved meanwhile stays written
    // A scan that runs keeps the options it started with.
    FOptions = dialog.GetOptions();
    SetConfigFileName(dialog.FConfigFileName);
}
