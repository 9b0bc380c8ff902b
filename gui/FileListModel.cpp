#include "FileListModel.h"

#include "Desktop.h"
#include "FormatSize.h"

#include <algorithm>
#include <numeric>

namespace {

int CompareBytes(const std::string& a, const std::string& b, bool foldAscii) {
    const size_t length = std::min(a.size(), b.size());
    for (size_t i = 0; i < length; ++i) {
        int x = static_cast<unsigned char>(a[i]);
        int y = static_cast<unsigned char>(b[i]);
        if (foldAscii) {
            if (x >= 'a' && x <= 'z')
                x -= 'a' - 'A';
            if (y >= 'a' && y <= 'z')
                y -= 'a' - 'A';
        }
        if (x != y)
            return x - y;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

template <typename T> int CompareNumbers(T a, T b) {
    return a == b ? 0 : (a > b ? 1 : -1);
}

} // namespace

int CompareOrdinal(const std::string& a, const std::string& b) {
    return CompareBytes(a, b, false);
}

int CompareIgnoringAsciiCase(const std::string& a, const std::string& b) {
    return CompareBytes(a, b, true);
}

TFileListModel::TFileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto row = static_cast<size_t>(index.row());
    if (role == Qt::TextAlignmentRole) {
        const bool right = index.column() == ColCount || index.column() == ColSpace;
        return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColName:
        return DecodedName(FRows[row].Caption);
    case ColExt:
        return DecodedName(FExts[row]);
    case ColCount:
        return QString::number(FRows[row].Count());
    case ColSpace:
        return QString::fromStdString(FormatSize(FRows[row].GroupSpace(), FFormats));
    default:
        return {};
    }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole) {
        const bool right = section == ColCount || section == ColSpace;
        return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole)
        return {};
    static const char* const captions[ColumnCount] = {"Doublicated files", "Ext", "Count", "Space"};
    return section >= 0 && section < ColumnCount ? QString(captions[section]) : QVariant();
}

void TFileListModel::SetRows(std::vector<TResultRow> rows) {
    beginResetModel();
    FRows = std::move(rows);
    FExts.clear();
    FExts.reserve(FRows.size());
    for (const TResultRow& row : FRows)
        FExts.push_back(ExtOf(row.Caption));
    endResetModel();
}

void TFileListModel::ApplyRemovals(std::vector<TCleanUpStep> removed) {
    beginResetModel();
    ::ApplyRemovals(FRows, std::move(removed));
    FExts.clear();
    for (const TResultRow& row : FRows)
        FExts.push_back(ExtOf(row.Caption));
    endResetModel();
}

void TFileListModel::Clear() {
    SetRows({});
}

void TFileListModel::RowChanged(int row) {
    emit dataChanged(index(row, ColCount), index(row, ColSpace));
}

void TFileListModel::SortRows(int column, bool descending) {
    std::vector<size_t> order(FRows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    // A group's space is the same at every comparison: summed once per row, not per comparison.
    std::vector<float> spaces;
    if (column == ColSpace) {
        spaces.reserve(FRows.size());
        for (const TResultRow& row : FRows)
            spaces.push_back(row.GroupSpace());
    }
    auto compare = [&](size_t a, size_t b) {
        switch (column) {
        case ColExt:
            return CompareOrdinal(FExts[a], FExts[b]);
        case ColCount:
            return CompareNumbers(FRows[a].Count(), FRows[b].Count());
        case ColSpace:
            return CompareNumbers(spaces[a], spaces[b]);
        default:
            return CompareIgnoringAsciiCase(FRows[a].Caption, FRows[b].Caption);
        }
    };
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int result = compare(a, b);
        return descending ? result > 0 : result < 0;
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> newRowOf(order.size());
    for (size_t position = 0; position < order.size(); ++position)
        newRowOf[order[position]] = static_cast<int>(position);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf[static_cast<size_t>(old.row())], old.column()));

    std::vector<TResultRow> rows;
    std::vector<std::string> exts;
    rows.reserve(FRows.size());
    exts.reserve(FRows.size());
    for (size_t from : order) {
        rows.push_back(std::move(FRows[from]));
        exts.push_back(std::move(FExts[from]));
    }
    FRows = std::move(rows);
    FExts = std::move(exts);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
