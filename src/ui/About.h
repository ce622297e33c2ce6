// The About box.
#pragma once

#include <QDialog>

class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);
};

extern TfmAbout* fmAbout;

/// The program's own icon, for every window.
class QIcon;
QIcon VantleIcon();
