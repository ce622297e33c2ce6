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

TScheduleSort::TKey TScheduleSort::KeyOf(const QModelIndex& source) const {
    QVariant key = source.data(sortRole());
    if (source.column() < TScheduleModel::FieldColCount)
        return {key.toByteArray(), std::nullopt};
    return {{}, key.isValid() ? std::optional<double>(key.toDouble()) : std::nullopt};
}

void TScheduleSort::sort(int column, Qt::SortOrder order) {
    // Each row's key is read once, not at each of the sort's comparisons.
    FKeys.clear();
    if (column >= 0 && column < TScheduleModel::ColCount) {
        FKeys.reserve(static_cast<std::size_t>(FRows->rowCount()));
        for (int row = 0; row < FRows->rowCount(); ++row)
            FKeys.push_back(KeyOf(FRows->index(row, column)));
    }
    QSortFilterProxyModel::sort(column, order);
    FKeys.clear();
}

bool TScheduleSort::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    auto rowOf = [](const QModelIndex& index) { return static_cast<std::size_t>(index.row()); };
    if (rowOf(left) < FKeys.size() && rowOf(right) < FKeys.size())
        return Less(FKeys[rowOf(left)], FKeys[rowOf(right)], left.column());
    return Less(KeyOf(left), KeyOf(right), left.column());
}

bool TScheduleSort::Less(const TKey& a, const TKey& b, int column) const {
    // Qt sorts descending as "right before left", so each rule is written for the
    // direction at hand; a tie answers false both ways and keeps the previous order.
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    if (column < TScheduleModel::FieldColCount) {
        if (ascending) // char_traits<char> compares as unsigned char, a prefix first
            return std::string_view(a.Text.constData(), static_cast<std::size_t>(a.Text.size())) <
                   std::string_view(b.Text.constData(), static_cast<std::size_t>(b.Text.size()));
        return std::strcoll(a.Text.constData(), b.Text.constData()) < 0;
    }
    if (a.Moment && b.Moment)
        return *a.Moment < *b.Moment;
    // A moment before none, in either direction.
    return ascending ? a.Moment && !b.Moment : b.Moment && !a.Moment;
}

} // namespace vantle
