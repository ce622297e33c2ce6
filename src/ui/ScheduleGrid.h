// The schedule grid: a table view over the schedule model in the order of its sort, whole
// rows selected, no editing; a click on a header section sorts, a drag on its edge resizes.
#pragma once

#include "ui/ScheduleSort.h"

#include <QTableView>

#include <cstdint>
#include <optional>

namespace vantle {

struct TFormatSettings;

class TScheduleGrid : public QTableView {
    Q_OBJECT
public:
    static constexpr int DefaultRowHeight = 20;

    explicit TScheduleGrid(QWidget* parent = nullptr);

    /// The rows as shown, in the order of the last sort.
    TScheduleSort* Model() const { return FModel; }
    /// The rows in list order.
    TScheduleModel* Rows() const { return FModel->Rows(); }
    /// The current row (from 0), or -1.
    int CurrentRow() const;
    /// Makes `row` current and selected when it holds an entry.
    void SelectRow(int row);
    /// Selects the row of the entry `serial`; when it is gone (or none), the row at
    /// `row`, or the last one.
    void SelectEntry(std::optional<std::uint64_t> serial, int row);
    /// The serial of the current row's entry.
    std::optional<std::uint64_t> CurrentSerial() const;
    /// Whether the last press in the grid was on a row that shows an entry; true when no
    /// press is remembered (none yet, or a key was pressed since).
    bool PressOnDataRow() const { return FPressOnDataRow.value_or(true); }
    /// The widths the columns start at; the Name column never goes below its own and
    /// takes what is left.
    static int MinimumWidth(int col);
    /// Widens Next Run and Last Run where they are too narrow for a moment in `settings`.
    void FitMoments(const TFormatSettings& settings);
    /// Wide enough for every column at its width now, the Name column at its least.
    int PlannedWidth() const;

    /// A header click: sorts by `col`, ascending first, the other way round when it is
    /// the column sorted already; the header shows the arrow.
    void SortBy(int col);
    /// Sorts by `col` in the direction given, as a header click that left it so would.
    void RestoreSort(int col, bool ascending);
    /// The column and direction of the last header-click sort.
    int SortCol() const { return FSortCol; }
    bool SortAscending() const { return FSortAscending; }
    /// Every row anew in list order, without a sort arrow; the selection stays on its
    /// entry.
    void Refill();

signals:
    /// A double click on a row that shows an entry.
    void RowDoubleClicked(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyboardSearch(const QString&) override {} // typing does not jump to a row

private:
    void StretchName();

    TScheduleSort* FModel;
    int FSortCol = 0;
    bool FSortAscending = false;
    std::optional<bool> FPressOnDataRow;
    // The selection across a reset of the rows.
    std::optional<std::uint64_t> FResetSerial;
    int FResetRow = -1;
};

} // namespace vantle
