#include "ui/SchedMain.h"

#include "engine/DateTimeFormat.h"
#include "platform/ExecutablePath.h"
#include "platform/FileLocations.h"
#include "ui/About.h"
#include "ui/Application.h"
#include "ui/Entry.h"
#include "ui/ViewLog.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

using namespace vantle;

TfmSchedMain* fmSchedMain = nullptr;

namespace {

const char* const HeaderTexts[TScheduleGrid::ColCount] = {"Name", "Minutes", "Hours",
                                                          "Days", "Months",  "WeekDays"};

const std::array<int, 2> PanelWidths{110, 50};

QString QStringOf(const std::string& text) {
    return QString::fromUtf8(text);
}

} // namespace

QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Question, caption, shown, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

TSchedMainServices SystemSchedMainServices() {
    TSchedMainServices services;
    services.Scheduler = SystemSchedulerServices();
    if (services.Scheduler.ExecutablePath.empty())
        services.Scheduler.ExecutablePath = ExecutablePath();
    TFileLocations files = LocateFiles(services.Scheduler.ExecutablePath, ProcessEnvironment());
    MakeFileFolders(files);
    services.ScheduleFile = files.ScheduleFile;
    services.Scheduler.LogFile = files.LogFile;
    services.Ask = AskQuestion;
    services.ShowModal = [](QDialog& dialog) { return dialog.exec(); };
    return services;
}

TfmSchedMain::TfmSchedMain(int argumentCount, TSchedMainServices services, QWidget* parent)
    : QMainWindow(parent), FArgumentCount(argumentCount), FServices(std::move(services)) {
    if (!FServices.Ask)
        FServices.Ask = AskQuestion;
    if (!FServices.ShowModal)
        FServices.ShowModal = [](QDialog& dialog) { return dialog.exec(); };
    if (FServices.Scheduler.ExecutablePath.empty())
        FServices.Scheduler.ExecutablePath = ExecutablePath();
    setWindowTitle(QStringLiteral("Vantle Scheduler"));
    // The window's texts are 8 points high, which the fixed pixel sizes of the grid's
    // rows and the status bar's panels are made for.
    QFont windowFont = font();
    windowFont.setPointSize(8);
    setFont(windowFont);
    CreateMenu();
    CreateControls();
    // An error while creating is shown and the window still comes up, as with any
    // other handler.
    RunHandler([this] { FormCreate(); });
    Timer1->start();
}

TfmSchedMain::~TfmSchedMain() {
    RunHandler([this] { FormDestroy(); });
}

void TfmSchedMain::CreateMenu() {
    MainMenu1 = menuBar();
    auto item = [this](QMenu* menu, const char* name, const char* caption,
                       const QKeySequence& shortcut, void (TfmSchedMain::*handler)()) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(name));
        action->setShortcut(shortcut);
        if (handler != nullptr)
            connect(action, &QAction::triggered, this,
                    [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QString::fromUtf8(name));
        return action;
    };

    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Run1 = item(File1, "Run1", "&Run", {}, &TfmSchedMain::Run1Click);
    Run1->setCheckable(true);
    Save1 = item(File1, "Save1", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S),
                 &TfmSchedMain::Save1Click);
    Save1->setEnabled(false); // nothing to save until the list says otherwise
    Refresh1 = item(File1, "Refresh1", "Re&fresh", {}, &TfmSchedMain::Refresh1Click);
    N2 = separator(File1, "N2");
    ResetLog1 = item(File1, "ResetLog1", "&Reset Log", {}, &TfmSchedMain::ResetLog1Click);
    N4 = separator(File1, "N4");
    Exit1 = item(File1, "Exit1", "E&xit", {}, &TfmSchedMain::Exit1Click);

    Edit1 = MainMenu1->addMenu(QStringLiteral("&Edit"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    mnAdd =
        item(Edit1, "mnAdd", "&Add...", QKeySequence(Qt::Key_Insert), &TfmSchedMain::mnAddClick);
    Modify1 = item(Edit1, "Modify1", "&Modify...", QKeySequence(Qt::CTRL | Qt::Key_M),
                   &TfmSchedMain::sgScheduleListClick);
    Delete1 = item(Edit1, "Delete1", "&Delete", QKeySequence(Qt::Key_Delete),
                   &TfmSchedMain::Delete1Click);
    N1 = separator(Edit1, "N1");
    ExecuteNow1 = item(Edit1, "ExecuteNow1", "&Execute Now", QKeySequence(Qt::CTRL | Qt::Key_E),
                       &TfmSchedMain::ExecuteNow1Click);
    N3 = separator(Edit1, "N3");
    Duplicate1 = item(Edit1, "Duplicate1", "Dup&licate", QKeySequence(Qt::CTRL | Qt::Key_D),
                      &TfmSchedMain::Duplicate1Click);
    Cut1 = item(Edit1, "Cut1", "C&ut", QKeySequence(Qt::CTRL | Qt::Key_X), nullptr);
    Copy1 = item(Edit1, "Copy1", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), nullptr);
    Paste1 = item(Edit1, "Paste1", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), nullptr);
    for (QAction* action : {Cut1, Copy1, Paste1})
        action->setEnabled(false);

    View1 = MainMenu1->addMenu(QStringLiteral("&View"));
    View1->setObjectName(QStringLiteral("View1"));
    LogFile1 = item(View1, "LogFile1", "&Log File", {}, &TfmSchedMain::LogFile1Click);

    Help1 = MainMenu1->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    About1 = item(Help1, "About1", "&About...", {}, &TfmSchedMain::About1Click);
}

void TfmSchedMain::CreateControls() {
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Bevel1 = new QFrame(client);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setFixedHeight(2);
    layout->addWidget(Bevel1);
    sgScheduleList = new TScheduleGrid(client);
    sgScheduleList->setObjectName(QStringLiteral("sgScheduleList"));
    layout->addWidget(sgScheduleList);
    setCentralWidget(client);

    sgScheduleList->OnSelectCell = [this](std::int32_t col, std::int32_t row, bool& canSelect) {
        sgScheduleListSelectCell(col, row, canSelect);
    };
    connect(sgScheduleList, &TScheduleGrid::MouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
                RunHandler([&] { sgScheduleListMouseDown(button, shift, x, y); });
            });
    connect(sgScheduleList, &TScheduleGrid::KeyDown, this,
            [this](int key, Qt::KeyboardModifiers shift) {
                RunHandler([&] { sgScheduleListKeyDown(key, shift); });
            });
    connect(sgScheduleList, &TScheduleGrid::DblClick, this,
            [this] { RunHandler([this] { sgScheduleListClick(); }); });

    StatusBar1 = statusBar();
    for (std::size_t i = 0; i < Panels.size(); ++i) {
        Panels[i] = new QLabel(StatusBar1);
        Panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(Panels[i]);
    }
    Panels[0]->setFixedWidth(PanelWidths[0]);
    Panels[0]->setAlignment(Qt::AlignCenter);
    Panels[1]->setFixedWidth(PanelWidths[1]);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(1000); // the first tick; every tick re-arms it
    connect(Timer1, &QTimer::timeout, this, [this] { RunHandler([this] { Timer1Timer(); }); });

    // The client area below the menu is 582 by 374 pixels.
    resize(582, 374 + MainMenu1->sizeHint().height());
}

const TClock& TfmSchedMain::Clock() const {
    return FServices.Scheduler.Clock != nullptr ? *FServices.Scheduler.Clock : SystemClock();
}

const TFormatSettings& TfmSchedMain::FormatSettings() const {
    return FServices.Scheduler.FormatSettings != nullptr ? *FServices.Scheduler.FormatSettings
                                                         : SystemFormatSettings();
}

QMessageBox::StandardButton TfmSchedMain::Ask(const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) {
    return FServices.Ask(this, caption, text, buttons, defaultButton);
}

int TfmSchedMain::ShowModal(QDialog& dialog) {
    return FServices.ShowModal(dialog);
}

// ---- Window events

void TfmSchedMain::FormCreate() {
    FirstActivate = true;
    SchedList = std::make_unique<TSchedList>();
    Scheduler = std::make_unique<TScheduler>(*SchedList, FServices.Scheduler);
    SchedList->SetFileName(FServices.ScheduleFile.empty()
                               ? ChangeFileExt(FServices.Scheduler.ExecutablePath, ".INI")
                               : FServices.ScheduleFile);
    for (int col = 0; col < TScheduleGrid::ColCount; ++col)
        sgScheduleList->SetCells(col, 0, HeaderTexts[col]);
    if (FArgumentCount >= 1)
        Scheduler->SetEnabled(true);
    Run1->setChecked(Scheduler->Enabled());
    SchedList->Load();
    UpdateSaveItem();
}

void TfmSchedMain::FormActivate() {
    if (!FirstActivate)
        return;
    FirstActivate = false;
    FillGrid();
    UpdateStatusBar();
}

bool TfmSchedMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        RunHandler([this] { FormActivate(); });
    return QMainWindow::event(event);
}

void TfmSchedMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Shown counts as activated: without a window manager the window may never be
    // told it is active, and it must still show its entries.
    RunHandler([this] { FormActivate(); });
}

void TfmSchedMain::FormCloseQuery(bool& canClose) {
    if (!SchedList->Modified())
        return;
    switch (Ask(QStringLiteral("Scheduler"),
                QStringLiteral("The schedule has changed.\r\nDo you want to save it now?"),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        SchedList->Save();
        break;
    case QMessageBox::No:
        break;
    default:
        canClose = false;
    }
}

void TfmSchedMain::closeEvent(QCloseEvent* event) {
    // Stays open unless the question agrees, also when saving fails in it.
    bool canClose = false;
    RunHandler([&] {
        bool agreed = true;
        FormCloseQuery(agreed);
        canClose = agreed;
    });
    if (!canClose) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

void TfmSchedMain::FormDestroy() {
    if (Scheduler) {
        // Switched off here rather than in the scheduler's destructor, so that a log
        // that cannot be written raises where it can be reported.
        std::unique_ptr<TScheduler> scheduler = std::move(Scheduler);
        scheduler->SetEnabled(false);
    }
    SchedList.reset();
}

void TfmSchedMain::Timer1Timer() {
    Scheduler->RunCycle();
    if (SchedList->Reloaded()) {
        SchedList->SetReloaded(false);
        FillGrid();
        UpdateSaveItem();
    }
    UpdateStatusBar();
    // Five seconds past the next whole minute, from now. Assigning the interval the
    // timer already has would restart its countdown, so only a new one is set.
    std::int32_t interval = NextCycleInterval(Clock().Now());
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
}

void TfmSchedMain::UpdateStatusBar() {
    const TFormatSettings& settings = FormatSettings();
    Panels[0]->setText(
        QStringOf(FormatDateTime(settings.ShortDateFormat + " hh:mm", Clock().Now(), settings)));
    Panels[1]->setText(QStringLiteral(" ") + QStringOf(EnabledText(Scheduler->Enabled())));
    // Wider than planned only when the user's font or date format needs it.
    for (std::size_t i = 0; i < Panels.size(); ++i)
        Panels[i]->setFixedWidth(std::max(PanelWidths[i], Panels[i]->sizeHint().width()));
}

void TfmSchedMain::UpdateSaveItem() {
    Save1->setEnabled(SchedList->Modified());
}

// ---- File menu

void TfmSchedMain::Run1Click() {
    Scheduler->SetEnabled(Run1->isChecked());
    UpdateStatusBar();
}

void TfmSchedMain::Save1Click() {
    SchedList->Save();
    UpdateSaveItem();
}

void TfmSchedMain::Exit1Click() {
    close();
}

void TfmSchedMain::Refresh1Click() {
    if (SchedList->Modified() &&
        Ask(QStringLiteral("Scheduler"),
            QStringLiteral("Schedule has changed.  Overwrite those changes?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    SchedList->Load();
    FillGrid();
    UpdateSaveItem();
}

void TfmSchedMain::ResetLog1Click() {
    Scheduler->Log().Reset();
    Scheduler->Log().WriteLine("Log file reset");
}

// ---- Edit menu

void TfmSchedMain::mnAddClick() {
    fmEntry->SetNewEntry();
    if (ShowModal(*fmEntry) != QDialog::Accepted)
        return;
    std::uint64_t serial = SchedList->SerialOf(SchedList->Add(std::make_unique<TSchedule>()));
    CopyDialogToEntry(serial);
    // At the bottom, even when the grid is sorted.
    if (SchedList->Count() >= sgScheduleList->RowCount())
        sgScheduleList->SetRowCount(sgScheduleList->RowCount() + 1);
    ShowEntryInRow(SchedList->IndexOfSerial(serial), sgScheduleList->RowCount() - 1);
    sgScheduleList->Refresh();
    UpdateSaveItem();
}

void TfmSchedMain::sgScheduleListClick() {
    std::optional<std::uint64_t> serial = SelectedEntry();
    if (!serial || !PressOnDataRow())
        return;
    fmEntry->SetEntry(SchedList->Items(SchedList->IndexOfSerial(*serial)));
    if (ShowModal(*fmEntry) != QDialog::Accepted)
        return;
    // A tick may have reloaded the list meanwhile; the serial then finds nothing and
    // the list raises its index error.
    CopyDialogToEntry(*serial);
    ShowEntryInRow(SchedList->IndexOfSerial(*serial), sgScheduleList->Row());
    UpdateSaveItem();
}

void TfmSchedMain::CopyDialogToEntry(std::uint64_t serial) {
    TSchedule values = fmEntry->GetEntry();
    SchedList->Update(SchedList->IndexOfSerial(serial), values);
}

void TfmSchedMain::Delete1Click() {
    std::optional<std::uint64_t> serial = SelectedEntry();
    if (!serial)
        return;
    std::string name = SchedList->Items(SchedList->IndexOfSerial(*serial)).Name;
    if (Ask(QStringLiteral("Confirm Delete"),
            QStringLiteral("Delete schedule for %1?").arg(QStringOf(name)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    SchedList->Delete(SchedList->IndexOfSerial(*serial));
    RemoveRow();
    UpdateSaveItem();
}

void TfmSchedMain::ExecuteNow1Click() {
    std::optional<std::uint64_t> serial = SelectedEntry();
    if (!serial || !PressOnDataRow())
        return;
    Scheduler->ExecuteEntry(SchedList->IndexOfSerial(*serial));
}

void TfmSchedMain::Duplicate1Click() {
    std::optional<std::uint64_t> serial = SelectedEntry();
    if (!serial)
        return;
    std::int32_t index = SchedList->IndexOfSerial(*serial);
    auto copy = std::make_unique<TSchedule>();
    CopyEntry(*copy, SchedList->Items(index));
    copy->Active = false;
    if (index == SchedList->Count() - 1)
        SchedList->Add(std::move(copy));
    else
        SchedList->Insert(index + 1, std::move(copy));
    FillGrid();
    UpdateSaveItem();
}

// ---- View and Help menus

void TfmSchedMain::LogFile1Click() {
    fmViewLog->lbLogFileName->setText(QStringOf(Scheduler->Log().FileName()));
    std::vector<std::string> lines;
    Scheduler->Log().AssignTo(lines);
    fmViewLog->SetLines(lines);
    ShowModal(*fmViewLog);
    fmViewLog->memLog->clear(); // the copy of the log is not kept
}

void TfmSchedMain::About1Click() {
    fmAbout->SetPaths(QStringOf(SchedList->FileName()), QStringOf(Scheduler->Log().FileName()));
    ShowModal(*fmAbout);
}

// ---- The grid

void TfmSchedMain::FillGrid() {
    std::int32_t count = SchedList->Count();
    sgScheduleList->SetRowCount(std::max(count + 1, 2));
    for (std::int32_t i = 0; i < count; ++i)
        ShowEntryInRow(i, i + 1);
    if (count == 0) {
        for (int col = 0; col < TScheduleGrid::ColCount; ++col)
            sgScheduleList->SetCells(col, 1, {});
        sgScheduleList->SetObjects(1, std::nullopt);
    }
    sgScheduleList->Refresh();
}

void TfmSchedMain::ShowEntryInRow(std::int32_t index, std::int32_t row) {
    const TSchedule& entry = SchedList->Items(index);
    sgScheduleList->SetCells(0, row,
                             entry.Active ? entry.Name : std::string("**").append(entry.Name));
    sgScheduleList->SetCells(1, row, entry.Minutes);
    sgScheduleList->SetCells(2, row, entry.Hours);
    sgScheduleList->SetCells(3, row, entry.Days);
    sgScheduleList->SetCells(4, row, entry.Months);
    sgScheduleList->SetCells(5, row, entry.WeekDays);
    sgScheduleList->SetObjects(row, SchedList->SerialOf(index));
}

std::optional<std::uint64_t> TfmSchedMain::SelectedEntry() const {
    std::int32_t row = sgScheduleList->Row();
    if (row < 1 || row > SchedList->Count())
        return std::nullopt;
    return sgScheduleList->Objects(row);
}

bool TfmSchedMain::PressOnDataRow() const {
    if (MouseX < 0)
        return true;
    std::int32_t headerHeight = sgScheduleList->RowHeights(0);
    std::int32_t bottom = headerHeight;
    for (std::int32_t row = sgScheduleList->TopRow(); row < sgScheduleList->RowCount(); ++row) {
        bottom += sgScheduleList->RowHeights(row);
        if (bottom > sgScheduleList->ClientHeight())
            break;
    }
    return headerHeight < MouseY && MouseY < bottom;
}

void TfmSchedMain::SortGrid(std::int32_t col) {
    if (col != SortCol) {
        SortAscending = true;
        SortCol = col;
    } else {
        SortAscending = !SortAscending;
    }
    std::int32_t rowCount = sgScheduleList->RowCount();
    std::vector<TGridSortInfo> infos;
    std::vector<TScheduleGrid::TRowCopy> rows;
    infos.reserve(static_cast<std::size_t>(rowCount - 1));
    rows.reserve(static_cast<std::size_t>(rowCount - 1));
    for (std::int32_t row = 1; row < rowCount; ++row) {
        infos.push_back({sgScheduleList->Cells(col, row), row - 1});
        rows.push_back(sgScheduleList->CopyRow(row));
    }
    auto compare = SortAscending ? CompareAscending : CompareDescending;
    std::sort(
        infos.begin(), infos.end(),
        [compare](const TGridSortInfo& a, const TGridSortInfo& b) { return compare(a, b) < 0; });
    for (std::int32_t row = 1; row < rowCount; ++row)
        sgScheduleList->WriteRow(
            row, rows[static_cast<std::size_t>(infos[static_cast<std::size_t>(row - 1)].RowIndex)]);
    sgScheduleList->Refresh();
}

void TfmSchedMain::RemoveRow() {
    std::int32_t current = sgScheduleList->Row();
    if (sgScheduleList->RowCount() == 2) {
        sgScheduleList->SetRowCount(3); // the new row is blank, without an entry
    }
    for (std::int32_t row = current; row <= sgScheduleList->RowCount() - 2; ++row)
        sgScheduleList->WriteRow(row, sgScheduleList->CopyRow(row + 1));
    std::int32_t last = sgScheduleList->RowCount() - 1;
    sgScheduleList->WriteRow(last, {});
    sgScheduleList->SetRowCount(last);
    if (sgScheduleList->Row() > sgScheduleList->RowCount() - 1)
        sgScheduleList->SetRow(sgScheduleList->RowCount() - 1);
    sgScheduleList->Refresh();
}

void TfmSchedMain::sgScheduleListMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int x,
                                           int y) {
    MouseX = x;
    MouseY = y;
    if (button != Qt::LeftButton || y > sgScheduleList->RowHeights(0))
        return;
    // Columns as shown, from the first one at the left edge; a shared edge belongs to
    // the column on its left.
    std::int32_t left = 0;
    for (std::int32_t col = sgScheduleList->LeftCol(); col < TScheduleGrid::ColCount; ++col) {
        std::int32_t right = left + sgScheduleList->ColWidths(col);
        if (x >= left && x <= right) {
            SortGrid(col);
            return;
        }
        left = right + TScheduleGrid::GridLineWidth;
    }
}

void TfmSchedMain::sgScheduleListKeyDown(int, Qt::KeyboardModifiers) {
    MouseX = -1;
    MouseY = -1;
}

void TfmSchedMain::sgScheduleListSelectCell(std::int32_t, std::int32_t row, bool& canSelect) {
    canSelect = SchedList != nullptr && row <= SchedList->Count();
}
