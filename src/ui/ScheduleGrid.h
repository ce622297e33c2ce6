// The schedule grid: a table read as a string grid whose row 0 is the fixed header,
// and the comparisons of its header-click sort.
#pragma once

#include <QTableWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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

/// A table addressed the string-grid way: rows are numbered with the header as row 0,
/// so data row r is table row r - 1. Each data row may carry the serial number of the
/// schedule entry it shows (never a pointer, so a released entry cannot be reached).
class TScheduleGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int ColCount = 6;
    static constexpr int DefaultRowHeight = 20;
    static constexpr int GridLineWidth = 0;

    explicit TScheduleGrid(QWidget* parent = nullptr);

    /// Header row included; never below 2.
    std::int32_t RowCount() const { return rowCount() + 1; }
    /// New rows are blank; when the current row goes, the last row becomes current.
    void SetRowCount(std::int32_t count);
    /// The current data row; 1 while no row is current, as in a grid that starts on row 1.
    std::int32_t Row() const;
    /// Makes `row` current when it may be selected.
    void SetRow(std::int32_t row);

    std::string Cells(std::int32_t col, std::int32_t row) const;
    void SetCells(std::int32_t col, std::int32_t row, const std::string& text);
    std::optional<std::uint64_t> Objects(std::int32_t row) const;
    void SetObjects(std::int32_t row, std::optional<std::uint64_t> serial);

    /// A whole data row: its six texts and its entry.
    struct TRowCopy {
        std::array<std::string, ColCount> Texts;
        std::optional<std::uint64_t> Serial;
    };
    TRowCopy CopyRow(std::int32_t row) const;
    void WriteRow(std::int32_t row, const TRowCopy& copy);

    std::int32_t ColWidths(std::int32_t col) const { return columnWidth(col); }
    std::int32_t RowHeights(std::int32_t row) const;
    /// The first column shown at the left edge, and the first data row shown at the top.
    std::int32_t LeftCol() const;
    std::int32_t TopRow() const;
    /// Header and data area, without scroll bars.
    std::int32_t ClientHeight() const;

    /// Repaints, puts the current row back on a selectable row and selects it.
    void Refresh();

    /// Asked before a row becomes current or selected: (column, row, may select).
    std::function<void(std::int32_t col, std::int32_t row, bool& canSelect)> OnSelectCell;

signals:
    /// Every press on the header or the data area, in grid coordinates: the header's
    /// top left corner is (0, 0) and the first shown data row starts below it.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void KeyDown(int key, Qt::KeyboardModifiers shift);
    void DblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString&) override {} // a string grid does not jump on typing

private:
    friend class TGridSelectionModel;
    bool CanSelectCell(std::int32_t col, std::int32_t row) const;
    QTableWidgetItem* CellItem(std::int32_t col, std::int32_t row) const;
};
