// The dialog of Options > Failure and Recovery Commands: what runs when an entry that
// names no command of its own fails, and when it works again.
#pragma once

#include "ui/CentredDialog.h"
#include "ui/Settings.h"
#include "ui/TextBytes.h"

class QLineEdit;
class QPushButton;

namespace vantle {

class TfmDefaultCommands : public TCentredDialog {
    Q_OBJECT
public:
    explicit TfmDefaultCommands(QWidget* parent = nullptr);

    void SetCommands(const TDefaultCommands& commands);
    /// What the fields hold; a command left as SetCommands put it keeps its bytes.
    TDefaultCommands Commands() const;

private:
    // Controls, found by their object names in tests.
    QLineEdit* edFailureCommand = nullptr;
    QLineEdit* edRecoveryCommand = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    TKeptBytes FKept;
};

} // namespace vantle
