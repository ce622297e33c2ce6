// The schedule grid's rows as a table model: copies of what each row shows, its
// entry's serial, and the header-click sort that reorders them.
#pragma once

#include <QAbstractTableModel>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

/// One data row during a sort.
struct TGridSortInfo {
    std::string Key;           // the row's cell text in the sort column
    std::int32_t RowIndex = 0; // the row's place before the sort, from 0
};

/// -1, 0 or 1.
int CompareRowIndex(std::int32_t a, std::int32_t b);
/// Keys byte by byte as unsigned codes, then the previous order.
int CompareAscending(const TGridSortInfo& a, const TGridSortInfo& b);
/// B's key against A's by the user's locale collation (strcoll), then the previous order.
int CompareDescending(const TGridSortInfo& a, const TGridSortInfo& b);

/// A row of the grid. The blank row of an empty list has no serial.
struct TGridRow {
    static constexpr double Never = 1e300; // sorts after every moment
    static constexpr double Empty = 2e300; // after "never" too
    std::optional<std::uint64_t> Serial;
    std::array<std::string, 9> Texts; // Name (with "**"), the five fields, the runs
    std::array<double, 3> Moments{Empty, Empty, Empty}; // Next Run, Last Run, Result
    bool ResultError = false;
};

class TScheduleModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColCount = 9;
    static constexpr int FieldColCount = 6; // Name to WeekDays: sorted as text
    enum : int { colNextRun = 6, colLastRun = 7, colResult = 8 };
    static constexpr int SerialRole = Qt::UserRole + 1;

    explicit TScheduleModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Replaces every row; an empty list still shows one blank row.
    void SetRows(std::vector<TGridRow> rows);
    /// Replaces one row in place.
    void SetRow(int row, TGridRow value);
    /// Gives `update` every row to change in place, then repaints them all at once.
    void UpdateRows(const std::function<void(TGridRow&)>& update);
    /// Adds a row at the bottom (taking the place of the blank row).
    void AppendRow(TGridRow value);
    /// Removes a row; the last one leaves the blank row behind.
    void RemoveRow(int row);

    int Count() const { return static_cast<int>(FRows.size()); }
    const TGridRow& Row(int row) const { return FRows.at(static_cast<std::size_t>(row)); }
    /// The row that shows the entry, or -1.
    int RowOfSerial(std::uint64_t serial) const;
    /// The cell's text as bytes.
    std::string Text(int row, int col) const;

    /// Sorts by a column: the six field columns by the grid's text rules, the three run
    /// columns by time with "never" and empty last either way; ties keep their order.
    /// Persistent indexes (the selection) follow their rows.
    void Sort(int col, bool ascending);

private:
    std::vector<TGridRow> FRows;
};

} // namespace vantle
