// The main window, a view over the scheduler core: the grid of entries, the menu of
// commands, the status bar. The core's run loop ticks through Timer1.
#pragma once

#include "engine/SchedulerCore.h"
#include "ui/CycleTimer.h"
#include "ui/MainMenu.h"
#include "ui/MainServices.h"
#include "ui/ScheduleGrid.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;

namespace vantle {

class TEntryEditor;
class TfmAbout;
class TfmEntry;
class TfmImportCrontab;
class TSideWindows;
class TStatusPanels;

/// The tray, the options menu and the settings reach the parts they share through the
/// accessors below; the object names are for tests.
class TfmSchedMain : public QMainWindow {
    Q_OBJECT
public:
    /// `argumentCount`: the arguments as the user gave them; any switches the scheduler on.
    TfmSchedMain(int argumentCount, TSchedMainServices services, QWidget* parent = nullptr);
    ~TfmSchedMain() override;

    // Window events. FormDestroy switches the scheduler off (logged) and is idempotent.
    void FormCreate();
    void FormActivate();
    void FormCloseQuery(bool& canClose);
    void FormDestroy();
    /// One tick of the run loop, its outcome shown.
    void Timer1Timer();
    /// At logout: the close question when the session manager lets us ask; whether the
    /// session may end.
    bool AnswerLogout(bool mayAsk);

    // Commands. Run1Click runs after the menu inverted the check mark; sgScheduleListClick
    // is Modify, also the grid's double click.
    void Run1Click();
    void Save1Click();
    void Exit1Click();
    void Refresh1Click();
    void ResetLog1Click();
    /// The user's crontab (or a file) as entries, added as unsaved changes on Ok.
    void ImportCrontab1Click();
    void mnAddClick();
    void sgScheduleListClick();
    void Delete1Click();
    void ExecuteNow1Click();
    void Duplicate1Click();
    void LogFile1Click();
    void UpcomingRuns1Click();
    void RunHistory1Click();
    void About1Click();
    /// Run History at the run `record` (a notification's click).
    void ShowRun(std::int64_t record);

    /// Every row anew in list order, the selection on its entry.
    void FillGrid();
    /// Next Run, Last Run and Result of every row, and the upcoming runs, anew.
    void UpdateRunColumns();
    std::optional<std::uint64_t> SelectedEntry() const;

    /// From FormCreate to FormDestroy, else null.
    vantle::TSchedList* SchedList() const { return FCore ? &FCore->List() : nullptr; }
    vantle::TScheduler* Scheduler() const { return FCore ? &FCore->Scheduler() : nullptr; }
    vantle::TRunLoop* Loop() const { return FCore ? &FCore->Loop() : nullptr; }

    /// File > Run (checkable), View > Upcoming Runs, File > Exit, the Help menu (menus
    /// go before it) and the grid.
    QAction* RunAction() const { return FMenu.Run1; }
    QAction* UpcomingRunsAction() const { return FMenu.UpcomingRuns1; }
    QAction* ExitAction() const { return FMenu.Exit1; }
    QMenu* HelpMenu() const { return FMenu.Help1; }
    TScheduleGrid& Grid() { return *sgScheduleList; }
    const TScheduleGrid& Grid() const { return *sgScheduleList; }
    /// The regional settings every window writes its moments in.
    const vantle::TFormatSettings& FormatSettings() const {
        return *FServices.Scheduler.FormatSettings;
    }

signals:
    /// The window has agreed to close; the program ends.
    void Closed();
    /// A cycle is over and shown, also one that raised (after its error was reported).
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
    /// The bar above the grid shows while the scheduler is off.
    void UpdateOffBar();
    void UpdateSaveItem();
    /// Says once per change on disk that the unsaved edits were kept over it.
    void ReportKeptChange();
    void ModifyEntry(std::uint64_t serial);
    void RefreshUpcoming();
    // Never null: CompleteServices made the system's where none was given.
    const vantle::TClock& Clock() const { return *FServices.Scheduler.Clock; }

    TMainMenu FMenu;
    QFrame* Bevel1 = nullptr; // the sunken line between the menu and the grid
    QFrame* pnOff = nullptr;  // "The scheduler is off: nothing runs", with its button
    QLabel* lbOff = nullptr;
    QPushButton* btnSwitchOn = nullptr;
    TScheduleGrid* sgScheduleList = nullptr;
    std::unique_ptr<TStatusPanels> FStatus; // StatusBar1: the last refresh, the state
    TCycleTimer* Timer1 = nullptr;          // the run loop's wakes
    TfmEntry* FEntry = nullptr;             // the modal dialogs, made once and reused
    TfmAbout* FAbout = nullptr;
    TfmImportCrontab* FImport = nullptr;   // made at its first use
    std::unique_ptr<TEntryEditor> FEditor; // add, modify, delete, duplicate through FEntry
    TSideWindows* FSide = nullptr;         // upcoming runs, run history and the log
    std::unique_ptr<vantle::TSchedulerCore> FCore;
    bool FFirstActivate = false; // from FormCreate until the first activation
    int FArgumentCount;
    TSchedMainServices FServices;
};

} // namespace vantle
