#pragma once

#include "ActionLog.h"
#include "CleanUp.h"
#include "FileRemoval.h"
#include "LocaleFormats.h"
#include "OptionRec.h"
#include "ScanProgress.h"
#include "ScanResult.h"
#include "ScanThread.h"

#include <QMainWindow>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class QTreeView;
class TFileListModel;
class TPathListModel;
class TScanBridge;

namespace Ui {
class TfrmTwinseek;
}

// The program's window: the duplicated names on the left, the copies of the selected name on
// the right, scans started and stopped from the tool bar and the menus.
class TfrmTwinseek : public QMainWindow {
    Q_OBJECT

  public:
    // What the window is doing; it decides which actions are enabled.
    enum class TState { Idle, Scanning, Removing };
    // The panels of the status bar, from the left.
    enum TStatusPanel : int { spTime = 0, spFiles = 1, spDirectories = 2, spSpace = 3 };
    static constexpr int StatusPanelCount = 4;

    // Sets up the window: default options, the scan thread, and the configuration file named
    // by the settings file of the working directory.
    explicit TfrmTwinseek(QWidget* parent = nullptr);
    // Stops a running scan or clean-up and lets its thread end, then writes the settings file.
    ~TfrmTwinseek() override;

    TState State() const { return FState; }
    bool IsScanning() const { return FState == TState::Scanning; }
    // The options the next scan runs with, and the configuration file they came from.
    const TOptionRec& Options() const { return FOptions; }
    void SetOptions(const TOptionRec& options) { FOptions = options; }
    const QString& ConfigFileName() const { return FConfigFileName; }
    // Names the configuration file of the options; the window's caption shows it.
    void SetConfigFileName(const QString& fileName);
    // The totals of the result shown.
    int32_t FilesRead() const { return FFilesRead; }
    double ElapsedTime() const { return FElapsedTime; } // days

    Ui::TfrmTwinseek& Form() const { return *FUi; }
    TFileListModel& FileList() const { return *FFileList; }
    TPathListModel& PathList() const { return *FPathList; }
    QString PanelText(int panel) const;

    // Handlers.
    void acStartExecute();
    void acStopExecute();
    void acHelpExecute();
    void acDeleteExecute();
    // Moves the selected copies to the desktop trash, as Delete removes them.
    void acTrashExecute();
    // Asks for a clean-up rule and runs it on its own thread; the window stays in the Removing
    // state until it is done.
    void acCleanUpExecute();
    void acOpenFileExecute();
    void acShowNotepadExecute();
    void acExploreFileExecute();
    void acSaveExecute();
    void acOpenExecute();
    void acOptionExecute();
    void acAboutExecute();
    void SaveResultList(const QString& fileName);
    // Open's work once the file is chosen: the plain title and the result of the file.
    void OpenResultList(const QString& fileName);
    // Loads a result list file and shows it; a file that is not one leaves an empty list.
    void LoadResultList(const QString& fileName);
    void SaveTextReport(const QString& fileName);
    void lvFilesColumnClick(int column);
    // Shows a finished result: its rows in the duplicate list and its totals in the status bar.
    void ShowResult(TScanResult result);
    void ClearFileList();
    // Enables the actions for the state, the rows and the selection; it runs whenever the event
    // loop is about to wait for the user.
    void ActionList1Update();
    // The space of all rows of the duplicate list.
    float TotalSpace() const;

    // The caption of the window for a configuration file ("Twin Seek [work.twc]").
    static QString TitleFor(const QString& configFileName);

    // The user's settings of the window (size and place, splitter, column widths), kept apart
    // from the settings file of the working directory.
    static QString WindowSettingsFile();
    // Puts the files of the selected copies on the clipboard (Ctrl+C in the path list).
    void CopySelectedPaths();
    // Opens the popup menu of a list at its current row, as the Menu key and Shift+F10 do.
    void ShowListPopup(QTreeView* list);
    // Opens the copy of a path-list row, as Open file does (a double-click on the row).
    void OpenCopy(int row);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void ScanMessage(uint32_t message, int32_t first, int32_t second);
    // The scan has ended: its result is shown and the window is idle again, whatever fails.
    void ScanDone();
    // Delete and Move to Trash: the selected copies go, each only after its checks.
    void RemoveSelectedCopies(TRemovalMethod method);
    // The clean-up thread has ended: its removals reach the rows, the window is idle again and a
    // summary tells what happened. `failure` is the error that ended it early, if any.
    void CleanUpDone(const TCleanUpSummary& summary, const std::string& failure);
    void ShowCleanUpProgress();
    void SetState(TState state);
    void SetPanel(int panel, const QString& text);
    void ShowPanels();
    void ShowTotalSpace();
    // The totals of the result shown: files read, duplicated names and the space they take.
    void ShowTotals();
    // The action log for a removal; when it cannot be used, a message says why and it is null.
    std::unique_ptr<TActionLog> OpenActionLog();
    void OnFileSortClick(int tag);
    void lvFilesSelectItem(int row, bool selected);
    void Splitter1Moved();
    // A designed pixel size for the desktop's font.
    int Scaled(int designedPixels) const;
    // Runs the handler when the action is triggered; errors reach the error report.
    void OnAction(QAction* action, void (TfrmTwinseek::*handler)());
    void SetUpActions();
    void SetUpViews();
    void SetUpStatusBar();
    void LoadSettings();
    // The window's size and place, splitter and column widths: the user's, or the designed ones.
    void LoadWindowSettings();
    void SaveWindowSettings() const;
    // Widens the value columns to their widest text, measured once when rows are set.
    void FitFileColumns();
    void FitPathColumns();
    // The path rows selected, first (lowest) row first.
    std::vector<int> SelectedPathRows() const;
    // The duplicate-list row whose copies the path list shows, or -1.
    int SelectedFileRow() const;
    QString DialogDirectory() const;

    std::unique_ptr<Ui::TfrmTwinseek> FUi;
    TFileListModel* FFileList;
    TPathListModel* FPathList;
    TScanBridge* FBridge;
    TState FState = TState::Idle;
    TOptionRec FOptions;
    QString FConfigFileName;
    int FSortColumn = 0;
    bool FSortDescending = false;
    int32_t FFilesRead = 0;
    double FElapsedTime = 0; // days
    QLabel* FPanels[StatusPanelCount] = {};
    QString FPanelTexts[StatusPanelCount];
    QTimer* FPanelRefresh = nullptr;
    // Moves while a scan or clean-up runs, beside the panels.
    QProgressBar* FBusy = nullptr;
    // Only a window that was shown has a size and place the user chose.
    bool FWasShown = false;
    QMenu* pmFileList = nullptr;
    QMenu* pmPathList = nullptr;
    TLocaleFormats FFormats;
    TScanProgress FScanProgress;
    // The save dialog starts where it was left: file type and name.
    int FSaveTypeIndex;
    QString FSaveFileName;
    // A running clean-up: the rows stay as they are until it ends, the log is its own.
    std::unique_ptr<TActionLog> FCleanUpLog;
    std::atomic<bool> FStopCleanUp{false};
    std::atomic<size_t> FCleanUpDone{0};
    std::atomic<size_t> FCleanUpTotal{0};
    QTimer* FCleanUpProgress = nullptr;
    std::thread FCleanUpThread;
    // Declared last: it is destroyed first, while the window it reports to still stands.
    std::unique_ptr<TScanThread> ScanThread;
};
