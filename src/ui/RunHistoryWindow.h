// The run history window: every recorded run, newest first, filtered by entry, by failure
// or by a text in the name or output, with the selected run's output below.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace vantle {

class TRunListModel;
class TRunStore;
struct TFormatSettings;

class TfmRunHistory : public QDialog {
    Q_OBJECT
public:
    /// How long the search waits after the last keystroke before it reads the outputs.
    static constexpr int SearchPauseMs = 300;

    /// Shows `store`'s runs, read on the window's thread, their starts in `settings`' date
    /// and time; the store and the settings must outlive the window.
    TfmRunHistory(const TRunStore& store, const TFormatSettings& settings,
                  QWidget* parent = nullptr);

    /// Reads the runs again with the filters as they are; the selected run stays selected,
    /// and while no new run comes the list does not move.
    void Refresh();
    /// Selects the run and shows its output, clearing the filters that hide it; nothing
    /// when it is no longer on record.
    void ShowRun(std::int64_t id);
    /// The selected run's id.
    std::optional<std::int64_t> SelectedRun() const;

signals:
    void EntryDoubleClicked(const std::string& name);
    /// The user asks to stop a run that is still running.
    void StopRequested(std::int64_t id);

protected:
    void showEvent(QShowEvent* event) override; // reads what came while hidden

private:
    void Reload();
    void ApplyFilters();
    void FillEntries();
    void SelectRun(std::optional<std::int64_t> id);
    int SelectedRow() const;
    void SelectionChanged();
    void ShowOutput(bool keepPlace);
    void ShowDetails(int row);
    void ShowCount();

    const TRunStore& FStore;
    TRunListModel* FModel;
    QTimer* FSearchTimer;
    std::optional<std::int64_t> FShownRun; // whose output the pane shows
    bool FShownOpen = false;               // and whether that run was still running
    bool FStale = false;                   // runs came while the window was hidden

    // Controls, found by their object names in tests.
    QComboBox* cbEntry = nullptr;
    QCheckBox* cbFailuresOnly = nullptr;
    QLineEdit* edSearch = nullptr;
    QTableView* lvRuns = nullptr;
    QLabel* lbDetails = nullptr; // what the run's record says beside the list: its environment
    QPlainTextEdit* memOutput = nullptr;
    QLabel* lbCount = nullptr;
    QPushButton* btnStopRun = nullptr;
};

} // namespace vantle
