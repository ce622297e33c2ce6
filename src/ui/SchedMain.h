// The main window: owns the schedule list and the scheduler, lists the entries, drives
// the scheduler from its timer and offers every command through its menu.
#pragma once

#include "engine/RunHistory.h"
#include "engine/Scheduler.h"
#include "platform/ChildWatch.h"
#include "sched/SchedList.h"
#include "ui/CycleTimer.h"
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
class QSocketNotifier;
class QStatusBar;

namespace vantle {

/// A question box: caption, text (lines broken by "\r\n"), buttons and default button;
/// returns the button chosen.
using TAskFunction = std::function<QMessageBox::StandardButton(
    QWidget* parent, const QString& caption, const QString& text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)>;
/// Shows a secondary window modally; 1 (QDialog::Accepted) means OK.
using TShowModalFunction = std::function<int(QDialog& dialog)>;

/// Everything the window reaches outside itself; tests replace any piece.
struct TSchedMainServices {
    /// Also the window's clock and regional settings, and the executable path that names
    /// the schedule file and the log.
    vantle::TSchedulerServices Scheduler;
    TAskFunction Ask;
    TShowModalFunction ShowModal;
    /// Reaps the programs the scheduler started and tells how they ended; none in tests
    /// that start no real programs.
    vantle::TChildWatch* ChildWatch = nullptr;
    /// The schedule file; empty: beside the executable, named after it.
    std::string ScheduleFile;
};

struct TFileLocations;

/// The real machine: system services, question boxes, QDialog::exec, and `files`, the
/// program's files as LocateFiles puts them (their folders made).
TSchedMainServices SystemSchedMainServices(const vantle::TFileLocations& files);
/// The question box with the question icon.
QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton);

class TfmAbout;
class TfmEntry;
class TfmViewLog;

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
    /// One cycle; the next tick is armed whatever the cycle raises.
    void Timer1Timer();
    /// Arms Timer1 for five seconds past a minute of the window's clock: the minute
    /// after this one after a tick, the next :05 to come after the clock was set.
    void ArmNextCycle(bool afterTick = true) noexcept;
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
    void About1Click();

    // The grid.
    /// Shows every row anew, in list order; the selection stays on its entry.
    void FillGrid();
    bool PressOnDataRow() const;
    void SortGrid(std::int32_t col);
    /// Sorts by `col` in the direction given, as a header click that left it so would.
    void RestoreSort(std::int32_t col, bool ascending);
    /// Recomputes Next Run, Last Run and Result of every row, and the upcoming runs.
    void UpdateRunColumns();
    /// The serial of the entry in the current row, when that row holds one.
    std::optional<std::uint64_t> SelectedEntry() const;

    /// The schedule list and its scheduler: from FormCreate to FormDestroy, else null.
    vantle::TSchedList* SchedList() const { return FSchedList.get(); }
    vantle::TScheduler* Scheduler() const { return FScheduler.get(); }
    /// The column and direction of the last header-click sort.
    std::int32_t SortCol() const { return FSortCol; }
    bool SortAscending() const { return FSortAscending; }

    /// The parts other windows share: File > Run (checkable), View > Upcoming Runs,
    /// File > Exit, the Help menu (menus go before it) and the grid.
    QAction* RunAction() const { return Run1; }
    QAction* UpcomingRunsAction() const { return UpcomingRuns1; }
    QAction* ExitAction() const { return Exit1; }
    QMenu* HelpMenu() const { return Help1; }
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
    /// Asks before a save replaces a file that is no schedule, or that another program
    /// changed since it was loaded; true when the save may go ahead.
    bool ConfirmOverwrite();
    /// Saves the list and logs the attributes the new file could not keep.
    void SaveList();
    /// Says once per change on disk that the tick kept the unsaved edits over it.
    void ReportKeptChange();
    /// The entry dialog's values into the entry of `serial`.
    void CopyDialogToEntry(std::uint64_t serial);
    /// Hands the entry dialog the entry of `serial` and takes the edit back.
    void ModifyEntry(std::uint64_t serial);
    /// Reaps ended children and lets the scheduler log the ends of its programs.
    void ReapChildren();
    const vantle::TClock& Clock() const;
    const vantle::TFormatSettings& FormatSettings() const;
    QMessageBox::StandardButton Ask(const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton);
    int ShowModal(QDialog& dialog);
    std::string FormatMoment(vantle::TDateTime moment) const;
    void ShowRunsOf(const std::string& name);
    void RefreshUpcoming();

    // The menu.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Run1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Refresh1 = nullptr;
    QAction* N2 = nullptr; // separates Save and Refresh from Reset Log
    QAction* ResetLog1 = nullptr;
    QAction* N4 = nullptr; // separates Reset Log from Exit
    QAction* Exit1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* mnAdd = nullptr;
    QAction* Modify1 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* N1 = nullptr; // separates Add, Modify and Delete from Execute Now
    QAction* ExecuteNow1 = nullptr;
    QAction* N3 = nullptr; // separates Execute Now from Duplicate and the clipboard items
    QAction* Duplicate1 = nullptr;
    QAction* Cut1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QMenu* View1 = nullptr;
    QAction* LogFile1 = nullptr;
    QAction* UpcomingRuns1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;
    // The client area.
    QFrame* Bevel1 = nullptr; // the sunken line between the menu and the grid
    TScheduleGrid* sgScheduleList = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 2> Panels{}; // the time of the last refresh; the scheduler's state
    TCycleTimer* Timer1 = nullptr;   // ticks five seconds past each minute
    // The secondary windows: the modal dialogs are made once and reused.
    TfmEntry* FEntry = nullptr;
    TfmAbout* FAbout = nullptr;
    TfmViewLog* FViewLog = nullptr;
    TfmUpcoming* FUpcoming = nullptr; // created on first use; not modal

    std::unique_ptr<vantle::TSchedList> FSchedList;
    std::unique_ptr<vantle::TScheduler> FScheduler;
    bool FFirstActivate = false; // from FormCreate until the first activation
    std::int32_t FSortCol = 0;
    bool FSortAscending = false;
    vantle::TRunHistory FRunHistory;
    int FArgumentCount;
    TSchedMainServices FServices;
    std::uint32_t FToldKeptChanges = 0;
    QSocketNotifier* FChildNotifier = nullptr;
};

} // namespace vantle
