#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <set>

class QWidget;

enum TBrowseFlag { bfComputersOnly, bfPrintersOnly, bfDirsOnly, bfStatusText };
using TBrowseFlags = std::set<TBrowseFlag>;

// Called while the user moves the selection: the folder, whether OK is enabled (arrives as -1,
// 0 disables OK, any other value but -1 enables it) and a status text (shown when not empty).
using TFolderChangeEvent =
    std::function<void(const QString& folder, int& enabledOK, QString& statusText)>;

// A modal folder chooser: a title, the owner window, a folder to preselect; it returns the
// chosen folder's path. Computers and printers cannot be chosen here; those flags do nothing.
class TFolderBrowser : public QObject {
    Q_OBJECT

  public:
    // The owner must be a widget: the chooser is modal to its window.
    explicit TFolderBrowser(QObject* owner);

    TBrowseFlags BrowseFlags;
    QString Folder;
    QString Title = "Select folder";
    TFolderChangeEvent OnChangeFolder;

    // True when the user chose a folder (then in Folder), false when cancelled.
    bool Execute();

  private:
    QWidget* FOwner;
};
