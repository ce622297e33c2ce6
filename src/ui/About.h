// The About box.
#pragma once

#include <QDialog>

class QPushButton;

class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);

    void setVisible(bool visible) override;

    QPushButton* btnOk = nullptr;
};

extern TfmAbout* fmAbout;

/// The program's own icon, for every window: every rendered size from 16 to 256 pixels.
class QIcon;
QIcon VantleIcon();
