#include "ui/RunListModel.h"
#include "engine/RunTexts.h"

#include "platform/TextUtils.h"
#include "ui/Colours.h"
#include "ui/MomentText.h"
#include "ui/TextBytes.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace vantle {

namespace {

const char* const HeaderTexts[TRunListModel::ColCount] = {"Start", "Entry", "How started", "Result",
                                                          "Duration"};

bool HoldsNoCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }) != text.end();
}

// What a row shows, or what decides whether the output is worth reading again.
bool SameRecord(const TStoredRun& a, const TStoredRun& b) {
    return a.Name == b.Name && a.Trigger == b.Trigger && a.Started == b.Started &&
           a.Ended == b.Ended && a.DurationMs == b.DurationMs && a.Result == b.Result &&
           a.Failure == b.Failure && a.OutputBytes == b.OutputBytes && a.OutputCut == b.OutputCut;
}

// The run `id` in `runs`, which are ordered newest (highest id) first.
std::vector<TStoredRun>::const_iterator FindId(const std::vector<TStoredRun>& runs,
                                               std::int64_t id) {
    auto found =
        std::lower_bound(runs.begin(), runs.end(), id,
                         [](const TStoredRun& run, std::int64_t key) { return run.Id > key; });
    return found != runs.end() && found->Id == id ? found : runs.end();
}

bool HoldsId(const std::vector<TStoredRun>& runs, std::int64_t id) {
    return FindId(runs, id) != runs.end();
}

} // namespace

TRunListModel::TRunListModel(const TRunStore& store, const TFormatSettings& settings,
                             QObject* parent)
    : QAbstractTableModel(parent), FStore(store), FSettings(settings) {}

void TRunListModel::SetQuery(const TRunQuery& query) {
    if (query.Text != FQuery.Text)
        FOutputHits.clear();
    FQuery.Name = query.Name;
    FQuery.FailuresOnly = query.FailuresOnly;
    FQuery.Since = query.Since;
    FQuery.Text = query.Text;
    FQuery.Count = query.Count;
    FQuery.OutputMatches = [this](const TStoredRun& run) { return OutputHolds(run); };
    std::vector<TStoredRun> runs = ReadRuns();
    beginResetModel();
    FRuns = std::move(runs);
    endResetModel();
}

std::vector<TStoredRun> TRunListModel::ReadRuns() {
    std::vector<TStoredRun> runs = FStore.Runs(FQuery);
    std::reverse(runs.begin(), runs.end());
    return runs;
}

bool TRunListModel::OutputHolds(const TStoredRun& run) {
    const bool finished = !run.Result.empty();
    if (finished) {
        auto hit = FOutputHits.find(run.Id);
        if (hit != FOutputHits.end())
            return hit->second;
    }
    const bool holds = HoldsNoCase(FStore.ReadOutput(run.Id), FQuery.Text);
    if (finished)
        FOutputHits[run.Id] = holds;
    return holds;
}

bool TRunListModel::Reload() {
    std::vector<TStoredRun> runs = ReadRuns();
    // The runs gone (pruned, or no longer matching), in ranges from the bottom up.
    for (int row = static_cast<int>(FRuns.size()) - 1; row >= 0; --row) {
        if (HoldsId(runs, RunAt(row).Id))
            continue;
        const int last = row;
        while (row > 0 && !HoldsId(runs, RunAt(row - 1).Id))
            --row;
        beginRemoveRows({}, row, last);
        FRuns.erase(FRuns.begin() + row, FRuns.begin() + last + 1);
        endRemoveRows();
    }
    // What is left is in order among the new runs: insert those between, change the rest.
    bool added = false;
    std::size_t row = 0;
    for (std::size_t at = 0; at < runs.size();) {
        if (row < FRuns.size() && FRuns[row].Id == runs[at].Id) {
            if (!SameRecord(FRuns[row], runs[at])) {
                FRuns[row] = std::move(runs[at]);
                const int changed = static_cast<int>(row);
                emit dataChanged(index(changed, 0), index(changed, ColCount - 1));
            }
            ++row;
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < runs.size() && (row >= FRuns.size() || runs[end].Id != FRuns[row].Id))
            ++end;
        const int first = static_cast<int>(row);
        beginInsertRows({}, first, first + static_cast<int>(end - at) - 1);
        FRuns.insert(FRuns.begin() + first, std::make_move_iterator(runs.begin() + at),
                     std::make_move_iterator(runs.begin() + end));
        endInsertRows();
        row += end - at;
        at = end;
        added = true;
    }
    return added;
}

int TRunListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRuns.size());
}

int TRunListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColCount;
}

std::string TRunListModel::Text(int row, int col) const {
    const TStoredRun& run = RunAt(row);
    switch (col) {
    case colStart:
        // To the second: runs of one minute (Execute Now twice, a catch-up beside its
        // entry's own minute) are told apart, and the start reads as the log stamps it.
        return MomentText(run.Started, FSettings, TMomentDetail::Second);
    case colEntry:
        return run.Name;
    case colTrigger:
        return ShownTrigger(run);
    case colResult:
        return ShownResult(run);
    case colDuration:
        return ShownDuration(run);
    default:
        return {};
    }
}

QVariant TRunListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return TextOfBytes(Text(index.row(), index.column()));
    case IdRole:
        return QVariant(qlonglong{RunAt(index.row()).Id});
    case Qt::ForegroundRole:
        // The whole row, so a failure stands out in a long list.
        if (RunAt(index.row()).Failure)
            return ErrorColour();
        return {};
    default:
        return {};
    }
}

QVariant TRunListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColCount)
        return {};
    return QString::fromUtf8(HeaderTexts[section]);
}

Qt::ItemFlags TRunListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

int TRunListModel::RowOf(std::int64_t id) const {
    auto found = FindId(FRuns, id);
    return found != FRuns.end() ? static_cast<int>(found - FRuns.begin()) : -1;
}

} // namespace vantle
