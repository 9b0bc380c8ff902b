#pragma once

#include "FileInfoList.h"
#include "LocaleFormats.h"
#include "OptionRec.h"
#include "ScanThread.h"

#include <QMainWindow>
#include <chrono>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTimer;
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
    // Sets up the window: default options, the scan thread, and the configuration file named
    // by the settings file of the working directory.
    explicit TfrmTwinseek(QWidget* parent = nullptr);
    // Stops a running scan and lets its thread end, then writes the settings file.
    ~TfrmTwinseek() override;

    // The window's state, as the handlers keep it.
    TOptionRec Options;
    QString ConfigFileName;
    TFileInfoList ResultList;
    int SortColumn = 0;
    bool SortDescending = false;
    int32_t FilesRead = 0;
    double ElapsedTime = 0; // days

    Ui::TfrmTwinseek& Form() const { return *FUi; }
    TFileListModel& FileList() const { return *FFileList; }
    TPathListModel& PathList() const { return *FPathList; }
    QString PanelText(int panel) const;
    bool IsScanning() const;
    // A designed pixel size for the desktop's font.
    int Scaled(int designedPixels) const;

    // Handlers.
    void acStartExecute();
    void acStopExecute();
    void acHelpExecute();
    void acDeleteExecute();
    void acOpenFileExecute();
    void acShowNotepadExecute();
    void acExploreFileExecute();
    void acSaveExecute();
    void acOpenExecute();
    void acOptionExecute();
    void SaveResultList(const QString& fileName);
    void LoadResultList(const QString& fileName);
    void SaveTextReport(const QString& fileName);
    void acAboutExecute();
    void OnFileSortClick(int tag);
    void lvFilesColumnClick(int column);
    void lvFilesSelectItem(int row, bool selected);
    void Splitter1Moved();
    void ActionList1Update();
    void ClearFileList();
    void ShowResult();
    float TotalSpace() const;

    // The caption of the window for a configuration file ("Twin Seek [work.twc]").
    static QString TitleFor(const QString& configFileName);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ScanMessage(uint32_t message, int32_t first, int32_t second);
    void SetPanel(int panel, const QString& text);
    void ShowPanels();
    QString TimeText(double days) const;
    double DaysSinceStart() const;
    // Runs the handler when the action is triggered; errors reach the error report.
    void OnAction(QAction* action, void (TfrmTwinseek::*handler)());
    void SetUpActions();
    void SetUpViews();
    void SetUpStatusBar();
    void LoadSettings();
    // The path rows selected, first (lowest) row first.
    std::vector<int> SelectedPathRows() const;
    // The duplicate-list row whose copies the path list shows, or -1.
    int SelectedFileRow() const;
    QString DialogDirectory() const;

    std::unique_ptr<Ui::TfrmTwinseek> FUi;
    TFileListModel* FFileList;
    TPathListModel* FPathList;
    TScanBridge* FBridge;
    QLabel* FPanels[4] = {};
    QString FPanelTexts[4];
    QTimer* FPanelRefresh = nullptr;
    QMenu* pmFileList = nullptr;
    QMenu* pmPathList = nullptr;
    TLocaleFormats FFormats;
    std::chrono::steady_clock::time_point StartTime;
    // The save dialog starts where it was left: file type and name.
    int FSaveTypeIndex = 1;
    QString FSaveFileName;
    // Declared last: it is destroyed first, before the result list it fills.
    std::unique_ptr<TScanThread> ScanThread;
};
