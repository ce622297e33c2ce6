// The main window: owns the schedule list and the scheduler, lists the entries, drives
// the scheduler from its timer and offers every command through its menu.
#pragma once

#include "engine/Scheduler.h"
#include "sched/SchedList.h"
#include "ui/ScheduleGrid.h"

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
class QStatusBar;
class QTimer;

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
    /// The schedule file; empty: beside the executable, named after it.
    std::string ScheduleFile;
};

/// The real machine: system services, question boxes, QDialog::exec, and the files
/// where LocateFiles puts them (their folders made).
TSchedMainServices SystemSchedMainServices();
/// The question box with the question icon.
QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton);

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
    void Timer1Timer();

    // Commands.
    /// The menu has already inverted the check mark when this runs.
    void Run1Click();
    void Save1Click();
    void Exit1Click();
    void Refresh1Click();
    void ResetLog1Click();
    void mnAddClick();
    /// Modify, and the grid's double click.
    void sgScheduleListClick();
    void Delete1Click();
    void ExecuteNow1Click();
    void Duplicate1Click();
    void LogFile1Click();
    void About1Click();

    void UpdateStatusBar();
    void UpdateSaveItem();

    // The grid.
    void FillGrid();
    void ShowEntryInRow(std::int32_t index, std::int32_t row);
    bool PressOnDataRow() const;
    void SortGrid(std::int32_t col);
    /// Removes the current row after its entry was deleted; rows below move up.
    void RemoveRow();
    void sgScheduleListMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void sgScheduleListKeyDown(int key, Qt::KeyboardModifiers shift);
    void sgScheduleListSelectCell(std::int32_t col, std::int32_t row, bool& canSelect);
    /// The serial of the entry in the current row, when that row holds one.
    std::optional<std::uint64_t> SelectedEntry() const;
    void CopyDialogToEntry(std::uint64_t serial);

    // Components; public so tests can drive them.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Run1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Refresh1 = nullptr;
    QAction* N2 = nullptr;
    QAction* ResetLog1 = nullptr;
    QAction* N4 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* mnAdd = nullptr;
    QAction* Modify1 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* N1 = nullptr;
    QAction* ExecuteNow1 = nullptr;
    QAction* N3 = nullptr;
    QAction* Duplicate1 = nullptr;
    QAction* Cut1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QMenu* View1 = nullptr;
    QAction* LogFile1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;
    QFrame* Bevel1 = nullptr;
    TScheduleGrid* sgScheduleList = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 2> Panels{};
    QTimer* Timer1 = nullptr;

    // Fields; public so tests can look.
    std::unique_ptr<vantle::TSchedList> SchedList;
    std::unique_ptr<vantle::TScheduler> Scheduler;
    bool FirstActivate = false;
    std::int32_t SortCol = 0;
    bool SortAscending = false;
    std::int32_t MouseX = -1;
    std::int32_t MouseY = -1;

signals:
    /// The window has agreed to close; the program ends.
    void Closed();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenu();
    void CreateControls();
    const vantle::TClock& Clock() const;
    const vantle::TFormatSettings& FormatSettings() const;
    QMessageBox::StandardButton Ask(const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton);
    int ShowModal(QDialog& dialog);

    int FArgumentCount;
    TSchedMainServices FServices;
};

extern TfmSchedMain* fmSchedMain;
