#pragma once

#include "FileGroup.h"
#include "LocaleFormats.h"

#include <QAbstractTableModel>
#include <QPersistentModelIndex>

class TFileListModel;

// The copies of the selected duplicated name: full path, size and date of each. The group
// belongs to a row of the duplicate list; the model follows that row while the list is sorted,
// shows nothing once the row or the list's rows go, and removes the copies Delete took.
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

    // Shows the copies of a duplicate-list row (-1: none).
    void ShowRow(int fileRow);
    // The group shown, or nullptr.
    TFileGroup* Group() const;
    // The caption heads the path column.
    void SetPathCaption(const QString& caption);
    QString PathCaption() const { return FPathCaption; }
    // The file a row stands for, as the file system names it.
    std::string Path(int row) const;
    // One copy was deleted from the group: its row goes.
    void RemoveRow(int row);

    void SetFormats(const TLocaleFormats& formats) { FFormats = formats; }

  private:
    // The row is about to go: the copies it owns are no longer shown.
    void Forget();

    const TFileListModel& FFiles;
    QPersistentModelIndex FRow;
    QString FPathCaption = "Directories";
    TLocaleFormats FFormats = TLocaleFormats::Current();
};
