#include "ui/ScheduleGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <clocale>
#include <cstring>

namespace {

constexpr int RawTextRole = Qt::UserRole;    // the bytes, when UTF-8 cannot carry them
constexpr int SerialRole = Qt::UserRole + 1; // the entry of a data row (first cell only)

constexpr std::array<int, TScheduleGrid::ColCount> ColumnWidths{180, 80, 80, 80, 80, 80};

int Sign(int value) {
    return (value > 0) - (value < 0);
}

/// The header row is exactly as high as a data row, whatever the font asks for.
class TGridHeader : public QHeaderView {
public:
    explicit TGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}
    QSize sizeHint() const override {
        QSize size = QHeaderView::sizeHint();
        size.setHeight(TScheduleGrid::DefaultRowHeight);
        return size;
    }
};

} // namespace

int CompareRowIndex(std::int32_t a, std::int32_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareAscending(const TGridSortInfo& a, const TGridSortInfo& b) {
    // char_traits<char> compares as unsigned char, a prefix first.
    int result = Sign(a.Key.compare(b.Key));
    return result != 0 ? result : CompareRowIndex(a.RowIndex, b.RowIndex);
}

int CompareDescending(const TGridSortInfo& a, const TGridSortInfo& b) {
    int result = Sign(std::strcoll(b.Key.c_str(), a.Key.c_str()));
    return result != 0 ? result : CompareRowIndex(a.RowIndex, b.RowIndex);
}

/// Lets a row become current or selected only when the window allows it, whoever asks:
/// mouse, keyboard or program.
class TGridSelectionModel : public QItemSelectionModel {
public:
    explicit TGridSelectionModel(TScheduleGrid* grid)
        : QItemSelectionModel(grid->model(), grid), FGrid(grid) {}

    using QItemSelectionModel::select;

    void setCurrentIndex(const QModelIndex& index, SelectionFlags command) override {
        if (index.isValid() && !FGrid->CanSelectCell(index.column(), index.row() + 1))
            return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

    void select(const QItemSelection& selection, SelectionFlags command) override {
        QItemSelection allowed;
        for (const QItemSelectionRange& range : selection)
            for (int row = range.top(); row <= range.bottom(); ++row)
                if (FGrid->CanSelectCell(range.left(), row + 1))
                    allowed.select(model()->index(row, range.left(), range.parent()),
                                   model()->index(row, range.right(), range.parent()));
        QItemSelectionModel::select(allowed, command);
    }

private:
    TScheduleGrid* FGrid;
};

TScheduleGrid::TScheduleGrid(QWidget* parent) : QTableWidget(1, ColCount, parent) {
    setHorizontalHeader(new TGridHeader(this));
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false); // the window sorts; no column selection
    header->setHighlightSections(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->viewport()->installEventFilter(this);

    verticalHeader()->hide(); // no fixed columns
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    for (int col = 0; col < ColCount; ++col)
        setColumnWidth(col, ColumnWidths[static_cast<std::size_t>(col)]);

    setShowGrid(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem); // whole columns, as LeftCol says
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTabKeyNavigation(false);

    QItemSelectionModel* old = selectionModel();
    setSelectionModel(new TGridSelectionModel(this));
    delete old;
}

void TScheduleGrid::SetRowCount(std::int32_t count) {
    // A removed current row hands over to the row above it (the item view's own rule).
    setRowCount(std::max(count, 2) - 1);
}

std::int32_t TScheduleGrid::Row() const {
    return currentRow() >= 0 ? currentRow() + 1 : 1;
}

void TScheduleGrid::SetRow(std::int32_t row) {
    setCurrentCell(row - 1, std::max(currentColumn(), 0));
}

QTableWidgetItem* TScheduleGrid::CellItem(std::int32_t col, std::int32_t row) const {
    return row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
}

std::string TScheduleGrid::Cells(std::int32_t col, std::int32_t row) const {
    QTableWidgetItem* cell = CellItem(col, row);
    if (cell == nullptr)
        return {};
    QVariant raw = cell->data(RawTextRole);
    if (raw.isValid())
        return raw.toByteArray().toStdString();
    return cell->text().toStdString();
}

void TScheduleGrid::SetCells(std::int32_t col, std::int32_t row, const std::string& text) {
    QTableWidgetItem* cell = CellItem(col, row);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        if (row == 0)
            setHorizontalHeaderItem(col, cell);
        else
            setItem(row - 1, col, cell);
    }
    QByteArray bytes = QByteArray::fromStdString(text);
    QString shown = QString::fromUtf8(bytes);
    cell->setText(shown);
    // Texts are 8-bit; keep the very bytes when they are not UTF-8, so sorting and
    // reading back see what the file holds.
    cell->setData(RawTextRole, shown.toUtf8() == bytes ? QVariant() : QVariant(bytes));
}

std::optional<std::uint64_t> TScheduleGrid::Objects(std::int32_t row) const {
    QTableWidgetItem* cell = CellItem(0, row);
    if (row == 0 || cell == nullptr)
        return std::nullopt;
    QVariant serial = cell->data(SerialRole);
    if (!serial.isValid())
        return std::nullopt;
    return serial.toULongLong();
}

void TScheduleGrid::SetObjects(std::int32_t row, std::optional<std::uint64_t> serial) {
    if (CellItem(0, row) == nullptr)
        SetCells(0, row, {});
    CellItem(0, row)->setData(SerialRole, serial ? QVariant(qulonglong{*serial}) : QVariant());
}

TScheduleGrid::TRowCopy TScheduleGrid::CopyRow(std::int32_t row) const {
    TRowCopy copy;
    for (int col = 0; col < ColCount; ++col)
        copy.Texts[static_cast<std::size_t>(col)] = Cells(col, row);
    copy.Serial = Objects(row);
    return copy;
}

void TScheduleGrid::WriteRow(std::int32_t row, const TRowCopy& copy) {
    for (int col = 0; col < ColCount; ++col)
        SetCells(col, row, copy.Texts[static_cast<std::size_t>(col)]);
    SetObjects(row, copy.Serial);
}

std::int32_t TScheduleGrid::RowHeights(std::int32_t row) const {
    return row == 0 ? horizontalHeader()->height() : rowHeight(row - 1);
}

std::int32_t TScheduleGrid::LeftCol() const {
    return std::max(columnAt(0), 0);
}

std::int32_t TScheduleGrid::TopRow() const {
    return std::max(rowAt(0), 0) + 1;
}

std::int32_t TScheduleGrid::ClientHeight() const {
    return RowHeights(0) + viewport()->height();
}

void TScheduleGrid::Refresh() {
    int current = currentRow();
    if (current >= 0 && !CanSelectCell(currentColumn(), current + 1)) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
    }
    if (currentRow() < 0)
        SetRow(1);
    current = currentRow();
    if (current >= 0 && !selectionModel()->isRowSelected(current, QModelIndex()))
        selectionModel()->select(model()->index(current, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    viewport()->update();
}

bool TScheduleGrid::CanSelectCell(std::int32_t col, std::int32_t row) const {
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(col, row, canSelect);
    return canSelect;
}

bool TScheduleGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick)) {
        // The header row is row 0 of the grid: its presses count like any other.
        auto* mouse = static_cast<QMouseEvent*>(event);
        QPoint pos = mouse->position().toPoint();
        emit MouseDown(mouse->button(), mouse->modifiers(), pos.x(), pos.y());
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton)
            emit DblClick();
    }
    return QTableWidget::eventFilter(watched, event);
}

void TScheduleGrid::mousePressEvent(QMouseEvent* event) {
    QTableWidget::mousePressEvent(event);
    QPoint pos = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), pos.x(), pos.y() + RowHeights(0));
}

void TScheduleGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like the first, then the double
    // click itself; the item view's own double-click handling (editing) is not wanted.
    QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                      event->globalPosition(), event->button(), event->buttons(),
                      event->modifiers());
    mousePressEvent(&press);
    if (event->button() == Qt::LeftButton)
        emit DblClick();
}

void TScheduleGrid::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event->key(), event->modifiers());
    // Copy belongs to the menu's item, which is always disabled; the item view would
    // otherwise copy the current cell on its own.
    if (event->matches(QKeySequence::Copy))
        return;
    QTableWidget::keyPressEvent(event);
}
