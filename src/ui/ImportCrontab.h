// The dialog of File > Import Crontab: the user's crontab (or a chosen file) read into
// entries, each line's verdict in a table, the entries handed to the window on Ok.
#pragma once

#include "sched/CrontabImport.h"
#include "ui/CentredDialog.h"

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace vantle {

class TfmImportCrontab : public TCentredDialog {
    Q_OBJECT
public:
    /// The user's crontab as `crontab -l` prints it; raises with a user's words.
    using TCrontabReader = std::function<std::string()>;

    TfmImportCrontab(TCrontabReader reader, QWidget* parent = nullptr);

    /// Before each showing: the schedule's names, which the new ones keep clear of, and
    /// the user's crontab read afresh.
    void Start(std::vector<std::string> takenNames);
    /// The user's crontab, through the reader; a failure is shown in place of verdicts.
    void ReadUserCrontab();
    /// A crontab file instead.
    void ReadFile(const QString& path);
    /// `text` as the crontab, named `source` in the dialog.
    void ShowCrontab(const std::string& text, const QString& source, bool userCrontab);

    /// The entries Ok adds, switched on when the box says so.
    std::vector<TSchedule> Entries() const;

private:
    void ShowFailure(const QString& source, const QString& message);
    void ShowVerdicts();

    // Controls, found by their object names in tests.
    QLabel* lbSource = nullptr;
    QPushButton* btnUserCrontab = nullptr;
    QPushButton* btnFile = nullptr;
    QTableWidget* tbVerdicts = nullptr; // line, crontab text, verdict, why
    QLabel* lbAdvice = nullptr;
    QCheckBox* cbActive = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    TCrontabReader FReader;
    std::vector<std::string> FTakenNames;
    TCrontabImport FImport;
    bool FUserCrontab = false;
};

} // namespace vantle
