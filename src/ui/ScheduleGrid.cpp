#include "ui/ScheduleGrid.h"

#include "ui/MomentText.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <array>

namespace vantle {

namespace {

constexpr std::array<int, TScheduleModel::ColCount> ColumnWidths{180, 80,  80,  80, 80,
                                                                 80,  110, 110, 160};

} // namespace

TScheduleGrid::TScheduleGrid(QWidget* parent)
    : QTableView(parent), FModel(new TScheduleSort(new TScheduleModel(this), this)) {
    setModel(FModel);
    // A reload resets the rows; the selection stays on its entry, as through a sort.
    connect(FModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        FResetSerial = CurrentSerial();
        FResetRow = CurrentRow();
    });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
        horizontalHeader()->setSortIndicatorShown(false); // back in list order
        if (FResetRow >= 0)
            SelectEntry(FResetSerial, FResetRow);
    });
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false); // shown from the first sort on
    header->setHighlightSections(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(DefaultRowHeight);
    header->viewport()->installEventFilter(this);
    header->setMinimumSectionSize(40);
    connect(header, &QHeaderView::sectionClicked, this, &TScheduleGrid::SortBy);

    verticalHeader()->hide(); // no fixed columns
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    for (int col = 0; col < TScheduleModel::ColCount; ++col)
        setColumnWidth(col, MinimumWidth(col));

    setShowGrid(false);
    setWordWrap(false);
    setSortingEnabled(false); // the window sorts, by its own rules
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false);
    connect(header, &QHeaderView::sectionResized, this, [this](int col) {
        if (col != 0)
            StretchName();
    });
}

int TScheduleGrid::MinimumWidth(int col) {
    return ColumnWidths[static_cast<std::size_t>(col)];
}

int TScheduleGrid::CurrentRow() const {
    QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TScheduleGrid::SelectRow(int row) {
    if (!FModel->SerialOf(row))
        return;
    int col = std::max(currentIndex().column(), 0);
    selectionModel()->setCurrentIndex(FModel->index(row, col), QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
}

void TScheduleGrid::SelectEntry(std::optional<std::uint64_t> serial, int row) {
    int found = serial ? FModel->RowOfSerial(*serial) : -1;
    SelectRow(found >= 0 ? found : std::min(std::max(row, 0), FModel->rowCount() - 1));
}

std::optional<std::uint64_t> TScheduleGrid::CurrentSerial() const {
    return FModel->SerialOf(CurrentRow());
}

void TScheduleGrid::mousePressEvent(QMouseEvent* event) {
    QModelIndex index = indexAt(event->position().toPoint());
    FPressOnDataRow = index.isValid() && FModel->SerialOf(index.row()).has_value();
    QTableView::mousePressEvent(event);
}

void TScheduleGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like the first; the item view's
    // own double-click handling (editing) is not wanted.
    QModelIndex index = indexAt(event->position().toPoint());
    FPressOnDataRow = index.isValid() && FModel->SerialOf(index.row()).has_value();
    if (event->button() == Qt::LeftButton && *FPressOnDataRow)
        emit RowDoubleClicked(index.row());
}

void TScheduleGrid::keyPressEvent(QKeyEvent* event) {
    FPressOnDataRow.reset();
    // Copy belongs to the menu's item, which is always disabled; the item view would
    // otherwise copy the current cell on its own.
    if (event->matches(QKeySequence::Copy))
        return;
    QTableView::keyPressEvent(event);
}

bool TScheduleGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick))
        FPressOnDataRow = false; // the header is no data row
    return QTableView::eventFilter(watched, event);
}

void TScheduleGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    StretchName();
}

void TScheduleGrid::StretchName() {
    // The Name column takes the room the others leave, never less than its minimum; the
    // others keep the widths the user dragged them to.
    int others = 0;
    for (int col = 1; col < TScheduleModel::ColCount; ++col)
        others += columnWidth(col);
    setColumnWidth(0, std::max(MinimumWidth(0), viewport()->width() - others));
}

void TScheduleGrid::SortBy(int col) {
    FSortAscending = col != FSortCol || !FSortAscending;
    FSortCol = col;
    const Qt::SortOrder order = FSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder;
    FModel->sort(col, order);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(col, order);
}

void TScheduleGrid::RestoreSort(int col, bool ascending) {
    // SortBy turns the order round when the column is the one sorted already.
    FSortCol = col;
    FSortAscending = !ascending;
    SortBy(col);
}

void TScheduleGrid::Refill() {
    std::optional<std::uint64_t> selected = CurrentSerial();
    int current = CurrentRow();
    Rows()->RefreshAll();
    FModel->ShowListOrder();
    horizontalHeader()->setSortIndicatorShown(false);
    SelectEntry(selected, current);
}

void TScheduleGrid::FitMoments(const TFormatSettings& settings) {
    const int needed = MomentColumnWidth(*this, settings);
    for (int col : {TScheduleModel::colNextRun, TScheduleModel::colLastRun})
        setColumnWidth(col, std::max(columnWidth(col), needed));
}

int TScheduleGrid::PlannedWidth() const {
    int width = MinimumWidth(0);
    for (int col = 1; col < TScheduleModel::ColCount; ++col)
        width += columnWidth(col);
    return width + 24; // the frame and a scroll bar
}

} // namespace vantle
