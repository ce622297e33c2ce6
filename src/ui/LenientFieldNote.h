// Under a time field of the entry dialog: what the file's lenient reading makes of its
// text ("Reads as '0'"), with a button that writes the stored form. Nothing converts
// on its own, so a file's text stays as it is until asked.
#pragma once

#include "sched/ScheduleKeys.h"

#include <QWidget>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

class TLenientFieldNote : public QWidget {
    Q_OBJECT

public:
    TLenientFieldNote(QLineEdit* edit, vantle::TTimeFieldKind kind, QWidget* parent);

private:
    void Update();
    void Convert();

    QLineEdit* FEdit;
    vantle::TTimeFieldKind FKind;
    QLabel* FText;
    QPushButton* FConvert;
};

/// The text a time field saves: what was typed in the stored form, a text as shown
/// (from the file) as it is.
std::string TimeFieldToSave(const QLineEdit* edit, vantle::TTimeFieldKind kind);

/// The edit with its note under it, as one widget for the dialog's layout.
QWidget* WithLenientFieldNote(QLineEdit* edit, vantle::TTimeFieldKind kind);
