#pragma once

#include "FileGroup.h"
#include "LocaleFormats.h"

#include <QAbstractTableModel>
#include <QPersistentModelIndex>
#include <vector>

class QMimeData;
class TFileListModel;

// The copies of the selected duplicated name: full path, size and date of each. The group
// belongs to a row of the duplicate list; the model follows that row while the list is sorted,
// shows nothing once the row or the list's rows go, and removes the copies Delete took.
//
// The rows may be shown sorted by a column. That is an order of the view only: the group keeps
// its own order, which saved lists and clean-up rules use. Row numbers of the model are the rows
// as shown; Path and GroupIndex translate them.
class TPathListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum TColumn { ColPath = 0, ColSize = 1, ColDateTime = 2, ColumnCount = 3 };

    explicit TPathListModel(TFileListModel& files, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Dragged rows carry their files as URIs and as text (CopyPaths).
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // Shows the copies of a duplicate-list row (-1: none).
    void ShowRow(int fileRow);
    // The group shown, or nullptr.
    TFileGroup* Group() const;
    // The caption heads the path column.
    void SetPathCaption(const QString& caption);
    QString PathCaption() const { return FPathCaption; }
    // The file a row stands for, as the file system names it.
    std::string Path(int row) const;
    // The place in the group of the copy a row shows, or -1.
    int GroupIndex(int row) const;
    // One copy was deleted from the group: its row goes.
    void RemoveRow(int row);

    // Shows the rows sorted by a column's raw value (the path byte by byte, the size in bytes,
    // the time of the last change); copies that compare equal keep the group's order. A column
    // of -1 shows the group's order. The order stays for the groups shown next.
    void SortRows(int column, Qt::SortOrder order);
    int SortColumn() const { return FSortColumn; }

    // The files of rows for the clipboard or a drag: their paths as URIs, percent-encoded byte by
    // byte so that any name survives, and as text, one path a line.
    QMimeData* CopyPaths(const std::vector<int>& rows) const;

    void SetFormats(const TLocaleFormats& formats) { FFormats = formats; }

  private:
    // The row is about to go: the copies it owns are no longer shown.
    void Forget();
    // The group's places in the order shown.
    std::vector<int> SortedOrder() const;

    const TFileListModel& FFiles;
    QPersistentModelIndex FRow;
    QString FPathCaption = "Directories";
    TLocaleFormats FFormats = TLocaleFormats::Current();
    std::vector<int> FOrder; // the group's place of each row shown
    int FSortColumn = -1;
    Qt::SortOrder FSortOrder = Qt::AscendingOrder;
};

// The text a path has on the clipboard: the name as the lists show it, or, where its line breaks
// would split it into two lines, the escaped form of the program's messages.
QString ClipboardPathText(const std::string& path);
