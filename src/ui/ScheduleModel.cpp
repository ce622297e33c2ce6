#include "ui/ScheduleModel.h"

#include "ui/TextBytes.h"

#include <QColor>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <numeric>

namespace vantle {

namespace {

const char* const HeaderTexts[TScheduleModel::ColCount] = {
    "Name", "Minutes", "Hours", "Days", "Months", "WeekDays", "Next Run", "Last Run", "Result"};

int Sign(int value) {
    return (value > 0) - (value < 0);
}

QColor ErrorColour() {
    // Qt's palette has no role for errors; this red reads on light and dark bases alike.
    return QColor(0xd0, 0x20, 0x20);
}

TGridRow BlankRow() {
    return {};
}

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

TScheduleModel::TScheduleModel(QObject* parent) : QAbstractTableModel(parent) {
    FRows.push_back(BlankRow());
}

int TScheduleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int TScheduleModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColCount;
}

QVariant TScheduleModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count())
        return {};
    const TGridRow& row = Row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return TextOfBytes(row.Texts[static_cast<std::size_t>(index.column())]);
    case SerialRole:
        return row.Serial ? QVariant(qulonglong{*row.Serial}) : QVariant();
    case Qt::ForegroundRole:
        if (index.column() == colResult && row.ResultError)
            return ErrorColour();
        return {};
    default:
        return {};
    }
}

QVariant TScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColCount)
        return {};
    return QString::fromUtf8(HeaderTexts[section]);
}

Qt::ItemFlags TScheduleModel::flags(const QModelIndex& index) const {
    // No editing; the blank row of an empty list cannot be selected.
    if (!index.isValid() || !Row(index.row()).Serial)
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void TScheduleModel::SetRows(std::vector<TGridRow> rows) {
    beginResetModel();
    FRows = std::move(rows);
    if (FRows.empty())
        FRows.push_back(BlankRow());
    endResetModel();
}

void TScheduleModel::SetRow(int row, TGridRow value) {
    FRows.at(static_cast<std::size_t>(row)) = std::move(value);
    emit dataChanged(index(row, 0), index(row, ColCount - 1));
}

void TScheduleModel::UpdateRows(const std::function<void(TGridRow&)>& update) {
    for (TGridRow& row : FRows)
        update(row);
    emit dataChanged(index(0, 0), index(Count() - 1, ColCount - 1));
}

void TScheduleModel::AppendRow(TGridRow value) {
    if (Count() == 1 && !FRows.front().Serial) {
        SetRow(0, std::move(value));
        return;
    }
    beginInsertRows({}, Count(), Count());
    FRows.push_back(std::move(value));
    endInsertRows();
}

void TScheduleModel::RemoveRow(int row) {
    if (Count() == 1) {
        SetRow(0, BlankRow());
        return;
    }
    beginRemoveRows({}, row, row);
    FRows.erase(FRows.begin() + row);
    endRemoveRows();
}

int TScheduleModel::RowOfSerial(std::uint64_t serial) const {
    for (int row = 0; row < Count(); ++row)
        if (Row(row).Serial == serial)
            return row;
    return -1;
}

std::string TScheduleModel::Text(int row, int col) const {
    return Row(row).Texts.at(static_cast<std::size_t>(col));
}

void TScheduleModel::Sort(int col, bool ascending) {
    std::vector<std::int32_t> order(FRows.size());
    std::iota(order.begin(), order.end(), 0);
    if (col < FieldColCount) {
        std::vector<TGridSortInfo> infos;
        infos.reserve(FRows.size());
        for (std::size_t i = 0; i < FRows.size(); ++i)
            infos.push_back(
                {FRows[i].Texts[static_cast<std::size_t>(col)], static_cast<std::int32_t>(i)});
        auto compare = ascending ? CompareAscending : CompareDescending;
        std::sort(infos.begin(), infos.end(),
                  [compare](const auto& a, const auto& b) { return compare(a, b) < 0; });
        for (std::size_t i = 0; i < infos.size(); ++i)
            order[i] = infos[i].RowIndex;
    } else {
        std::size_t which = static_cast<std::size_t>(col - FieldColCount);
        auto key = [&](std::int32_t i) {
            return FRows[static_cast<std::size_t>(i)].Moments[which];
        };
        std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
            double x = key(a), y = key(b);
            if (x >= TGridRow::Never || y >= TGridRow::Never)
                return x < y; // never and empty last, in both directions
            return ascending ? x < y : x > y;
        });
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<TGridRow> sorted;
    sorted.reserve(FRows.size());
    std::vector<int> newPlace(FRows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(FRows[static_cast<std::size_t>(order[i])]));
        newPlace[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
    }
    FRows = std::move(sorted);
    QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from)
        to.append(index(newPlace[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace vantle
