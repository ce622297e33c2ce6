// The main window: owns the schedule list, the scheduler and its run loop, lists the
// entries and offers every command through its menu.
#pragma once

#include "engine/SchedulerCore.h"
#include "platform/ChildWatch.h"
#include "sched/SchedList.h"
#include "ui/CycleTimer.h"
#include "ui/MainMenu.h"
#include "ui/MainServices.h"
#include "ui/ScheduleGrid.h"
#include "ui/Upcoming.h"

#include <QMainWindow>
#include <QMessageBox>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QSessionManager;
class QStatusBar;

namespace vantle {

class TfmAbout;
class TEntryEditor;
class TfmEntry;
class TfmViewLog;
class TfmRunHistory;
class TStatusPanels;

/// The main window. Its widgets are its own: the tray, the options menu and the
/// settings reach the parts they share through the accessors below; the object names
/// are for tests.
class TfmSchedMain : public QMainWindow {
    Q_OBJECT
public:
    /// `argumentCount`: the command-line arguments as the user gave them; any switches
    /// the scheduler on.
    TfmSchedMain(int argumentCount, TSchedMainServices services, QWidget* parent = nullptr);
    ~TfmSchedMain() override;

    // Window events.
    void FormCreate();
    void FormActivate();
    void FormCloseQuery(bool& canClose);
    /// Releases the scheduler (which logs its switching off), then the list. Idempotent.
    void FormDestroy();
    /// One tick of the run loop: the cycle, the next tick armed whatever it raised, and
    /// its outcome shown.
    void Timer1Timer();
    /// The session manager asks at logout: the close question when it lets us ask.
    /// Returns whether the session may end.
    bool AnswerLogout(bool mayAsk);

    // Commands.
    /// The menu has already inverted the check mark when this runs.
    void Run1Click();
    void Save1Click();
    void Exit1Click();
    void Refresh1Click();
    void ResetLog1Click();
    void mnAddClick();
    /// The Modify command (Modify1, Ctrl+M), also the grid's double click: edits the
    /// selected entry in the entry dialog.
    void sgScheduleListClick();
    void Delete1Click();
    void ExecuteNow1Click();
    void Duplicate1Click();
    void LogFile1Click();
    void UpcomingRuns1Click();
    void RunHistory1Click();
    /// Opens Run History at the run `record` (from a notification).
    void ShowRun(std::int64_t record);
    void About1Click();

    // The grid.
    /// Shows every row anew, in list order; the selection stays on its entry.
    void FillGrid();
    /// Recomputes Next Run, Last Run and Result of every row, and the upcoming runs.
    void UpdateRunColumns();
    /// The serial of the entry in the current row, when that row holds one.
    std::optional<std::uint64_t> SelectedEntry() const;

    /// The schedule list and its scheduler: from FormCreate to FormDestroy, else null.
    vantle::TSchedList* SchedList() const { return FCore ? &FCore->List() : nullptr; }
    vantle::TScheduler* Scheduler() const { return FCore ? &FCore->Scheduler() : nullptr; }
    /// The run loop that drives the scheduler, with it.
    vantle::TRunLoop* Loop() const { return FCore ? &FCore->Loop() : nullptr; }

    /// The parts other windows share: File > Run (checkable), View > Upcoming Runs,
    /// File > Exit, the Help menu (menus go before it) and the grid.
    QAction* RunAction() const { return FMenu.Run1; }
    QAction* UpcomingRunsAction() const { return FMenu.UpcomingRuns1; }
    QAction* ExitAction() const { return FMenu.Exit1; }
    QMenu* HelpMenu() const { return FMenu.Help1; }
    TScheduleGrid& Grid() { return *sgScheduleList; }
    const TScheduleGrid& Grid() const { return *sgScheduleList; }

signals:
    /// The window has agreed to close; the program ends.
    void Closed();
    /// A tick's cycle is over and the window shows its outcome, also when it raised
    /// (after its error was reported).
    void CycleFinished();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenu();
    void CreateControls();
    void AfterCycle();
    void UpdateStatusBar();
    void UpdateSaveItem();
    /// Says once per change on disk that the tick kept the unsaved edits over it.
    void ReportKeptChange();
    /// Hands the entry dialog the entry of `serial` and takes the edit back.
    void ModifyEntry(std::uint64_t serial);
    const vantle::TClock& Clock() const;
    const vantle::TFormatSettings& FormatSettings() const;
    void ShowRunsOf(const std::string& name);
    void RefreshUpcoming();

    TMainMenu FMenu;
    // The client area.
    QFrame* Bevel1 = nullptr; // the sunken line between the menu and the grid
    TScheduleGrid* sgScheduleList = nullptr;
    std::unique_ptr<TStatusPanels> FStatus; // StatusBar1: the last refresh, the state
    TCycleTimer* Timer1 = nullptr;          // ticks five seconds past each minute
    // The secondary windows: the modal dialogs are made once and reused.
    TfmEntry* FEntry = nullptr;
    std::unique_ptr<TEntryEditor> FEditor; // add, modify, delete, duplicate through FEntry
    TfmAbout* FAbout = nullptr;
    TfmViewLog* FViewLog = nullptr;
    TfmUpcoming* FUpcoming = nullptr;     // created on first use; not modal
    TfmRunHistory* FRunHistory = nullptr; // created on first use; not modal

    std::unique_ptr<vantle::TSchedulerCore> FCore; // from FormCreate to FormDestroy
    bool FFirstActivate = false;                   // from FormCreate until the first activation
    int FArgumentCount;
    TSchedMainServices FServices;
};

} // namespace vantle
