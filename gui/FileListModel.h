#pragma once

#include "CleanUp.h"
#include "LocaleFormats.h"
#include "ResultRows.h"

#include <QAbstractTableModel>
#include <vector>

// The rows of the duplicate list: a duplicated name key with its extension, the number of its
// copies and the space they take. The model owns the rows and, through them, the groups.
class TFileListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum TColumn { ColName = 0, ColExt = 1, ColCount = 2, ColSpace = 3, ColumnCount = 4 };

    explicit TFileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces all rows at once (one reset, one repaint).
    void SetRows(std::vector<TResultRow> rows);
    // Releases every row and its group.
    void Clear();
    const std::vector<TResultRow>& Rows() const { return FRows; }
    const TResultRow& Row(int row) const { return FRows.at(static_cast<size_t>(row)); }
    // A row whose group changed (copies deleted) shows its new Count and Space.
    void RowChanged(int row);
    // Takes the copies a clean-up removed off their groups, and the rows left with one copy off
    // the list (one reset).
    void ApplyRemovals(std::vector<TCleanUpStep> removed);

    // Sorts by a column, on the raw values: the extension byte by byte, Count and Space as
    // numbers, the name ignoring ASCII case. Rows that compare equal keep no particular order.
    void SortRows(int column, bool descending);

    void SetFormats(const TLocaleFormats& formats) { FFormats = formats; }

  private:
    std::vector<TResultRow> FRows;
    std::vector<std::string> FExts; // the "Ext" of each row, kept beside it
    TLocaleFormats FFormats = TLocaleFormats::Current();
};

// The comparisons of the duplicate list's sort: negative, zero or positive.
int CompareOrdinal(const std::string& a, const std::string& b);
int CompareIgnoringAsciiCase(const std::string& a, const std::string& b);
