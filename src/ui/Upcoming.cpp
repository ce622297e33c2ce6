#include "ui/Upcoming.h"

#include "engine/CatchUp.h"
#include "sched/NextDue.h"
#include "sched/SchedList.h"
#include "ui/ListView.h"
#include "ui/MomentText.h"
#include "ui/TextBytes.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vantle {

namespace {

constexpr int SerialRole = Qt::UserRole + 1;

} // namespace

TfmUpcoming::TfmUpcoming(const TFormatSettings& settings, QWidget* parent)
    : QDialog(parent), FSettings(settings) {
    setObjectName(QStringLiteral("fmUpcoming"));
    setWindowTitle(QStringLiteral("Upcoming Runs"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    lvRuns = new QTableWidget(0, 3, this);
    lvRuns->setObjectName(QStringLiteral("lvRuns"));
    lvRuns->setHorizontalHeaderLabels(
        {QStringLiteral("Time"), QStringLiteral("Name"), QStringLiteral("Command")});
    ShowAsList(*lvRuns);
    lvRuns->setColumnWidth(0, std::max(130, MomentColumnWidth(*lvRuns, settings)));
    lvRuns->setColumnWidth(1, 180);
    layout->addWidget(lvRuns);
    lbCount = new QLabel(this);
    lbCount->setObjectName(QStringLiteral("lbCount"));
    layout->addWidget(lbCount);
    connect(lvRuns, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { emit EntryDoubleClicked(SerialOfRow(row)); });
    resize(620, 420);
}

void TfmUpcoming::SetRows(const std::vector<TRow>& rows) {
    int selected = lvRuns->currentRow();
    lvRuns->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const TRow& run = rows[static_cast<std::size_t>(row)];
        const std::string* texts[3] = {&run.Moment, &run.Name, &run.Command};
        for (int col = 0; col < 3; ++col) {
            auto* item = new QTableWidgetItem(TextOfBytes(*texts[col]));
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            if (col == 0)
                item->setData(SerialRole, qulonglong{run.Serial});
            lvRuns->setItem(row, col, item);
        }
    }
    if (selected >= 0 && selected < lvRuns->rowCount())
        lvRuns->selectRow(selected);
    lbCount->setText(
        rows.size() >= static_cast<std::size_t>(MaxRows)
            ? QStringLiteral("The first %1 runs of the next %2 days").arg(MaxRows).arg(Days)
            : QStringLiteral("%1 runs in the next %2 days").arg(rows.size()).arg(Days));
}

void TfmUpcoming::ShowRunsOf(TSchedList& list, TDateTime now,
                             std::optional<std::int64_t> latestTested,
                             const std::vector<TPendingRetry>& retries,
                             const std::vector<TWaitingRun>& waiting) {
    if (!isVisible())
        return;
    TSchedListLock lock(list);
    const std::vector<const TSchedule*> entries = list.Entries();
    std::vector<TRow> rows;
    // Minutes missed while the scheduler was off: run once as soon as it is on again.
    for (const TPendingCatchUp& pending : PendingCatchUps(entries, latestTested, now)) {
        const TSchedule& entry = *entries[pending.Index];
        rows.push_back({"When switched on (missed " +
                            MomentText(MomentOfMinute(pending.Missed), FSettings) + ")",
                        entry.Name, entry.Command,
                        list.SerialOf(static_cast<std::int32_t>(pending.Index))});
    }
    // Due runs held back until their entry's conditions are met: they start at the first
    // cycle that finds them met. A cycle drops those of entries gone or switched off.
    for (const TWaitingRun& run : waiting)
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i]->Active && entries[i]->Name == run.Name)
                rows.push_back({"Waiting: " + run.Reason + " (due " +
                                    MomentText(MomentOfMinute(run.Since), FSettings) + ")",
                                entries[i]->Name, entries[i]->Command,
                                list.SerialOf(static_cast<std::int32_t>(i))});
    // Failed runs waiting for their next try, while the entry is as it was.
    for (const TPendingRetry& retry : retries)
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (RetryApplies(retry, *entries[i]))
                rows.push_back({MomentText(MomentOfMinute(retry.Due), FSettings) + " (retry, " +
                                    "attempt " + std::to_string(retry.Attempt.Number) + " of " +
                                    std::to_string(retry.Attempt.Of) + ")",
                                entries[i]->Name, entries[i]->Command,
                                list.SerialOf(static_cast<std::int32_t>(i))});
    // From the next minute: this minute's cycle has run, or runs within seconds.
    TDateTime first = IncMinutes(now, 1);
    for (const TUpcomingRun& run : UpcomingRuns(entries, first, first + Days, MaxRows)) {
        const TSchedule& entry = *entries[run.Index];
        std::string when = MomentText(run.Moment, FSettings);
        if (run.Again) { // the second reading of a repeated hour, told apart by its offset
            when += ' ';
            when += UtcOffsetText(UtcOffsetOf({run.Moment, run.Again, run.Instant}));
        }
        rows.push_back(
            {when, entry.Name, entry.Command, list.SerialOf(static_cast<std::int32_t>(run.Index))});
    }
    SetRows(rows);
}

std::uint64_t TfmUpcoming::SerialOfRow(int row) const {
    QTableWidgetItem* item = lvRuns->item(row, 0);
    return item != nullptr ? item->data(SerialRole).toULongLong() : 0;
}

} // namespace vantle
