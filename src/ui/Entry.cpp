// The modal dialog that edits one schedule entry.
#include "ui/Entry.h"

#include "engine/TildeWarnings.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileLocations.h"
#include "platform/FormatSettings.h"
#include "platform/StartProbe.h"
#include "sched/EnvironmentText.h"
#include "sched/TimeField.h"
#include "sched/TimePreview.h"
#include "ui/Icon.h"
#include "ui/LenientFieldNote.h"
#include "ui/LinesLabel.h"
#include "ui/MomentText.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSpinBox>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace vantle {

namespace {

// An environment cell's bytes as loaded; the name cell holds the whole pair as well, so a
// row left alone gives back what it was loaded from, a malformed pair too.
constexpr int BytesRole = Qt::UserRole;
constexpr int PairRole = Qt::UserRole + 1;

QByteArray ByteArrayOf(const std::string& bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

std::string BytesOf(const QVariant& data) {
    const QByteArray bytes = data.toByteArray();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// The classic size; the dialog grows past it only when the preview needs the room.
constexpr QSize ClassicSize(432, 374);
constexpr int NameStripHeight = 41;
constexpr int ButtonStripHeight = 38;
// Notes past these lines are behind "and N more", whole in the tooltip.
constexpr int MaxNoteLines = 3;

// The preview's line of the next runs: the windows' date and time, the weekday before it
// (one checks a schedule by its weekdays); what the moment before told already is not
// told again: the time alone on the same day, the date without its year in the same year.
QString NextRunsText(const std::vector<vantle::TDateTime>& next,
                     const vantle::TFormatSettings& settings) {
    QStringList moments;
    std::optional<vantle::TDateTime> shownDay;
    std::optional<int> shownYear;
    for (vantle::TDateTime moment : next) {
        const vantle::TDateTime day = vantle::DateOf(moment);
        const int year = vantle::DecodeDate(moment).Year;
        moments.append(vantle::TextOfBytes(
            day == shownDay ? vantle::TimeOfDayText(moment, settings)
                            : vantle::WeekdayMomentText(moment, settings, year != shownYear)));
        shownDay = day;
        shownYear = year;
    }
    return QStringLiteral("Next: ") + moments.join(QStringLiteral(", "));
}

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

// Readable on a light and on a dark palette alike.
QColor ErrorColour(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(255, 120, 120)
                                                             : QColor(180, 0, 0);
}

QStringList ToStringList(const std::vector<std::string>& lines) {
    QStringList pieces;
    for (const auto& line : lines) {
        pieces.append(QString::fromStdString(line));
    }
    return pieces;
}

} // namespace

TfmEntry::TfmEntry(QWidget* parent) : TCentredDialog(parent) {
    setObjectName(QStringLiteral("fmEntry"));
    setWindowTitle(QStringLiteral("Enter Schedule"));
    setWindowIcon(VantleIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    QWidget* topStrip = BuildNameStrip();
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(BuildSchedulePage(), QStringLiteral("Schedu&le"));
    PageControl1->addTab(BuildOperationPage(), QStringLiteral("O&peration"));
    PageControl1->addTab(BuildCommentPage(), QStringLiteral("Comm&ent"));
    PageControl1->addTab(BuildSettingsPage(), QStringLiteral("Settin&gs"));
    // The one letter no page uses: those of "fail" are all taken on the Schedule page.
    // No letter of its name is free for an access key: Ctrl+Tab reaches it.
    PageControl1->addTab(BuildProblemsPage(), QStringLiteral("When it fails"));
    QWidget* bottomStrip = BuildButtonStrip();

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    mainLayout->addWidget(topStrip);
    mainLayout->addWidget(PageControl1, 1);
    mainLayout->addWidget(bottomStrip);
    // Always the size the controls ask for, so none is ever squeezed: the classic size,
    // taller while the preview has more lines than fit.
    mainLayout->setSizeConstraint(QLayout::SetFixedSize);
    PageControl1->setMinimumSize(ClassicSize.width(),
                                 ClassicSize.height() - NameStripHeight - ButtonStripHeight);
    OrderTabs();
    PageControl1->tabBar()->installEventFilter(this);
    // The tab widget answers Ctrl+Tab only with the focus inside it, and the dialog opens
    // in Name: from there the page without an access key could not be reached.
    auto* nextPage = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    auto* previousPage = new QShortcut(this);
    previousPage->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});
    connect(nextPage, &QShortcut::activated, this, [this] { SwitchPage(1); });
    connect(previousPage, &QShortcut::activated, this, [this] { SwitchPage(-1); });
    FitPreview();
}

// Top strip: the name.
QWidget* TfmEntry::BuildNameStrip() {
    auto* topStrip = new QWidget(this);
    topStrip->setFixedHeight(NameStripHeight);
    edName = new QLineEdit(topStrip);
    edName->setObjectName(QStringLiteral("edName"));
    auto* topLayout = new QHBoxLayout(topStrip);
    topLayout->setContentsMargins(8, 0, 8, 0);
    topLayout->addWidget(BuddyLabel(QStringLiteral("&Name:"), edName, topStrip));
    topLayout->addWidget(edName, 1);
    return topStrip;
}

// Page "Schedu&le": the four time fields, the active flag and the days of the week.
QWidget* TfmEntry::BuildSchedulePage() {
    auto* schedulePage = new QWidget;
    edMinutes = new QLineEdit(schedulePage);
    edMinutes->setObjectName(QStringLiteral("edMinutes"));
    edHours = new QLineEdit(schedulePage);
    edHours->setObjectName(QStringLiteral("edHours"));
    edDays = new QLineEdit(schedulePage);
    edDays->setObjectName(QStringLiteral("edDays"));
    edMonths = new QLineEdit(schedulePage);
    edMonths->setObjectName(QStringLiteral("edMonths"));
    cbActive = new QCheckBox(QStringLiteral("Acti&ve"), schedulePage);
    cbActive->setObjectName(QStringLiteral("cbActive"));
    auto* scheduleLayout = new QGridLayout(schedulePage);
    // Access keys are unique among the controls on screen together (the name, the tab
    // bar, the page, Ok and Cancel); where two captions shared a letter, one marker moved.
    struct TTimeEdit {
        QString Caption;
        QLineEdit* Edit;
        vantle::TTimeFieldKind Kind;
    };
    const std::array<TTimeEdit, 4> timeFields{{
        {QStringLiteral("M&inutes:"), edMinutes, vantle::TTimeFieldKind::Minutes},
        {QStringLiteral("Hou&rs:"), edHours, vantle::TTimeFieldKind::Hours},
        {QStringLiteral("&Days:"), edDays, vantle::TTimeFieldKind::Days},
        {QStringLiteral("Month&s:"), edMonths, vantle::TTimeFieldKind::Months},
    }};
    for (int row = 0; row < int(timeFields.size()); ++row) {
        auto [caption, edit, kind] = timeFields[std::size_t(row)];
        edit->setFixedWidth(225);
        scheduleLayout->addWidget(BuddyLabel(caption, edit, schedulePage), row, 0);
        scheduleLayout->addWidget(WithLenientFieldNote(edit, kind), row, 1);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { edTimeFieldChange(edit); });
        connect(edit, &QLineEdit::editingFinished, this,
                [this, edit, kind = kind] { edTimeFieldExit(edit, kind); });
    }
    scheduleLayout->addWidget(cbActive, 0, 2, Qt::AlignRight);
    scheduleLayout->setColumnStretch(2, 1);

    // The preview: when the entry runs next, or why it never does.
    lbNextRuns = new TLinesLabel(schedulePage);
    lbNextRuns->setObjectName(QStringLiteral("lbNextRuns"));
    lbTimeNotes = new TLinesLabel(schedulePage);
    lbTimeNotes->setObjectName(QStringLiteral("lbTimeNotes"));
    {
        QPalette palette = lbTimeNotes->palette();
        palette.setColor(QPalette::WindowText, ErrorColour(palette));
        lbTimeNotes->setPalette(palette);
    }
    const int previewRow = int(timeFields.size());
    scheduleLayout->addWidget(lbNextRuns, previewRow, 0, 1, 3);
    scheduleLayout->addWidget(lbTimeNotes, previewRow + 1, 0, 1, 3);

    auto* dayGroup = new QGroupBox(QStringLiteral("Day of Wee&k"), schedulePage);
    auto* dayLayout = new QGridLayout(dayGroup);
    cbAnyDay = new QCheckBox(QStringLiteral("An&y"), dayGroup);
    cbAnyDay->setObjectName(QStringLiteral("cbAnyDay"));
    dayLayout->addWidget(cbAnyDay, 0, 0, 1, 2);
    const std::array<QString, 7> dayCaptions{
        QStringLiteral("S&u"), QStringLiteral("&Mo"), QStringLiteral("&Tu"), QStringLiteral("&We"),
        QStringLiteral("T&h"), QStringLiteral("&Fr"), QStringLiteral("S&a")};
    for (std::size_t day = 0; day < FDayBoxes.size(); ++day) {
        FDayBoxes[day] = new QCheckBox(dayCaptions[day], dayGroup);
        dayLayout->addWidget(FDayBoxes[day], 1, int(day));
        connect(FDayBoxes[day], &QCheckBox::toggled, this, [this] {
            cbDayClick();
            UpdatePreview();
        });
    }
    cbSunday = FDayBoxes[0];
    cbMonday = FDayBoxes[1];
    cbTuesday = FDayBoxes[2];
    cbWednesday = FDayBoxes[3];
    cbThursday = FDayBoxes[4];
    cbFriday = FDayBoxes[5];
    cbSaturday = FDayBoxes[6];
    for (auto [box, name] :
         {std::pair{cbSunday, "cbSunday"}, std::pair{cbMonday, "cbMonday"},
          std::pair{cbTuesday, "cbTuesday"}, std::pair{cbWednesday, "cbWednesday"},
          std::pair{cbThursday, "cbThursday"}, std::pair{cbFriday, "cbFriday"},
          std::pair{cbSaturday, "cbSaturday"}})
        box->setObjectName(QString::fromUtf8(name));
    connect(cbAnyDay, &QCheckBox::toggled, this, [this](bool checked) {
        cbAnyDayClick(checked);
        UpdatePreview();
    });
    scheduleLayout->addWidget(dayGroup, previewRow + 2, 0, 1, 3);
    scheduleLayout->setRowStretch(previewRow + 3, 1);
    return schedulePage;
}

// Page "O&peration": what the entry runs.
QWidget* TfmEntry::BuildOperationPage() {
    auto* operationPage = new QWidget;
    cbOpType = new QComboBox(operationPage);
    cbOpType->setObjectName(QStringLiteral("cbOpType"));
    cbOpType->addItems({QStringLiteral("DOS Command"), QStringLiteral("Direct Execute"),
                        QStringLiteral("Builtin: Reset Time From Server")});
    cbOpType->setFixedWidth(233);
    cbWindowState = new QComboBox(operationPage);
    cbWindowState->setObjectName(QStringLiteral("cbWindowState"));
    cbWindowState->addItems({QStringLiteral("Normal"), QStringLiteral("Maximized"),
                             QStringLiteral("Minimized"), QStringLiteral("Hidden")});
    cbWindowState->setFixedWidth(145);
    edCommand = new QLineEdit(operationPage);
    edCommand->setObjectName(QStringLiteral("edCommand"));
    edParms = new QLineEdit(operationPage);
    edParms->setObjectName(QStringLiteral("edParms"));
    edWorkDir = new QLineEdit(operationPage);
    edWorkDir->setObjectName(QStringLiteral("edWorkDir"));
    lbCommandWarning = new QLabel(operationPage);
    lbCommandWarning->setObjectName(QStringLiteral("lbCommandWarning"));
    lbCommandWarning->setWordWrap(true);
    {
        QPalette palette = lbCommandWarning->palette();
        palette.setColor(QPalette::WindowText, ErrorColour(palette));
        lbCommandWarning->setPalette(palette);
    }
    lbCommandWarning->hide();
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
        if (edit == edCommand)
            operationLayout->addWidget(lbCommandWarning, row++, 0, 1, 3);
    }
    // Told while typing, as the time fields' preview is: a program that is not there
    // fails at every run.
    for (QLineEdit* edit : {edCommand, edParms, edWorkDir})
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateCommandWarning(); });
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
    return operationPage;
}

// Page "Comm&ent": free text, one comment line per text line.
QWidget* TfmEntry::BuildCommentPage() {
    auto* commentPage = new QWidget;
    memComment = new QPlainTextEdit(commentPage);
    memComment->setObjectName(QStringLiteral("memComment"));
    memComment->setTabChangesFocus(true);
    auto* commentLayout = new QVBoxLayout(commentPage);
    commentLayout->setContentsMargins(0, 0, 0, 0);
    commentLayout->addWidget(memComment);
    return commentPage;
}

// Page "Settin&gs": how a run behaves beside the schedule.
QWidget* TfmEntry::BuildSettingsPage() {
    auto* settingsPage = new QWidget;
    cbCatchUp =
        new QCheckBox(QStringLiteral("&Run once after start-up if a run was missed"), settingsPage);
    cbCatchUp->setObjectName(QStringLiteral("cbCatchUp"));
    cbAtStart = new QCheckBox(QStringLiteral("Also run at start-&up"), settingsPage);
    cbAtStart->setObjectName(QStringLiteral("cbAtStart"));
    // An entry whose time never comes but that runs at start-up is no mistake.
    connect(cbAtStart, &QCheckBox::toggled, this, [this] { UpdatePreview(); });
    cbAtStart->installEventFilter(this); // its access key ticks it at once (see eventFilter)
    // The page is their parent, so the two choices exclude each other by themselves.
    rbOverlapAllow = new QRadioButton(QStringLiteral("start &another"), settingsPage);
    rbOverlapAllow->setObjectName(QStringLiteral("rbOverlapAllow"));
    rbOverlapSkip = new QRadioButton(QStringLiteral("s&kip this run"), settingsPage);
    rbOverlapSkip->setObjectName(QStringLiteral("rbOverlapSkip"));
    cbTimeLimit = new QCheckBox(QStringLiteral("&Stop the program after"), settingsPage);
    cbTimeLimit->setObjectName(QStringLiteral("cbTimeLimit"));
    seTimeLimit = new QSpinBox(settingsPage);
    seTimeLimit->setObjectName(QStringLiteral("seTimeLimit"));
    seTimeLimit->setRange(1, vantle::MaxTimeLimit);
    seTimeLimit->setEnabled(false);
    connect(cbTimeLimit, &QCheckBox::toggled, seTimeLimit, &QWidget::setEnabled);
    // Its access key ticks it at once (see eventFilter).
    cbTimeLimit->installEventFilter(this);

    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(cbTimeLimit);
    limitRow->addWidget(seTimeLimit);
    limitRow->addWidget(new QLabel(QStringLiteral("minutes"), settingsPage));
    limitRow->addStretch(1);

    // A run due while a condition is not met waits for it, rather than being skipped.
    cbOnlyOnACPower = new QCheckBox(QStringLiteral("Onl&y on AC power"), settingsPage);
    cbOnlyOnACPower->setObjectName(QStringLiteral("cbOnlyOnACPower"));
    cbOnlyWithNetwork = new QCheckBox(QStringLiteral("Only &with a network"), settingsPage);
    cbOnlyWithNetwork->setObjectName(QStringLiteral("cbOnlyWithNetwork"));
    seWaitLimit = new QSpinBox(settingsPage);
    seWaitLimit->setObjectName(QStringLiteral("seWaitLimit"));
    seWaitLimit->setRange(0, vantle::MaxTimeLimit);
    seWaitLimit->setSpecialValueText(QStringLiteral("no limit"));
    seWaitLimit->setSuffix(QStringLiteral(" min"));
    seWaitLimit->setEnabled(false);
    for (QCheckBox* box : {cbOnlyOnACPower, cbOnlyWithNetwork}) {
        connect(box, &QCheckBox::toggled, seWaitLimit, [this] {
            seWaitLimit->setEnabled(cbOnlyOnACPower->isChecked() || cbOnlyWithNetwork->isChecked());
        });
        box->installEventFilter(this); // its access key ticks it at once (see eventFilter)
    }
    auto* conditionRow = new QHBoxLayout;
    conditionRow->addWidget(cbOnlyOnACPower);
    conditionRow->addWidget(cbOnlyWithNetwork);
    conditionRow->addStretch(1);
    auto* waitRow = new QHBoxLayout;
    waitRow->setContentsMargins(16, 0, 0, 0);
    waitRow->addWidget(
        BuddyLabel(QStringLiteral("Gi&ve up waiting after"), seWaitLimit, settingsPage));
    waitRow->addWidget(seWaitLimit);
    waitRow->addStretch(1);
    // Variables set for the program: a row each, with room for two rows at the classic
    // size, which the rows above leave by sharing lines.
    tvEnvironment = new QTableWidget(0, 2, settingsPage);
    tvEnvironment->setObjectName(QStringLiteral("tvEnvironment"));
    tvEnvironment->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    tvEnvironment->verticalHeader()->hide();
    tvEnvironment->horizontalHeader()->setStretchLastSection(true);
    tvEnvironment->setColumnWidth(0, 120);
    tvEnvironment->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvEnvironment->setSelectionMode(QAbstractItemView::SingleSelection);
    tvEnvironment->setTabKeyNavigation(false); // Tab goes on to the buttons
    const int rowHeight = tvEnvironment->fontMetrics().height() + 6;
    tvEnvironment->verticalHeader()->setDefaultSectionSize(rowHeight);
    tvEnvironment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    tvEnvironment->setMinimumHeight(tvEnvironment->horizontalHeader()->sizeHint().height() +
                                    2 * rowHeight + 2 * tvEnvironment->frameWidth());
    btnAddVariable = new QPushButton(QStringLiteral("A&dd"), settingsPage);
    btnAddVariable->setObjectName(QStringLiteral("btnAddVariable"));
    btnRemoveVariable = new QPushButton(QStringLiteral("Re&move"), settingsPage);
    btnRemoveVariable->setObjectName(QStringLiteral("btnRemoveVariable"));
    btnRemoveVariable->setEnabled(false);
    connect(btnAddVariable, &QPushButton::clicked, this, [this] {
        const int row = tvEnvironment->rowCount();
        tvEnvironment->insertRow(row);
        tvEnvironment->setItem(row, 0, new QTableWidgetItem);
        tvEnvironment->setItem(row, 1, new QTableWidgetItem);
        tvEnvironment->setCurrentCell(row, 0);
        tvEnvironment->setFocus(Qt::OtherFocusReason);
        tvEnvironment->editItem(tvEnvironment->item(row, 0));
    });
    connect(btnRemoveVariable, &QPushButton::clicked, this, [this] {
        if (tvEnvironment->currentRow() >= 0)
            tvEnvironment->removeRow(tvEnvironment->currentRow());
    });
    connect(tvEnvironment, &QTableWidget::currentCellChanged, btnRemoveVariable,
            [this](int row) { btnRemoveVariable->setEnabled(row >= 0); });
    // A PATH set here is where the Operation page's program is looked for.
    connect(tvEnvironment, &QTableWidget::itemChanged, this, [this] { UpdateCommandWarning(); });
    connect(tvEnvironment->model(), &QAbstractItemModel::rowsRemoved, this,
            [this] { UpdateCommandWarning(); });

    auto* startRow = new QHBoxLayout;
    startRow->addWidget(cbCatchUp);
    startRow->addWidget(cbAtStart);
    startRow->addStretch(1);
    auto* overlapRow = new QHBoxLayout;
    overlapRow->addWidget(
        new QLabel(QStringLiteral("If the previous run is still running:"), settingsPage));
    overlapRow->addWidget(rbOverlapAllow);
    overlapRow->addWidget(rbOverlapSkip);
    overlapRow->addStretch(1);
    auto* environmentRow = new QGridLayout;
    environmentRow->addWidget(
        BuddyLabel(QStringLiteral("Env&ironment:"), tvEnvironment, settingsPage), 0, 0);
    environmentRow->addWidget(btnAddVariable, 1, 0);
    environmentRow->addWidget(btnRemoveVariable, 2, 0);
    environmentRow->setRowStretch(3, 1);
    environmentRow->addWidget(tvEnvironment, 0, 1, 4, 1);
    environmentRow->setColumnStretch(1, 1);
    auto* settingsLayout = new QVBoxLayout(settingsPage);
    settingsLayout->addLayout(startRow);
    settingsLayout->addLayout(overlapRow);
    settingsLayout->addLayout(limitRow);
    settingsLayout->addLayout(conditionRow);
    settingsLayout->addLayout(waitRow);
    settingsLayout->addLayout(environmentRow, 1);
    return settingsPage;
}

// Page "When it fails": what happens when a run fails, and when the entry works again.
QWidget* TfmEntry::BuildProblemsPage() {
    auto* problemsPage = new QWidget;
    cbRetries = new QCheckBox(QStringLiteral("&Try again up to"), problemsPage);
    cbRetries->setObjectName(QStringLiteral("cbRetries"));
    seRetries = new QSpinBox(problemsPage);
    seRetries->setObjectName(QStringLiteral("seRetries"));
    seRetries->setRange(1, vantle::MaxRetries);
    seRetryDelay = new QSpinBox(problemsPage);
    seRetryDelay->setObjectName(QStringLiteral("seRetryDelay"));
    seRetryDelay->setRange(1, vantle::MaxTimeLimit);
    for (QSpinBox* box : {seRetries, seRetryDelay}) {
        box->setEnabled(false);
        connect(cbRetries, &QCheckBox::toggled, box, &QWidget::setEnabled);
    }
    // Its access key ticks it at once (see eventFilter).
    cbRetries->installEventFilter(this);
    // Silence is a failure too: an entry that has not run well for so long is told.
    seAlertAfter = new QSpinBox(problemsPage);
    seAlertAfter->setObjectName(QStringLiteral("seAlertAfter"));
    seAlertAfter->setRange(0, vantle::MaxAlertAfter);
    seAlertAfter->setSpecialValueText(QStringLiteral("never"));
    seAlertAfter->setSuffix(QStringLiteral(" h"));
    edOnFailure = new QLineEdit(problemsPage);
    edOnFailure->setObjectName(QStringLiteral("edOnFailure"));
    edOnRecovery = new QLineEdit(problemsPage);
    edOnRecovery->setObjectName(QStringLiteral("edOnRecovery"));
    auto* note = new QLabel(
        QStringLiteral("Empty: the one under Options > Failure and Recovery Commands. The "
                       "command gets VANTLE_ENTRY, VANTLE_RESULT, VANTLE_RUN, VANTLE_TRIGGER, "
                       "VANTLE_ATTEMPT, VANTLE_SCHEDULE and the end of the output on standard "
                       "input."),
        problemsPage);
    note->setObjectName(QStringLiteral("lbCommandsNote"));
    note->setWordWrap(true);
    // It wraps to the page's width and never widens the dialog.
    note->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* retryRow = new QHBoxLayout;
    retryRow->addWidget(cbRetries);
    retryRow->addWidget(seRetries);
    retryRow->addWidget(new QLabel(QStringLiteral("times,"), problemsPage));
    retryRow->addWidget(seRetryDelay);
    retryRow->addWidget(new QLabel(QStringLiteral("minutes apart"), problemsPage));
    retryRow->addStretch(1);
    auto* problemsLayout = new QVBoxLayout(problemsPage);
    problemsLayout->addLayout(retryRow);
    auto* alertRow = new QHBoxLayout;
    alertRow->addWidget(
        BuddyLabel(QStringLiteral("&Alert when no good run for"), seAlertAfter, problemsPage));
    alertRow->addWidget(seAlertAfter);
    alertRow->addStretch(1);
    problemsLayout->addLayout(alertRow);
    problemsLayout->addWidget(
        BuddyLabel(QStringLiteral("On &failure, run:"), edOnFailure, problemsPage));
    problemsLayout->addWidget(edOnFailure);
    problemsLayout->addWidget(
        BuddyLabel(QStringLiteral("On &recovery, run:"), edOnRecovery, problemsPage));
    problemsLayout->addWidget(edOnRecovery);
    problemsLayout->addWidget(note);
    problemsLayout->addStretch(1);
    return problemsPage;
}

// Bottom strip: the buttons.
QWidget* TfmEntry::BuildButtonStrip() {
    auto* bottomStrip = new QWidget(this);
    bottomStrip->setFixedHeight(ButtonStripHeight);
    std::tie(btnOk, btnCancel) = NewOkCancel(bottomStrip);
    btnOk->setMinimumSize(75, 25); // the classic size, or what the style asks
    btnCancel->setMinimumSize(75, 25);
    auto* bottomLayout = new QHBoxLayout(bottomStrip);
    bottomLayout->setContentsMargins(8, 0, 8, 0);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(btnOk);
    bottomLayout->addWidget(btnCancel);
    return bottomStrip;
}

void TfmEntry::OrderTabs() {
    // The tab bar stands for the page control: ordering the page control itself would
    // put the next control after the last control of its pages, which closes loops.
    // The name comes again at the end, so Tab from Cancel goes round to it.
    const std::initializer_list<QWidget*> tabOrder{edName,
                                                   PageControl1->tabBar(),
                                                   edMinutes,
                                                   edHours,
                                                   edDays,
                                                   edMonths,
                                                   cbActive,
                                                   cbAnyDay,
                                                   cbSunday,
                                                   cbMonday,
                                                   cbTuesday,
                                                   cbWednesday,
                                                   cbThursday,
                                                   cbFriday,
                                                   cbSaturday,
                                                   cbOpType,
                                                   cbWindowState,
                                                   edCommand,
                                                   edParms,
                                                   edWorkDir,
                                                   memComment,
                                                   cbCatchUp,
                                                   cbAtStart,
                                                   rbOverlapAllow,
                                                   rbOverlapSkip,
                                                   cbTimeLimit,
                                                   seTimeLimit,
                                                   cbOnlyOnACPower,
                                                   cbOnlyWithNetwork,
                                                   seWaitLimit,
                                                   tvEnvironment,
                                                   btnAddVariable,
                                                   btnRemoveVariable,
                                                   cbRetries,
                                                   seRetries,
                                                   seRetryDelay,
                                                   seAlertAfter,
                                                   edOnFailure,
                                                   edOnRecovery,
                                                   btnOk,
                                                   btnCancel,
                                                   edName};
    QWidget* previous = nullptr;
    for (QWidget* widget : tabOrder) {
        if (previous != nullptr) {
            setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

TfmEntry::~TfmEntry() {
    // Destroying the children moves the focus, and a time field that loses it would
    // convert its text and update a preview that is already gone.
    for (QLineEdit* edit : {edMinutes, edHours, edDays, edMonths}) {
        disconnect(edit, nullptr, this, nullptr);
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
    ShowSettings(vantle::TSchedule{});
    ShowEnvironment({});
    FKept.Clear();
    ShowProblems(vantle::TSchedule{});
    // GCC 12 at -O3 warns falsely (-Wrestrict) on this one-character assignment.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    FStoredWeekDays = "*";
#pragma GCC diagnostic pop
    FShownDays = DayStates();
    UpdatePreview();
}

void TfmEntry::SetEntry(const vantle::TSchedule& entry) {
    FKept.Clear();
    auto show = [this](QLineEdit* edit, const std::string& bytes) {
        edit->setText(TextOfBytes(bytes));
        edit->setCursorPosition(0); // a long command opens on its program, not its end
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
    ShowSettings(entry);
    ShowEnvironment(entry.Environment);
    ShowProblems(entry);
    FStoredWeekDays = entry.WeekDays;
    FShownDays = DayStates();
    UpdatePreview();
    UpdateCommandWarning();
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
    entry.CatchUp = cbCatchUp->isChecked();
    entry.Overlap = rbOverlapSkip->isChecked() ? vantle::TOverlap::Skip : vantle::TOverlap::Allow;
    entry.TimeLimit = cbTimeLimit->isChecked() ? seTimeLimit->value() : 0;
    entry.OnlyOnACPower = cbOnlyOnACPower->isChecked();
    entry.OnlyWithNetwork = cbOnlyWithNetwork->isChecked();
    entry.WaitLimit = seWaitLimit->value();
    entry.AtStart = cbAtStart->isChecked();
    entry.AlertAfter = seAlertAfter->value();
    entry.Retries = cbRetries->isChecked() ? seRetries->value() : 0;
    entry.RetryDelay = seRetryDelay->value();
    entry.OnFailure = FKept.BytesOf(edOnFailure, edOnFailure->text());
    entry.OnRecovery = FKept.BytesOf(edOnRecovery, edOnRecovery->text());
    entry.Environment = EnvironmentPairs();
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

void TfmEntry::SetPreviewServices(const vantle::TClock* clock,
                                  const vantle::TFormatSettings* settings) {
    FClock = clock;
    FFormatSettings = settings;
    FitPreview();
    UpdatePreview();
}

void TfmEntry::FitPreview() {
    // Wide enough for three runs on three days of one year at their widest (an entry that
    // runs daily): the dialog is wider than the classic size where a locale's dates need
    // it, and keeps its width while one types.
    const vantle::TFormatSettings& settings =
        FFormatSettings != nullptr ? *FFormatSettings : vantle::SystemFormatSettings();
    std::vector<vantle::TDateTime> widest;
    for (int day = 28; day <= 30; ++day)
        widest.push_back(vantle::EncodeDate(2026, 12, day) + vantle::EncodeTime(22, 58, 0, 0));
    lbNextRuns->setMinimumWidth(
        lbNextRuns->fontMetrics().horizontalAdvance(NextRunsText(widest, settings)) +
        lbNextRuns->contentsMargins().left() + lbNextRuns->contentsMargins().right());
}

void TfmEntry::accept() {
    // Enter in a time field closes the dialog without the field losing focus.
    edTimeFieldExit(edMinutes, vantle::TTimeFieldKind::Minutes);
    edTimeFieldExit(edHours, vantle::TTimeFieldKind::Hours);
    edTimeFieldExit(edDays, vantle::TTimeFieldKind::Days);
    edTimeFieldExit(edMonths, vantle::TTimeFieldKind::Months);
    if (!EnvironmentAccepted())
        return;
    const vantle::TClock& clock = FClock != nullptr ? *FClock : vantle::SystemClock();
    if (vantle::PreviewTimes(TimesEntry(), clock.Now(), 1).Next.empty() &&
        !cbAtStart->isChecked() &&
        QMessageBox::question(this, QStringLiteral("Vantle Scheduler"),
                              QStringLiteral("This entry will never run. Save it anyway?"),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    QDialog::accept();
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

bool TfmEntry::eventFilter(QObject* watched, QEvent* event) {
    // Qt answers a check box's access key with an animated click that ticks the box only
    // 100 ms later: Tab typed before then found the spin box it enables still disabled and
    // went on to Ok, and the number typed next never reached it. Ticked at once, the box
    // has enabled it before the next key; start-up, which Ok asks about, is ticked before
    // an Alt+O typed next.
    for (QCheckBox* box : {cbTimeLimit, cbRetries, cbOnlyOnACPower, cbOnlyWithNetwork, cbAtStart}) {
        if (watched == box && event->type() == QEvent::Shortcut) {
            box->setFocus(Qt::ShortcutFocusReason);
            box->click();
            return true;
        }
    }
    // A page's access key opens the page and takes the focus into it, in Modify as in
    // Add: left in Name with its text selected, the next key typed would replace the name.
    if (watched != PageControl1->tabBar() || event->type() != QEvent::Shortcut)
        return TCentredDialog::eventFilter(watched, event);
    const bool handled = static_cast<QObject*>(PageControl1->tabBar())->event(event);
    if (QWidget* first = FirstOfPage(PageControl1->currentIndex()))
        first->setFocus(Qt::ShortcutFocusReason);
    return handled;
}

QWidget* TfmEntry::FirstOfPage(int page) const {
    const std::array<QWidget*, 5> firstOfPage{edMinutes, cbOpType, memComment, cbCatchUp,
                                              cbRetries};
    return page >= 0 && page < static_cast<int>(firstOfPage.size())
               ? firstOfPage[static_cast<std::size_t>(page)]
               : nullptr;
}

void TfmEntry::SwitchPage(int step) {
    const int count = PageControl1->count();
    QWidget* focus = QApplication::focusWidget();
    const bool inPage = focus != nullptr && PageControl1->currentWidget()->isAncestorOf(focus);
    int page = PageControl1->currentIndex();
    for (int tried = 0; tried < count; ++tried) {
        page = (page + step + count) % count;
        if (PageControl1->isTabEnabled(page))
            break;
    }
    PageControl1->setCurrentIndex(page);
    // The focus in a page now hidden goes to the new one, as the tab widget's own key does
    // it; from Name, the tab bar or the buttons it stays where it is.
    if (inPage)
        if (QWidget* first = FirstOfPage(page))
            first->setFocus(Qt::TabFocusReason);
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
    UpdateCommandWarning();
}

void TfmEntry::ShowSettings(const vantle::TSchedule& entry) {
    cbCatchUp->setChecked(entry.CatchUp);
    rbOverlapSkip->setChecked(entry.Overlap == vantle::TOverlap::Skip);
    rbOverlapAllow->setChecked(entry.Overlap != vantle::TOverlap::Skip);
    // Without a limit the box offers an hour, a common first choice.
    const bool limited = entry.TimeLimit > 0;
    cbTimeLimit->setChecked(limited);
    seTimeLimit->setValue(limited ? entry.TimeLimit : 60);
    cbOnlyOnACPower->setChecked(entry.OnlyOnACPower);
    cbOnlyWithNetwork->setChecked(entry.OnlyWithNetwork);
    seWaitLimit->setValue(entry.WaitLimit);
    cbAtStart->setChecked(entry.AtStart);
}

void TfmEntry::ShowProblems(const vantle::TSchedule& entry) {
    // Without retries the box offers three; the delay is the entry's even then, so that
    // a delay kept for later survives Ok.
    const bool retried = entry.Retries > 0;
    cbRetries->setChecked(retried);
    seRetries->setValue(retried ? entry.Retries : 3);
    seRetryDelay->setValue(entry.RetryDelay);
    seAlertAfter->setValue(entry.AlertAfter);
    for (auto [edit, bytes] :
         {std::pair{edOnFailure, &entry.OnFailure}, std::pair{edOnRecovery, &entry.OnRecovery}}) {
        edit->setText(TextOfBytes(*bytes));
        edit->setCursorPosition(0);
        FKept.Remember(edit, edit->text(), *bytes);
    }
}

void TfmEntry::ShowEnvironment(const std::vector<std::string>& pairs) {
    tvEnvironment->setRowCount(0);
    for (const std::string& pair : pairs) {
        const std::size_t equals = pair.find('=');
        const std::string name = pair.substr(0, equals);
        const std::string value =
            equals == std::string::npos ? std::string() : pair.substr(equals + 1);
        auto* nameItem = new QTableWidgetItem(TextOfBytes(name));
        nameItem->setData(BytesRole, ByteArrayOf(name));
        nameItem->setData(PairRole, ByteArrayOf(pair));
        auto* valueItem = new QTableWidgetItem(TextOfBytes(value));
        valueItem->setData(BytesRole, ByteArrayOf(value));
        const int row = tvEnvironment->rowCount();
        tvEnvironment->insertRow(row);
        tvEnvironment->setItem(row, 0, nameItem);
        tvEnvironment->setItem(row, 1, valueItem);
    }
    tvEnvironment->setCurrentCell(-1, -1);
    btnRemoveVariable->setEnabled(false);
}

std::optional<std::string> TfmEntry::EnvironmentPairOf(int row) const {
    const QTableWidgetItem* nameItem = tvEnvironment->item(row, 0);
    const QTableWidgetItem* valueItem = tvEnvironment->item(row, 1);
    if (nameItem == nullptr || valueItem == nullptr)
        return std::nullopt;
    const std::string name = BytesOf(nameItem->data(BytesRole));
    const std::string value = BytesOf(valueItem->data(BytesRole));
    if (!nameItem->data(PairRole).isNull() && nameItem->text() == TextOfBytes(name) &&
        valueItem->text() == TextOfBytes(value))
        return BytesOf(nameItem->data(PairRole));
    if (nameItem->text().isEmpty() && valueItem->text().isEmpty())
        return std::nullopt;
    return BytesOfText(nameItem->text(), name) + "=" + BytesOfText(valueItem->text(), value);
}

std::vector<std::string> TfmEntry::EnvironmentPairs() const {
    std::vector<std::string> pairs;
    for (int row = 0; row < tvEnvironment->rowCount(); ++row)
        if (std::optional<std::string> pair = EnvironmentPairOf(row))
            pairs.push_back(std::move(*pair));
    return pairs;
}

bool TfmEntry::EnvironmentAccepted() {
    // A cell still being edited gives its text to the table as the focus leaves it.
    if (QWidget* focus = QApplication::focusWidget();
        focus != nullptr && focus != tvEnvironment && tvEnvironment->isAncestorOf(focus))
        tvEnvironment->setFocus(Qt::OtherFocusReason);
    std::size_t index = 0;
    for (int row = 0; row < tvEnvironment->rowCount(); ++row) {
        const std::optional<std::string> pair = EnvironmentPairOf(row);
        if (!pair)
            continue;
        QString fault = TextOfBytes(vantle::EnvironmentPairFault(*pair, index++));
        if (fault.isEmpty())
            continue;
        fault[0] = fault[0].toUpper();
        QMessageBox::warning(this, QStringLiteral("Vantle Scheduler"), fault + QLatin1Char('.'));
        PageControl1->setCurrentIndex(PageControl1->indexOf(tvEnvironment->parentWidget()));
        tvEnvironment->setCurrentCell(row, 0);
        tvEnvironment->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

void TfmEntry::UpdateCommandWarning() {
    if (lbCommandWarning == nullptr || tvEnvironment == nullptr)
        return; // still being built
    const bool builtin = cbOpType->currentIndex() == vantle::ctBuiltinResetTime;
    // Nothing typed yet is no mistake yet. The program is looked for in the PATH the entry
    // sets, unless that is known only at its run.
    const std::string command = FKept.BytesOf(edCommand, edCommand->text());
    const std::optional<std::string> path = vantle::PathSetBy(EnvironmentPairs());
    const std::uint32_t code =
        builtin || command.empty() || (path && path->find('$') != std::string::npos)
            ? 0
            : vantle::ProbeStart(command, FKept.BytesOf(edWorkDir, edWorkDir->text()),
                                 path.value_or(vantle::SearchPath()));
    QStringList lines;
    if (code != 0)
        lines << QStringLiteral("Cannot start: ") +
                     QString::fromStdString(vantle::StartErrorText(code));
    // A "~" reaches the program as it is: said with what to write instead.
    if (!builtin) {
        vantle::TSchedule typed;
        typed.Command = command;
        typed.Parms = FKept.BytesOf(edParms, edParms->text());
        typed.WorkDir = FKept.BytesOf(edWorkDir, edWorkDir->text());
        for (const std::string& warning :
             vantle::TildeWarnings(typed, vantle::HomeFolder(vantle::ProcessEnvironment()))) {
            QString line = vantle::TextOfBytes(warning);
            line[0] = line[0].toUpper();
            lines << line;
        }
    }
    lbCommandWarning->setText(lines.join(QLatin1Char('\n')));
    lbCommandWarning->setVisible(!lines.isEmpty());
}

void TfmEntry::edTimeFieldChange(QLineEdit* edit) {
    const QString text = edit->text();
    // One byte a character: what is not Latin-1 becomes "?", which the filter drops.
    const QByteArray typed = text.toLatin1();
    const vantle::TTypedTimeField kept =
        vantle::FilterTypedTimeField(std::string_view(typed.constData(), std::size_t(typed.size())),
                                     std::size_t(edit->cursorPosition()));
    const QString filtered = QString::fromLatin1(kept.Text.data(), qsizetype(kept.Text.size()));
    if (filtered != text) {
        edit->setText(filtered); // runs the filter once more, which finds nothing to drop
        edit->setCursorPosition(int(kept.Caret));
        return;
    }
    UpdatePreview();
}

void TfmEntry::edTimeFieldExit(QLineEdit* edit, vantle::TTimeFieldKind kind) {
    const std::string text = edit->text().toStdString();
    const std::string stored = TimeFieldToSave(edit, kind);
    if (stored != text) {
        edit->setText(QString::fromStdString(stored));
    }
}

vantle::TSchedule TfmEntry::TimesEntry() const {
    using vantle::TTimeFieldKind;
    vantle::TSchedule entry;
    entry.Minutes = TimeFieldToSave(edMinutes, TTimeFieldKind::Minutes);
    entry.Hours = TimeFieldToSave(edHours, TTimeFieldKind::Hours);
    entry.Days = TimeFieldToSave(edDays, TTimeFieldKind::Days);
    entry.Months = TimeFieldToSave(edMonths, TTimeFieldKind::Months);
    entry.WeekDays = WeekDaysText();
    return entry;
}

void TfmEntry::UpdatePreview() {
    if (lbNextRuns == nullptr || FUpdating) {
        return; // still being built, or the day boxes are halfway through a change
    }
    const vantle::TClock& clock = FClock != nullptr ? *FClock : vantle::SystemClock();
    const vantle::TFormatSettings& settings =
        FFormatSettings != nullptr ? *FFormatSettings : vantle::SystemFormatSettings();
    const vantle::TTimePreview preview = vantle::PreviewTimes(TimesEntry(), clock.Now(), 3);
    const bool atStartOnly = preview.Next.empty() && cbAtStart != nullptr && cbAtStart->isChecked();
    QPalette palette = lbNextRuns->palette();
    palette.setColor(QPalette::WindowText,
                     preview.Next.empty() && !atStartOnly
                         ? ErrorColour(palette)
                         : QApplication::palette(lbNextRuns).color(QPalette::WindowText));
    lbNextRuns->setPalette(palette);
    if (atStartOnly) {
        lbNextRuns->SetLines({QStringLiteral("Runs at start-up only")}, 1);
    } else if (preview.Next.empty()) {
        lbNextRuns->SetLines({QStringLiteral("Never runs: ") +
                              ToStringList(preview.Never).join(QStringLiteral("; "))},
                             1);
    } else {
        lbNextRuns->SetLines({NextRunsText(preview.Next, settings)}, 1);
    }
    lbTimeNotes->SetLines(ToStringList(preview.Notes), MaxNoteLines);
    lbTimeNotes->setVisible(!preview.Notes.empty());
}

TfmEntry::TDayStates TfmEntry::DayStates() const {
    TDayStates states{};
    for (std::size_t day = 0; day < FDayBoxes.size(); ++day) {
        states[day] = FDayBoxes[day]->isChecked();
    }
    return states;
}

} // namespace vantle
