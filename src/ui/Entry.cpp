// The modal dialog that edits one schedule entry.
#include "ui/Entry.h"

#include "sched/TimeField.h"
#include "ui/About.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

TfmEntry* fmEntry = nullptr;

namespace {

QLabel* BuddyLabel(const QString& caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

// Comment lines follow the usual line-list convention: each line ends with a line
// break, and the empty piece after the final break is no line, so [""] and ["a", ""]
// survive a trip through the text box and an empty box means no lines.
QString LinesToText(const std::vector<std::string>& lines) {
    QString text;
    for (const auto& line : lines) {
        text += TextOfBytes(line);
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

TfmEntry::TfmEntry(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Enter Schedule"));
    setWindowIcon(VantleIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(432, 374);

    // Top strip: the name.
    auto* topStrip = new QWidget(this);
    topStrip->setFixedHeight(41);
    edName = new QLineEdit(topStrip);
    auto* topLayout = new QHBoxLayout(topStrip);
    topLayout->setContentsMargins(8, 0, 8, 0);
    topLayout->addWidget(BuddyLabel(QStringLiteral("&Name:"), edName, topStrip));
    topLayout->addWidget(edName, 1);

    PageControl1 = new QTabWidget(this);

    // Page "&Schedule": the four time fields, the active flag and the days of the week.
    auto* schedulePage = new QWidget;
    edMinutes = new QLineEdit(schedulePage);
    edHours = new QLineEdit(schedulePage);
    edDays = new QLineEdit(schedulePage);
    edMonths = new QLineEdit(schedulePage);
    cbActive = new QCheckBox(QStringLiteral("&Active"), schedulePage);
    auto* scheduleLayout = new QGridLayout(schedulePage);
    const std::array<std::pair<QString, QLineEdit*>, 4> timeFields{{
        {QStringLiteral("M&inutes:"), edMinutes},
        {QStringLiteral("&Hours:"), edHours},
        {QStringLiteral("&Days:"), edDays},
        {QStringLiteral("M&onths:"), edMonths},
    }};
    for (int row = 0; row < int(timeFields.size()); ++row) {
        auto [caption, edit] = timeFields[std::size_t(row)];
        edit->setFixedWidth(225);
        scheduleLayout->addWidget(BuddyLabel(caption, edit, schedulePage), row, 0);
        scheduleLayout->addWidget(edit, row, 1);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { edTimeFieldChange(edit); });
    }
    scheduleLayout->addWidget(cbActive, 0, 2, Qt::AlignRight);
    scheduleLayout->setColumnStretch(2, 1);

    auto* dayGroup = new QGroupBox(QStringLiteral("Day of Wee&k"), schedulePage);
    auto* dayLayout = new QGridLayout(dayGroup);
    cbAnyDay = new QCheckBox(QStringLiteral("&Any"), dayGroup);
    dayLayout->addWidget(cbAnyDay, 0, 0, 1, 2);
    const std::array<QString, 7> dayCaptions{
        QStringLiteral("&Su"), QStringLiteral("&Mo"), QStringLiteral("&Tu"), QStringLiteral("&We"),
        QStringLiteral("T&h"), QStringLiteral("&Fr"), QStringLiteral("S&a")};
    for (std::size_t day = 0; day < FDayBoxes.size(); ++day) {
        FDayBoxes[day] = new QCheckBox(dayCaptions[day], dayGroup);
        dayLayout->addWidget(FDayBoxes[day], 1, int(day));
        connect(FDayBoxes[day], &QCheckBox::toggled, this, [this] { cbDayClick(); });
    }
    cbSunday = FDayBoxes[0];
    cbMonday = FDayBoxes[1];
    cbTuesday = FDayBoxes[2];
    cbWednesday = FDayBoxes[3];
    cbThursday = FDayBoxes[4];
    cbFriday = FDayBoxes[5];
    cbSaturday = FDayBoxes[6];
    connect(cbAnyDay, &QCheckBox::toggled, this, [this](bool checked) { cbAnyDayClick(checked); });
    scheduleLayout->addWidget(dayGroup, int(timeFields.size()), 0, 1, 3);
    scheduleLayout->setRowStretch(int(timeFields.size()) + 1, 1);
    PageControl1->addTab(schedulePage, QStringLiteral("&Schedule"));

    // Page "O&peration": what the entry runs.
    auto* operationPage = new QWidget;
    cbOpType = new QComboBox(operationPage);
    cbOpType->addItems({QStringLiteral("DOS Command"), QStringLiteral("Direct Execute"),
                        QStringLiteral("Builtin: Reset Time From Server")});
    cbOpType->setFixedWidth(233);
    cbWindowState = new QComboBox(operationPage);
    cbWindowState->addItems({QStringLiteral("Normal"), QStringLiteral("Maximized"),
                             QStringLiteral("Minimized"), QStringLiteral("Hidden")});
    cbWindowState->setFixedWidth(145);
    edCommand = new QLineEdit(operationPage);
    edParms = new QLineEdit(operationPage);
    edWorkDir = new QLineEdit(operationPage);
    auto* operationLayout = new QGridLayout(operationPage);
    operationLayout->addWidget(
        BuddyLabel(QStringLiteral("Operation &Type:"), cbOpType, operationPage), 0, 0);
    operationLayout->addWidget(BuddyLabel(QStringLiteral("&Run:"), cbWindowState, operationPage), 0,
                               1);
    operationLayout->addWidget(cbOpType, 1, 0);
    operationLayout->addWidget(cbWindowState, 1, 1);
    operationLayout->setColumnStretch(2, 1);
    const std::array<std::pair<QString, QLineEdit*>, 3> operationFields{{
        {QStringLiteral("Program &File:"), edCommand},
        {QStringLiteral("P&arameters:"), edParms},
        {QStringLiteral("&Working Directory:"), edWorkDir},
    }};
    int row = 2;
    for (const auto& [caption, edit] : operationFields) {
        operationLayout->addWidget(BuddyLabel(caption, edit, operationPage), row++, 0, 1, 3);
        operationLayout->addWidget(edit, row++, 0, 1, 3);
    }
    operationLayout->setRowStretch(row, 1);
    connect(cbOpType, &QComboBox::activated, this, [this] { cbOpTypeChange(); });
    // Disabled fields take the button face, so a built-in operation's fields look greyed
    // whatever the style does with a disabled edit.
    for (QWidget* field : std::initializer_list<QWidget*>{edCommand, edParms, edWorkDir}) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Disabled, QPalette::Base,
                         palette.color(QPalette::Active, QPalette::Button));
        field->setPalette(palette);
    }
    PageControl1->addTab(operationPage, QStringLiteral("O&peration"));

    // Page "Co&mment": free text, one comment line per text line.
    auto* commentPage = new QWidget;
    memComment = new QPlainTextEdit(commentPage);
    memComment->setTabChangesFocus(true);
    auto* commentLayout = new QVBoxLayout(commentPage);
    commentLayout->setContentsMargins(0, 0, 0, 0);
    commentLayout->addWidget(memComment);
    PageControl1->addTab(commentPage, QStringLiteral("Co&mment"));

    // Bottom strip: the buttons.
    auto* bottomStrip = new QWidget(this);
    bottomStrip->setFixedHeight(38);
    btnOk = new QPushButton(QStringLiteral("&Ok"), bottomStrip);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), bottomStrip);
    btnOk->setFixedSize(75, 25);
    btnCancel->setFixedSize(75, 25);
    btnOk->setDefault(true);
    auto* bottomLayout = new QHBoxLayout(bottomStrip);
    bottomLayout->setContentsMargins(8, 0, 8, 0);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(btnOk);
    bottomLayout->addWidget(btnCancel);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    mainLayout->addWidget(topStrip);
    mainLayout->addWidget(PageControl1, 1);
    mainLayout->addWidget(bottomStrip);

    const std::initializer_list<QWidget*> tabOrder{
        edName,     PageControl1, edMinutes,  edHours,  edDays,        edMonths,
        cbActive,   cbAnyDay,     cbSunday,   cbMonday, cbTuesday,     cbWednesday,
        cbThursday, cbFriday,     cbSaturday, cbOpType, cbWindowState, edCommand,
        edParms,    edWorkDir,    memComment, btnOk,    btnCancel};
    QWidget* previous = nullptr;
    for (QWidget* widget : tabOrder) {
        if (previous != nullptr) {
            setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

void TfmEntry::SetNewEntry() {
    edName->clear();
    edMinutes->setText(QStringLiteral("*"));
    edHours->setText(QStringLiteral("*"));
    edDays->setText(QStringLiteral("*"));
    edMonths->setText(QStringLiteral("*"));
    cbAnyDay->setChecked(true);
    cbOpType->setCurrentIndex(vantle::ctDirectExecute);
    cbWindowState->setCurrentIndex(vantle::wsNormal);
    edCommand->clear();
    edParms->clear();
    edWorkDir->clear();
    memComment->clear();
    cbActive->setChecked(true);
    FKept.Clear();
    FStoredWeekDays = "*";
    FShownDays = DayStates();
}

void TfmEntry::SetEntry(const vantle::TSchedule& entry) {
    FKept.Clear();
    auto show = [this](QLineEdit* edit, const std::string& bytes) {
        edit->setText(TextOfBytes(bytes));
        FKept.Remember(edit, edit->text(), bytes);
    };
    show(edName, entry.Name);
    edMinutes->setText(QString::fromStdString(entry.Minutes));
    edHours->setText(QString::fromStdString(entry.Hours));
    edDays->setText(QString::fromStdString(entry.Days));
    edMonths->setText(QString::fromStdString(entry.Months));
    cbActive->setChecked(entry.Active);
    // The boxes show the days the scheduler itself would run the entry on, so that a
    // range such as 1-5 is shown, and kept, as Monday to Friday.
    const bool anyDay = entry.WeekDays == "*";
    for (std::size_t day = 0; day < FDayBoxes.size(); ++day) {
        FDayBoxes[day]->setChecked(anyDay || vantle::FieldMatches(int(day), entry.WeekDays));
    }
    if (anyDay) {
        cbAnyDay->setChecked(true);
    }
    cbOpType->setCurrentIndex(entry.CommandType);
    cbWindowState->setCurrentIndex(entry.WinState);
    show(edCommand, entry.Command);
    show(edParms, entry.Parms);
    show(edWorkDir, entry.WorkDir);
    memComment->setPlainText(LinesToText(entry.Comment));
    FKept.RememberLines(memComment, memComment->toPlainText(), entry.Comment);
    FStoredWeekDays = entry.WeekDays;
    FShownDays = DayStates();
}

vantle::TSchedule TfmEntry::GetEntry() const {
    vantle::TSchedule entry;
    entry.Name = FKept.BytesOf(edName, edName->text());
    entry.Minutes = edMinutes->text().toStdString();
    entry.Hours = edHours->text().toStdString();
    entry.Days = edDays->text().toStdString();
    entry.Months = edMonths->text().toStdString();
    entry.WeekDays = WeekDaysText();
    // With no item selected (an index the list does not have), the entry keeps its default.
    if (cbOpType->currentIndex() >= 0) {
        entry.CommandType = std::uint8_t(cbOpType->currentIndex());
    }
    if (cbWindowState->currentIndex() >= 0) {
        entry.WinState = std::uint8_t(cbWindowState->currentIndex());
    }
    entry.Command = FKept.BytesOf(edCommand, edCommand->text());
    entry.Parms = FKept.BytesOf(edParms, edParms->text());
    entry.WorkDir = FKept.BytesOf(edWorkDir, edWorkDir->text());
    entry.Active = cbActive->isChecked();
    entry.Comment = FKept.LinesOf(memComment, memComment->toPlainText());
    return entry;
}

std::string TfmEntry::WeekDaysText() const {
    if (DayStates() == FShownDays) {
        return FStoredWeekDays;
    }
    if (cbAnyDay->isChecked()) {
        return "*";
    }
    std::string text;
    for (std::size_t day = 0; day < FDayBoxes.size(); ++day) {
        if (FDayBoxes[day]->isChecked()) {
            if (!text.empty()) {
                text += ',';
            }
            text += char('0' + day);
        }
    }
    return text;
}

void TfmEntry::setVisible(bool visible) {
    // Centred over the main window at every showing, even after the user moved it.
    if (visible && !isVisible()) {
        setAttribute(Qt::WA_Moved, false);
    }
    QDialog::setVisible(visible);
}

void TfmEntry::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    edName->setFocus(Qt::OtherFocusReason);
    cbOpTypeChange();
    PageControl1->setCurrentIndex(0);
}

void TfmEntry::cbAnyDayClick(bool checked) {
    if (FUpdating) {
        return;
    }
    FUpdating = true;
    for (QCheckBox* box : FDayBoxes) {
        box->setChecked(checked);
    }
    FUpdating = false;
}

void TfmEntry::cbDayClick() {
    if (FUpdating) {
        return;
    }
    FUpdating = true;
    const TDayStates days = DayStates();
    cbAnyDay->setChecked(std::all_of(days.begin(), days.end(), [](bool on) { return on; }));
    FUpdating = false;
}

void TfmEntry::cbOpTypeChange() {
    const bool builtin = cbOpType->currentText().startsWith(QLatin1String("Builtin:"));
    for (QWidget* field :
         std::initializer_list<QWidget*>{edCommand, edParms, edWorkDir, cbWindowState}) {
        field->setEnabled(!builtin);
    }
}

void TfmEntry::edTimeFieldChange(QLineEdit* edit) {
    const QString text = edit->text();
    const int caret = edit->cursorPosition();
    QString filtered;
    int newCaret = 0; // the caret less what is dropped before it
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == QLatin1Char('*')) {
            // A star stands alone: everything else goes, and the caret stays on its side.
            filtered = QStringLiteral("*");
            newCaret = i < caret ? 1 : 0;
            break;
        }
        if ((ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char(',') ||
            ch == QLatin1Char('-')) {
            filtered += ch;
            if (i < caret) {
                ++newCaret;
            }
        }
    }
    if (filtered != text) {
        edit->setText(filtered); // runs the filter once more, which finds nothing to drop
        edit->setCursorPosition(newCaret);
    }
}

TfmEntry::TDayStates TfmEntry::DayStates() const {
    TDayStates states{};
    for (std::size_t day = 0; day < FDayBoxes.size(); ++day) {
        states[day] = FDayBoxes[day]->isChecked();
    }
    return states;
}
