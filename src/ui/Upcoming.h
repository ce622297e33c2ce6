// The upcoming-runs window: every run of the active entries in the next days, in time
// order, one line each; a double click opens the entry.
#pragma once

#include "engine/Retries.h"
#include "engine/WaitingRuns.h"

#include "platform/DateTime.h"

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QTableWidget;

namespace vantle {

class TSchedList;
struct TFormatSettings;

class TfmUpcoming : public QDialog {
    Q_OBJECT
public:
    static constexpr int Days = 7;
    static constexpr int MaxRows = 500;

    struct TRow {
        std::string Moment, Name, Command;
        std::uint64_t Serial = 0;
    };

    /// `settings` write the moments; they must outlive the window.
    explicit TfmUpcoming(const TFormatSettings& settings, QWidget* parent = nullptr);

    /// Replaces the lines, keeping the one the user had selected when it is still there.
    void SetRows(const std::vector<TRow>& rows);
    /// The runs of `list`'s active entries from the minute after `now`, after the
    /// catch-ups that switching on runs when the latest minute tested is `latestTested`,
    /// the `waiting` runs and the pending `retries`; nothing while the window is hidden.
    void ShowRunsOf(TSchedList& list, TDateTime now,
                    std::optional<std::int64_t> latestTested = std::nullopt,
                    const std::vector<TPendingRetry>& retries = {},
                    const std::vector<TWaitingRun>& waiting = {});
    std::uint64_t SerialOfRow(int row) const;

signals:
    void EntryDoubleClicked(std::uint64_t serial);

private:
    const TFormatSettings& FSettings;
    // Controls, found by their object names in tests.
    QTableWidget* lvRuns = nullptr;
    QLabel* lbCount = nullptr;
};

} // namespace vantle
