// The recorded runs as a table model, newest first: it reads the run store itself and,
// when read again, moves only the rows that changed, so a view keeps its place.
#pragma once

#include "engine/RunStore.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantle {

struct TFormatSettings;

class TRunListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColCount = 5;
    enum : int { colStart, colEntry, colTrigger, colResult, colDuration };
    /// The run's id (qlonglong).
    static constexpr int IdRole = Qt::UserRole + 1;

    /// `store` and `settings` must outlive the model; only the store's reading calls are
    /// used.
    TRunListModel(const TRunStore& store, const TFormatSettings& settings,
                  QObject* parent = nullptr);

    /// Shows the runs `query` gives (its name, failures-only and text filters; the model
    /// looks into the output for the text itself), all rows anew.
    void SetQuery(const TRunQuery& query);
    const TRunQuery& Query() const { return FQuery; }
    /// Reads the runs again with the same filters; rows are inserted, removed and changed
    /// in place. Whether any run came that was not shown before.
    bool Reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const TStoredRun& RunAt(int row) const { return FRuns[static_cast<std::size_t>(row)]; }
    /// The row showing the run, or -1.
    int RowOf(std::int64_t id) const;
    /// The cell's text as bytes.
    std::string Text(int row, int col) const;

private:
    std::vector<TStoredRun> ReadRuns();
    bool OutputHolds(const TStoredRun& run);

    const TRunStore& FStore;
    const TFormatSettings& FSettings;
    TRunQuery FQuery;
    std::vector<TStoredRun> FRuns; // newest first
    // Whether a finished run's output holds the query's text: that output no longer
    // changes, and reading a thousand files on every run event would not be cheap.
    std::unordered_map<std::int64_t, bool> FOutputHits;
};

} // namespace vantle
