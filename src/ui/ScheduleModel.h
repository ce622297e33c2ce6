// The schedule grid's rows as a live table model over the schedule list: one row per
// entry in list order, formatted when it is read, following the list's change notices.
#pragma once

#include "platform/DateTime.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

class TClock;
class TRunHistory;
class TSchedList;
struct TFormatSettings;
struct TListChange;

class TScheduleModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColCount = 9;
    static constexpr int FieldColCount = 6; // Name to WeekDays: sorted as text
    enum : int { colNextRun = 6, colLastRun = 7, colResult = 8 };
    /// The entry's serial (qulonglong); nothing on the blank row of an empty list.
    static constexpr int SerialRole = Qt::UserRole + 1;
    /// What a sort compares: a field column's bytes (QByteArray); a run column's local
    /// moment (double), nothing when the cell shows none ("never", "at start-up" or empty).
    static constexpr int SortRole = Qt::UserRole + 2;

    explicit TScheduleModel(QObject* parent = nullptr);
    /// Leaves the list's notices: an attached list must still be alive.
    ~TScheduleModel() override;

    /// Shows `list` and follows its changes until Detach; the list, the history, the
    /// clock and the settings must outlive the attachment.
    void Attach(TSchedList& list, const TRunHistory& history, const TClock& clock,
                const TFormatSettings& settings);
    /// Shows no list: the one blank row.
    void Detach();
    TSchedList* List() const { return FList; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Every cell anew: the clock moved on, and the entries may have too.
    void RefreshAll();
    /// Next Run, Last Run and Result of every row anew (after a cycle).
    void RefreshRunColumns();
    /// Last Run and Result of the entries named `name` (after a run event).
    void ShowRunsOf(const std::string& name);

    /// The serial of the entry row `row` shows; nothing for the blank row.
    std::optional<std::uint64_t> SerialOf(int row) const;
    /// The row that shows the entry, or -1.
    int RowOfSerial(std::uint64_t serial) const;
    /// The cell's text as bytes.
    std::string Text(int row, int col) const;

signals:
    /// The list changed (an entry added, removed, changed, or the file reloaded), after
    /// the rows followed.
    void EntriesChanged();

private:
    struct TNextRun {
        bool Known = false;              // computed since the last refresh
        std::optional<TDateTime> Moment; // none: never due
    };
    /// A change already made to the list, its rows not yet moved.
    struct TPending {
        bool Inserted;
        std::int32_t Index;
    };

    void ListChanged(const TListChange& change);
    /// The list position of the entry row `row` shows, -1 when none: the blank row, or
    /// the row of an entry already gone while its removal is told.
    std::int32_t IndexOfRow(int row) const;
    const TNextRun& NextRunOf(std::int32_t index) const;
    std::optional<TDateTime> MomentOf(std::int32_t index, int col) const;
    std::string FormatMoment(TDateTime moment) const;
    void ChangedRows(int first, int last, int firstCol, int lastCol);

    TSchedList* FList = nullptr;
    const TRunHistory* FHistory = nullptr;
    const TClock* FClock = nullptr;
    const TFormatSettings* FSettings = nullptr;
    // The serials of the rows as the views know them; they move with the notices, so
    // the views are answered consistently while a change is told.
    std::vector<std::uint64_t> FSerials;
    mutable std::vector<TNextRun> FNextRuns; // by list position: the due search is costly
    std::optional<TPending> FPending;
};

} // namespace vantle
