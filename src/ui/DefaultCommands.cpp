#include "ui/DefaultCommands.h"

#include "ui/Icon.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <tuple>
#include <utility>

namespace vantle {

TfmDefaultCommands::TfmDefaultCommands(QWidget* parent) : TCentredDialog(parent) {
    setObjectName(QStringLiteral("fmDefaultCommands"));
    setWindowTitle(QStringLiteral("Failure and Recovery Commands"));
    setWindowIcon(VantleIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    edFailureCommand = new QLineEdit(this);
    edFailureCommand->setObjectName(QStringLiteral("edFailureCommand"));
    edRecoveryCommand = new QLineEdit(this);
    edRecoveryCommand->setObjectName(QStringLiteral("edRecoveryCommand"));
    edFailureCommand->setMinimumWidth(320);
    auto* note = new QLabel(
        QStringLiteral("For every entry that names none of its own. The command finds the run "
                       "in VANTLE_ENTRY, VANTLE_RESULT, VANTLE_RUN, VANTLE_TRIGGER, "
                       "VANTLE_ATTEMPT and VANTLE_SCHEDULE, and the end of its output on "
                       "standard input. A change holds from the program's next start."),
        this);
    note->setWordWrap(true);
    std::tie(btnOk, btnCancel) = NewOkCancel(this);

    auto* layout = new QGridLayout(this);
    int row = 0;
    for (auto [caption, edit] : {std::pair{"&Failure command:", edFailureCommand},
                                 std::pair{"&Recovery command:", edRecoveryCommand}}) {
        auto* label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(edit);
        layout->addWidget(label, row, 0);
        layout->addWidget(edit, row++, 1);
    }
    layout->addWidget(note, row++, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons, row, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfmDefaultCommands::SetCommands(const TDefaultCommands& commands) {
    FKept.Clear();
    for (auto [edit, bytes] : {std::pair{edFailureCommand, &commands.OnFailure},
                               std::pair{edRecoveryCommand, &commands.OnRecovery}}) {
        edit->setText(TextOfBytes(*bytes));
        FKept.Remember(edit, edit->text(), *bytes);
    }
    edFailureCommand->setFocus();
}

TDefaultCommands TfmDefaultCommands::Commands() const {
    return {FKept.BytesOf(edFailureCommand, edFailureCommand->text()),
            FKept.BytesOf(edRecoveryCommand, edRecoveryCommand->text())};
}

} // namespace vantle
