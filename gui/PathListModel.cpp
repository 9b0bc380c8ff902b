#include "PathListModel.h"

#include "FileListModel.h"
#include "FileTimes.h"
#include "FormatSize.h"

#include <QFile>

TPathListModel::TPathListModel(TFileListModel& files, QObject* parent)
    : QAbstractTableModel(parent), FFiles(files) {
    // The groups belong to the duplicate list's rows: before a row goes, its copies are hidden.
    connect(&files, &QAbstractItemModel::modelAboutToBeReset, this, &TPathListModel::Forget);
    connect(&files, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (FRow.isValid() && FRow.row() >= first && FRow.row() <= last)
                    Forget();
            });
}

TFileGroup* TPathListModel::Group() const {
    if (!FRow.isValid())
        return nullptr;
    return FFiles.Row(FRow.row()).Group.get();
}

void TPathListModel::ShowRow(int fileRow) {
    beginResetModel();
    FRow = fileRow >= 0 && fileRow < FFiles.rowCount()
               ? QPersistentModelIndex(FFiles.index(fileRow, 0))
               : QPersistentModelIndex();
    endResetModel();
}

void TPathListModel::Forget() {
    if (FRow.isValid())
        ShowRow(-1);
}

int TPathListModel::rowCount(const QModelIndex& parent) const {
    const TFileGroup* group = Group();
    return parent.isValid() || group == nullptr ? 0 : group->Count();
}

int TPathListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TPathListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole) {
        const bool right = index.column() == ColSize;
        return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    const TFileInfoRec& info = Group()->Info(index.row());
    // The tip of a row is its full path, whatever the column.
    if (role == Qt::ToolTipRole)
        return QFile::decodeName(QByteArray::fromStdString(info.FullPath()));
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColPath:
        return QFile::decodeName(QByteArray::fromStdString(info.FullPath()));
    case ColSize:
        return QString::fromStdString(FormatSize(static_cast<float>(info.Size), FFormats));
    case ColDateTime:
        return QString::fromStdString(DateTimeText(info.LastWriteTime, FFormats));
    default:
        return {};
    }
}

QVariant TPathListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole) {
        const bool right = section == ColSize;
        return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColPath:
        return FPathCaption;
    case ColSize:
        return QStringLiteral("Size");
    case ColDateTime:
        return QStringLiteral("DateTime");
    default:
        return {};
    }
}

Qt::ItemFlags TPathListModel::flags(const QModelIndex& index) const {
    // Rows can be dragged; nothing in the window takes a drop.
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
}

void TPathListModel::SetPathCaption(const QString& caption) {
    FPathCaption = caption;
    emit headerDataChanged(Qt::Horizontal, ColPath, ColPath);
}

std::string TPathListModel::Path(int row) const {
    const TFileGroup* group = Group();
    return group != nullptr && row >= 0 && row < group->Count() ? group->Path(row) : std::string();
}

void TPathListModel::RemoveRow(int row) {
    TFileGroup* group = Group();
    if (group == nullptr || row < 0 || row >= group->Count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    group->Delete(row);
    endRemoveRows();
}
