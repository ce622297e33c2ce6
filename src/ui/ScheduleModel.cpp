#include "ui/ScheduleModel.h"

#include "engine/RunHistory.h"
#include "platform/Clock.h"
#include "platform/FormatSettings.h"
#include "sched/LenientFields.h"
#include "sched/NextDue.h"
#include "sched/SchedList.h"
#include "ui/Colours.h"
#include "ui/MomentText.h"
#include "ui/TextBytes.h"

#include <QApplication>
#include <QByteArray>
#include <QStyle>

#include <algorithm>

namespace vantle {

namespace {

const char* const HeaderTexts[TScheduleModel::ColCount] = {
    "Name", "Minutes", "Hours", "Days", "Months", "WeekDays", "Next Run", "Last Run", "Result"};

} // namespace

TScheduleModel::TScheduleModel(QObject* parent) : QAbstractTableModel(parent) {}

TScheduleModel::~TScheduleModel() {
    if (FList != nullptr)
        FList->SetOnChange(nullptr);
}

void TScheduleModel::Attach(TSchedList& list, const TRunHistory& history, const TClock& clock,
                            const TFormatSettings& settings) {
    beginResetModel();
    if (FList != nullptr && FList != &list)
        FList->SetOnChange(nullptr);
    FList = &list;
    FHistory = &history;
    FClock = &clock;
    FSettings = &settings;
    TSchedListLock lock(list);
    FSerials.clear();
    for (std::int32_t i = 0; i < list.Count(); ++i)
        FSerials.push_back(list.SerialOf(i));
    FNextRuns.assign(FSerials.size(), {});
    list.SetOnChange([this](const TListChange& change) {
        ListChanged(change);
        emit EntriesChanged();
    });
    endResetModel();
}

void TScheduleModel::Detach() {
    if (FList == nullptr)
        return;
    beginResetModel();
    FList->SetOnChange(nullptr);
    FList = nullptr;
    FSerials.clear();
    FNextRuns.clear();
    endResetModel();
}

void TScheduleModel::ListChanged(const TListChange& change) {
    // The list has changed already: the cache follows it at once, the rows the views
    // know move between the begin and end calls.
    const int index = change.Index;
    switch (change.Kind) {
    case TListChange::Inserted:
        FNextRuns.insert(FNextRuns.begin() + index, TNextRun{});
        if (FSerials.empty()) { // takes the blank row's place
            FSerials.push_back(FList->SerialOf(index));
            ChangedRows(0, 0, 0, ColCount - 1);
            return;
        }
        FPending = TPending{true, index};
        beginInsertRows({}, index, index);
        FSerials.insert(FSerials.begin() + index, FList->SerialOf(index));
        FPending.reset();
        endInsertRows();
        return;
    case TListChange::Removed:
        FNextRuns.erase(FNextRuns.begin() + index);
        if (FSerials.size() == 1) { // leaves the blank row behind
            FSerials.clear();
            ChangedRows(0, 0, 0, ColCount - 1);
            return;
        }
        FPending = TPending{false, index};
        beginRemoveRows({}, index, index);
        FSerials.erase(FSerials.begin() + index);
        FPending.reset();
        endRemoveRows();
        return;
    case TListChange::Updated:
        FNextRuns[static_cast<std::size_t>(index)] = {};
        ChangedRows(index, index, 0, ColCount - 1);
        return;
    case TListChange::Reloaded: {
        beginResetModel();
        FSerials.clear();
        for (std::int32_t i = 0; i < FList->Count(); ++i)
            FSerials.push_back(FList->SerialOf(i));
        FNextRuns.assign(FSerials.size(), {});
        endResetModel();
        return;
    }
    }
}

int TScheduleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(static_cast<int>(FSerials.size()), 1);
}

int TScheduleModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColCount;
}

std::int32_t TScheduleModel::IndexOfRow(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= FSerials.size())
        return -1;
    if (!FPending || row < FPending->Index)
        return row;
    if (FPending->Inserted)
        return row + 1;
    return row == FPending->Index ? -1 : row - 1;
}

std::optional<std::uint64_t> TScheduleModel::SerialOf(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= FSerials.size())
        return std::nullopt;
    return FSerials[static_cast<std::size_t>(row)];
}

int TScheduleModel::RowOfSerial(std::uint64_t serial) const {
    auto found = std::find(FSerials.begin(), FSerials.end(), serial);
    return found == FSerials.end() ? -1 : static_cast<int>(found - FSerials.begin());
}

const TScheduleModel::TNextRun& TScheduleModel::NextRunOf(std::int32_t index) const {
    TNextRun& next = FNextRuns[static_cast<std::size_t>(index)];
    if (!next.Known) {
        // In the repeated autumn hour the instant says which reading the clock is in.
        const TDateTime now = FClock->Now();
        const std::timespec instant = FClock->UtcNow();
        std::vector<TDueRun> runs =
            TDueFinder(FList->Items(index)).Runs(now, 1, IsSecondReading(now, instant));
        next.Moment = runs.empty() ? std::nullopt : std::optional<TDateTime>(runs[0].Moment);
        next.Known = true;
    }
    return next;
}

std::optional<TDateTime> TScheduleModel::MomentOf(std::int32_t index, int col) const {
    const TSchedule& entry = FList->Items(index);
    if (col == colNextRun)
        return entry.Active ? NextRunOf(index).Moment : std::nullopt;
    const TRunRecord* record = FHistory->Find(entry.Name);
    if (record == nullptr)
        return std::nullopt;
    if (col == colLastRun)
        return record->LastRun;
    // A result without a moment sorts with the empty cells.
    return record->Result.empty() ? std::nullopt : record->ResultMoment;
}

std::string TScheduleModel::FormatMoment(TDateTime moment) const {
    return MomentText(moment, *FSettings);
}

std::string TScheduleModel::Text(int row, int col) const {
    std::int32_t index = IndexOfRow(row);
    if (index < 0)
        return {};
    const TSchedule& entry = FList->Items(index);
    switch (col) {
    case 0:
        return entry.Active ? entry.Name : "**" + entry.Name;
    case 1:
        return entry.Minutes;
    case 2:
        return entry.Hours;
    case 3:
        return entry.Days;
    case 4:
        return entry.Months;
    case 5:
        return entry.WeekDays;
    case colNextRun:
        if (!entry.Active)
            return {};
        if (const TNextRun& next = NextRunOf(index); next.Moment)
            return FormatMoment(*next.Moment);
        return entry.AtStart ? "at start-up" : "never";
    case colLastRun:
        if (std::optional<TDateTime> moment = MomentOf(index, col))
            return FormatMoment(*moment);
        return {};
    case colResult: {
        const TRunRecord* record = FHistory->Find(entry.Name);
        return record != nullptr ? record->Result : std::string();
    }
    default:
        return {};
    }
}

QVariant TScheduleModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return TextOfBytes(Text(index.row(), index.column()));
    case SerialRole:
        if (std::optional<std::uint64_t> serial = SerialOf(index.row()))
            return QVariant(qulonglong{*serial});
        return {};
    case SortRole: {
        std::int32_t entry = IndexOfRow(index.row());
        if (index.column() < FieldColCount) {
            std::string text = Text(index.row(), index.column());
            return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
        }
        if (entry < 0)
            return {};
        if (std::optional<TDateTime> moment = MomentOf(entry, index.column()))
            return *moment;
        return {};
    }
    case Qt::ToolTipRole:
    case Qt::DecorationRole: {
        // What a time field written by hand reads as, where the next run is shown.
        std::int32_t entry = IndexOfRow(index.row());
        if (index.column() != colNextRun || entry < 0)
            return {};
        std::vector<TLenientField> fields = LenientFields(FList->Items(entry));
        if (fields.empty())
            return {};
        if (role == Qt::DecorationRole)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        QString tip;
        for (const TLenientField& field : fields)
            tip += TextOfBytes(LenientFieldText(field)) + '\n';
        return tip + QStringLiteral("(vantle-schedctl fmt --convert writes the stored form)");
    }
    case Qt::ForegroundRole: {
        std::int32_t entry = IndexOfRow(index.row());
        if (index.column() != colResult || entry < 0)
            return {};
        const TRunRecord* record = FHistory->Find(FList->Items(entry).Name);
        if (record != nullptr && record->Error)
            return ErrorColour();
        return {};
    }
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
    if (!index.isValid() || !SerialOf(index.row()))
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void TScheduleModel::ChangedRows(int first, int last, int firstCol, int lastCol) {
    emit dataChanged(index(first, firstCol), index(last, lastCol));
}

void TScheduleModel::RefreshAll() {
    std::fill(FNextRuns.begin(), FNextRuns.end(), TNextRun{});
    ChangedRows(0, rowCount() - 1, 0, ColCount - 1);
}

void TScheduleModel::RefreshRunColumns() {
    std::fill(FNextRuns.begin(), FNextRuns.end(), TNextRun{});
    ChangedRows(0, rowCount() - 1, colNextRun, colResult);
}

void TScheduleModel::ShowRunsOf(const std::string& name) {
    if (FList == nullptr)
        return;
    TSchedListLock lock(*FList);
    for (std::int32_t i = 0; i < FList->Count() && i < rowCount(); ++i)
        if (FList->Items(i).Name == name)
            ChangedRows(i, i, colLastRun, colResult);
}

} // namespace vantle
