// The modal dialog that edits one schedule entry.
#pragma once

#include "sched/Schedule.h"
#include "sched/TimeFieldInput.h"
#include "ui/CentredDialog.h"
#include "ui/TextBytes.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace vantle {

class TClock;
class TLinesLabel;
struct TFormatSettings;

class TfmEntry : public TCentredDialog {
    Q_OBJECT
public:
    explicit TfmEntry(QWidget* parent = nullptr);
    ~TfmEntry() override;

    /// The presets of Add: "*" in the four time fields, any day, Direct Execute,
    /// Normal, active, everything else empty.
    void SetNewEntry();
    /// Fills every control from `entry`. The day boxes show exactly the days the stored
    /// WeekDays text matches; the text itself is remembered for WeekDaysText().
    void SetEntry(const vantle::TSchedule& entry);
    /// A fresh entry from the controls.
    vantle::TSchedule GetEntry() const;
    /// "*" for any day; the stored text when the day boxes still show what SetEntry
    /// put there; otherwise the checked days "0,1,..." in ascending order.
    std::string WeekDaysText() const;

    /// The clock and regional settings of the preview under the time fields; the
    /// system's when not set. Neither is owned.
    void SetPreviewServices(const vantle::TClock* clock, const vantle::TFormatSettings* settings);

    /// Ok: the time fields take their stored form, and an entry that can never be due
    /// is saved only if the user says so.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;                 // the activation step
    bool eventFilter(QObject* watched, QEvent* event) override; // a page's access key

private:
    // Controls, found by their object names in tests.
    QLineEdit* edName = nullptr;
    QTabWidget* PageControl1 = nullptr; // Schedule, Operation, Comment, Settings, Problems
    QLineEdit* edMinutes = nullptr;
    QLineEdit* edHours = nullptr;
    QLineEdit* edDays = nullptr;
    QLineEdit* edMonths = nullptr;
    TLinesLabel* lbNextRuns = nullptr;  // the next moments, or why there are none
    TLinesLabel* lbTimeNotes = nullptr; // how the rules read what is not a plain number
    QCheckBox* cbActive = nullptr;
    QCheckBox* cbAnyDay = nullptr;
    QCheckBox* cbSunday = nullptr;
    QCheckBox* cbMonday = nullptr;
    QCheckBox* cbTuesday = nullptr;
    QCheckBox* cbWednesday = nullptr;
    QCheckBox* cbThursday = nullptr;
    QCheckBox* cbFriday = nullptr;
    QCheckBox* cbSaturday = nullptr;
    QComboBox* cbOpType = nullptr; // how the command is carried out
    QComboBox* cbWindowState = nullptr;
    QLineEdit* edCommand = nullptr;
    QLineEdit* edParms = nullptr; // the command's parameters; "$" codes expand when it runs
    QLineEdit* edWorkDir = nullptr;
    QLabel* lbCommandWarning = nullptr; // a program the start would not find, and why
    QPlainTextEdit* memComment = nullptr;
    QCheckBox* cbCatchUp = nullptr;
    QCheckBox* cbAtStart = nullptr;         // besides the time fields, once per switch-on
    QRadioButton* rbOverlapAllow = nullptr; // a due minute starts another run meanwhile
    QRadioButton* rbOverlapSkip = nullptr;
    QCheckBox* cbTimeLimit = nullptr;
    QSpinBox* seTimeLimit = nullptr; // minutes; used only while cbTimeLimit is checked
    QCheckBox* cbOnlyOnACPower = nullptr;
    QCheckBox* cbOnlyWithNetwork = nullptr;
    QSpinBox* seWaitLimit = nullptr;       // minutes, 0: none; kept as loaded without a condition
    QTableWidget* tvEnvironment = nullptr; // a variable a row: Name, Value
    QPushButton* btnAddVariable = nullptr;
    QPushButton* btnRemoveVariable = nullptr; // the current row's
    QCheckBox* cbRetries = nullptr;
    QSpinBox* seRetries = nullptr;    // used only while cbRetries is checked
    QSpinBox* seRetryDelay = nullptr; // minutes between attempts; kept as loaded without retries
    QSpinBox* seAlertAfter = nullptr; // hours without a good run, 0: never
    QLineEdit* edOnFailure = nullptr; // empty: the window's failure command
    QLineEdit* edOnRecovery = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    using TDayStates = std::array<bool, 7>;

    // The constructor's parts, called in this order.
    QWidget* BuildNameStrip();
    QWidget* BuildSchedulePage();
    QWidget* BuildOperationPage();
    QWidget* BuildCommentPage();
    QWidget* BuildSettingsPage();
    QWidget* BuildProblemsPage();
    QWidget* BuildButtonStrip();
    void OrderTabs();

    void cbAnyDayClick(bool checked);
    void cbDayClick();
    void cbOpTypeChange();
    void ShowSettings(const vantle::TSchedule& entry);
    void ShowProblems(const vantle::TSchedule& entry); // after FKept.Clear()
    void ShowEnvironment(const std::vector<std::string>& pairs);
    /// The row as a pair: an unchanged row gives back the bytes it was loaded from, one
    /// added and left empty none.
    std::optional<std::string> EnvironmentPairOf(int row) const;
    std::vector<std::string> EnvironmentPairs() const;
    /// False after telling why the pairs cannot be saved, with the row made current.
    bool EnvironmentAccepted();
    void SwitchPage(int step);            // Ctrl+Tab and Ctrl+Shift+Tab from anywhere in the dialog
    QWidget* FirstOfPage(int page) const; // where a page's key puts the focus
    void edTimeFieldChange(QLineEdit* edit);
    void edTimeFieldExit(QLineEdit* edit, vantle::TTimeFieldKind kind);
    vantle::TSchedule TimesEntry() const; // the time fields as they would be stored
    void UpdatePreview();
    void FitPreview();
    void UpdateCommandWarning();
    TDayStates DayStates() const;

    std::array<QCheckBox*, 7> FDayBoxes{}; // Sunday first, the day's number is the index
    bool FUpdating = false;                // shared by the any-day and the day reaction
    std::string FStoredWeekDays = "*";
    TDayStates FShownDays{};
    TKeptBytes FKept; // the bytes behind the free-text fields SetEntry filled
    const vantle::TClock* FClock = nullptr;
    const vantle::TFormatSettings* FFormatSettings = nullptr;
};

} // namespace vantle
