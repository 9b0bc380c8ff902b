#pragma once

#include "FileGroup.h"
#include "LocaleFormats.h"

#include <QAbstractTableModel>

// The copies of the selected duplicated name: full path, size and date of each. The group
// belongs to a duplicate-list row; the model shows it and removes the copies Delete took.
class TPathListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum TColumn { ColPath = 0, ColSize = 1, ColDateTime = 2, ColumnCount = 3 };

    explicit TPathListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Shows the copies of a group (nullptr: none). The caption heads the path column.
    void SetGroup(TFileGroup* group);
    const TFileGroup* Group() const { return FGroup; }
    void SetPathCaption(const QString& caption);
    QString PathCaption() const { return FPathCaption; }
    // The file a row stands for, as the file system names it.
    std::string Path(int row) const;
    // One copy was deleted from the group: its row goes.
    void RemoveRow(int row);

    void SetFormats(const TLocaleFormats& formats) { FFormats = formats; }

  private:
    TFileGroup* FGroup = nullptr;
    QString FPathCaption = "Directories";
    TLocaleFormats FFormats = TLocaleFormats::Current();
};
