#include "PathListModel.h"

#include "FileTimes.h"
#include "FormatSize.h"

#include <QFile>

TPathListModel::TPathListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TPathListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || FGroup == nullptr ? 0 : FGroup->Count();
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
    const TFileInfoRec& info = FGroup->Info(index.row());
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

void TPathListModel::SetGroup(TFileGroup* group) {
    beginResetModel();
    FGroup = group;
    endResetModel();
}

void TPathListModel::SetPathCaption(const QString& caption) {
    FPathCaption = caption;
    emit headerDataChanged(Qt::Horizontal, ColPath, ColPath);
}

std::string TPathListModel::Path(int row) const {
    return FGroup != nullptr && row >= 0 && row < FGroup->Count() ? FGroup->Path(row)
                                                                  : std::string();
}

void TPathListModel::RemoveRow(int row) {
    if (FGroup == nullptr || row < 0 || row >= FGroup->Count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    FGroup->Delete(row);
    endRemoveRows();
}
