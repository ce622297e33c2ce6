// The order the schedule grid shows its rows in: list order, until a header click sorts
// them by the model's sort role under the grid's own rules.
#pragma once

#include "ui/ScheduleModel.h"

#include <QByteArray>
#include <QSortFilterProxyModel>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

/// Field columns ascending: bytes as unsigned codes; descending: the user's locale
/// collation (strcoll), reversed. Run columns by time, cells without a moment last in
/// either direction. Ties keep the order the rows had before the sort, so sorts stack.
/// The rows stay as they are until the next sort: an edit or a new entry does not move
/// them.
class TScheduleSort : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TScheduleSort(TScheduleModel* rows, QObject* parent = nullptr);

    TScheduleModel* Rows() const { return FRows; }
    /// Whether a sort shows the rows in an order of its own.
    bool Sorted() const { return sortColumn() >= 0; }
    /// List order again, as after a reload.
    void ShowListOrder();

    /// The serial of the entry shown in row `row`; nothing for the blank row.
    std::optional<std::uint64_t> SerialOf(int row) const;
    /// The row that shows the entry, or -1.
    int RowOfSerial(std::uint64_t serial) const;
    /// The cell's text as bytes.
    std::string Text(int row, int col) const;

    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    struct TKey {
        QByteArray Text;              // a field column's
        std::optional<double> Moment; // a run column's
    };
    TKey KeyOf(const QModelIndex& source) const;
    bool Less(const TKey& a, const TKey& b, int column) const;

    TScheduleModel* FRows;
    std::vector<TKey> FKeys; // by source row, while a sort runs
};

} // namespace vantle
