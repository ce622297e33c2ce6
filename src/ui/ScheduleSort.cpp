#include "ui/ScheduleSort.h"

#include <QByteArray>

#include <clocale>
#include <cstring>
#include <string_view>

namespace vantle {

TScheduleSort::TScheduleSort(TScheduleModel* rows, QObject* parent)
    : QSortFilterProxyModel(parent), FRows(rows) {
    setSortRole(TScheduleModel::SortRole);
    setDynamicSortFilter(false); // only a header click sorts
    // A reload shows list order. Connected before the proxy's own handling, so the sort
    // is dropped before the rows are mapped anew rather than sorted once more.
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, &TScheduleSort::ShowListOrder);
    setSourceModel(rows);
}

void TScheduleSort::ShowListOrder() {
    if (Sorted())
        sort(-1);
}

std::optional<std::uint64_t> TScheduleSort::SerialOf(int row) const {
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    return FRows->SerialOf(mapToSource(index(row, 0)).row());
}

int TScheduleSort::RowOfSerial(std::uint64_t serial) const {
    int row = FRows->RowOfSerial(serial);
    return row < 0 ? -1 : mapFromSource(FRows->index(row, 0)).row();
}

std::string TScheduleSort::Text(int row, int col) const {
    return FRows->Text(mapToSource(index(row, col)).row(), col);
}

void TScheduleSort::sort(int column, Qt::SortOrder order) {
    // Each row's key is read once, not at each of the sort's comparisons.
    FKeys.clear();
    if (column >= 0 && column < TScheduleModel::ColCount) {
        FKeys.reserve(static_cast<std::size_t>(FRows->rowCount()));
        for (int row = 0; row < FRows->rowCount(); ++row)
            FKeys.push_back(FRows->index(row, column).data(sortRole()));
    }
    QSortFilterProxyModel::sort(column, order);
    FKeys.clear();
}

QVariant TScheduleSort::KeyOf(const QModelIndex& source) const {
    auto row = static_cast<std::size_t>(source.row());
    return row < FKeys.size() ? FKeys[row] : source.data(sortRole());
}

bool TScheduleSort::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // Qt sorts descending as "right before left", so each rule is written for the
    // direction at hand; a tie answers false both ways and keeps the previous order.
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    const QVariant a = KeyOf(left), b = KeyOf(right);
    if (left.column() < TScheduleModel::FieldColCount) {
        const QByteArray x = a.toByteArray(), y = b.toByteArray();
        if (ascending) // char_traits<char> compares as unsigned char, a prefix first
            return std::string_view(x.constData(), static_cast<std::size_t>(x.size())) <
                   std::string_view(y.constData(), static_cast<std::size_t>(y.size()));
        return std::strcoll(x.constData(), y.constData()) < 0;
    }
    const bool hasA = a.isValid(), hasB = b.isValid();
    if (hasA && hasB)
        return a.toDouble() < b.toDouble();
    // A moment before none, in either direction.
    return ascending ? hasA && !hasB : hasB && !hasA;
}

} // namespace vantle
