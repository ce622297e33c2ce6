// The About box.
#pragma once

#include "ui/CentredDialog.h"

class QLabel;
class QPushButton;

namespace vantle {

class TfmAbout : public TCentredDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);

    /// Where the schedule and the log are, shown below the notice.
    void SetPaths(const QString& scheduleFile, const QString& logFile);

private:
    void LayOutPaths(); // the paths' lines decide where Ok goes and the box's height

    // Controls, found by their object names in tests.
    QLabel* lbSchedulePath = nullptr;
    QLabel* lbLogPath = nullptr;
    QPushButton* btnOk = nullptr;
};

} // namespace vantle
