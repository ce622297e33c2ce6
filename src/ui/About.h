// The About box.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);

    void setVisible(bool visible) override;
    /// Where the schedule and the log are, shown below the notice.
    void SetPaths(const QString& scheduleFile, const QString& logFile);

    QLabel* lbSchedulePath = nullptr;
    QLabel* lbLogPath = nullptr;
    QPushButton* btnOk = nullptr;
};

extern TfmAbout* fmAbout;

/// The program's own icon, for every window: every rendered size from 16 to 256 pixels.
class QIcon;
QIcon VantleIcon();
