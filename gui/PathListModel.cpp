#include "PathListModel.h"

#include "Desktop.h"
#include "FileListModel.h"
#include "FileTimes.h"
#include "FormatSize.h"

#include <QMimeData>
#include <algorithm>
#include <numeric>

namespace {

const char* const UriListType = "text/uri-list";
const char* const PlainTextType = "text/plain";

} // namespace

QString ClipboardPathText(const std::string& path) {
    if (path.find_first_of("\r\n") != std::string::npos)
        return ShownText(path);
    return DecodedName(path);
}

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
    FOrder = SortedOrder();
    endResetModel();
}

void TPathListModel::Forget() {
    if (FRow.isValid())
        ShowRow(-1);
}

std::vector<int> TPathListModel::SortedOrder() const {
    const TFileGroup* group = Group();
    std::vector<int> order(group != nullptr ? static_cast<size_t>(group->Count()) : 0);
    std::iota(order.begin(), order.end(), 0);
    if (group == nullptr || FSortColumn < 0)
        return order;
    // Paths are built once per copy, not once per comparison.
    std::vector<std::string> paths;
    if (FSortColumn == ColPath)
        for (int copy : order)
            paths.push_back(group->Path(copy));
    auto compare = [&](int a, int b) {
        const TFileInfoRec& x = group->Info(a);
        const TFileInfoRec& y = group->Info(b);
        switch (FSortColumn) {
        case ColSize:
            return x.Size < y.Size ? -1 : (x.Size > y.Size ? 1 : 0);
        case ColDateTime:
            return x.LastWriteTime < y.LastWriteTime ? -1
                                                     : (x.LastWriteTime > y.LastWriteTime ? 1 : 0);
        default:
            return CompareOrdinal(paths[static_cast<size_t>(a)], paths[static_cast<size_t>(b)]);
        }
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int result = compare(a, b);
        return FSortOrder == Qt::DescendingOrder ? result > 0 : result < 0;
    });
    return order;
}

void TPathListModel::SortRows(int column, Qt::SortOrder order) {
    FSortColumn = column >= 0 && column < ColumnCount ? column : -1;
    FSortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newOrder = SortedOrder();
    // The selection and the current row stay with their copies.
    std::vector<int> rowOfCopy(newOrder.size());
    for (size_t row = 0; row < newOrder.size(); ++row)
        rowOfCopy[static_cast<size_t>(newOrder[row])] = static_cast<int>(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        const auto copy = static_cast<size_t>(FOrder.at(static_cast<size_t>(old.row())));
        after.append(index(rowOfCopy.at(copy), old.column()));
    }
    FOrder = std::move(newOrder);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TPathListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || Group() == nullptr ? 0 : static_cast<int>(FOrder.size());
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
    const TFileInfoRec& info = Group()->Info(GroupIndex(index.row()));
    // The tip of a row is its full path, whatever the column.
    if (role == Qt::ToolTipRole)
        return DecodedName(info.FullPath());
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColPath:
        return DecodedName(info.FullPath());
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

QStringList TPathListModel::mimeTypes() const {
    return {UriListType, PlainTextType};
}

QMimeData* TPathListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.model() == this)
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return CopyPaths(rows);
}

Qt::DropActions TPathListModel::supportedDragActions() const {
    // A drag never moves a copy away: what takes the drop gets the files to copy or link.
    return Qt::CopyAction;
}

QMimeData* TPathListModel::CopyPaths(const std::vector<int>& rows) const {
    QByteArray uris;
    QStringList lines;
    for (int row : rows) {
        const std::string path = Path(row);
        if (path.empty())
            continue;
        uris += FileUriOfBytes(path).toLatin1() + "\r\n";
        lines << ClipboardPathText(path);
    }
    auto* data = new QMimeData;
    if (lines.isEmpty())
        return data;
    data->setData(UriListType, uris);
    data->setText(lines.join('\n'));
    return data;
}

void TPathListModel::SetPathCaption(const QString& caption) {
    FPathCaption = caption;
    emit headerDataChanged(Qt::Horizontal, ColPath, ColPath);
}

int TPathListModel::GroupIndex(int row) const {
    return row >= 0 && row < rowCount() ? FOrder[static_cast<size_t>(row)] : -1;
}

std::string TPathListModel::Path(int row) const {
    const int copy = GroupIndex(row);
    return copy >= 0 ? Group()->Path(copy) : std::string();
}

void TPathListModel::RemoveRow(int row) {
    TFileGroup* group = Group();
    const int copy = GroupIndex(row);
    if (group == nullptr || copy < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    group->Delete(copy);
    FOrder.erase(FOrder.begin() + row);
    for (int& place : FOrder)
        if (place > copy)
            --place;
    endRemoveRows();
}
