#include "ui/SchedMain.h"

#include "engine/SchedulerCore.h"
#include "ui/About.h"
#include "ui/Application.h"
#include "ui/Entry.h"
#include "ui/EntryEditor.h"
#include "ui/FileQuestions.h"
#include "ui/ImportCrontab.h"
#include "ui/MainMenu.h"
#include "ui/MomentText.h"
#include "ui/SideWindows.h"
#include "ui/StatusPanels.h"
#include "ui/TextBytes.h"

#include <QCloseEvent>
#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace vantle {

TfmSchedMain::TfmSchedMain(int argumentCount, TSchedMainServices services, QWidget* parent)
    : QMainWindow(parent), FArgumentCount(argumentCount),
      FServices(CompleteServices(std::move(services))) {
    setWindowTitle(QStringLiteral("Vantle Scheduler[*]"));
    // The window's texts are 8 points high, which the fixed pixel sizes of the grid's
    // rows and the status bar's panels are made for.
    QFont windowFont = font();
    windowFont.setPointSize(8);
    setFont(windowFont);
    CreateMenu();
    CreateControls();
    FEntry = new TfmEntry(this);
    FEditor = std::make_unique<TEntryEditor>(*FEntry, FServices, this);
    FAbout = new TfmAbout(this);
    FSide = new TSideWindows(
        *this, FServices.Scheduler.RunView, [this] { return FCore.get(); }, FormatSettings());
    connect(FSide, &TSideWindows::EntryPicked, this,
            [this](std::uint64_t serial) { RunHandler([this, serial] { ModifyEntry(serial); }); });
    connect(FSide, &TSideWindows::Returned, this,
            [this] { RunHandler([this] { RefreshUpcoming(); }); });
    // An error while creating is shown and the window still comes up, as with any
    // other handler.
    RunHandler([this] { FormCreate(); });
    if (FCore) {
        Timer1->Watch(FCore->Loop());
        RunHandler([this] { FCore->Loop().Start(); });
    }
}

TfmSchedMain::~TfmSchedMain() {
    RunHandler([this] { FormDestroy(); });
}

void TfmSchedMain::CreateMenu() {
    FMenu = BuildMainMenu(*this);
    using THandler = void (TfmSchedMain::*)();
    const std::pair<QAction*, THandler> commands[] = {
        {FMenu.Run1, &TfmSchedMain::Run1Click},
        {FMenu.Save1, &TfmSchedMain::Save1Click},
        {FMenu.Refresh1, &TfmSchedMain::Refresh1Click},
        {FMenu.ResetLog1, &TfmSchedMain::ResetLog1Click},
        {FMenu.ImportCrontab1, &TfmSchedMain::ImportCrontab1Click},
        {FMenu.Exit1, &TfmSchedMain::Exit1Click},
        {FMenu.mnAdd, &TfmSchedMain::mnAddClick},
        {FMenu.Modify1, &TfmSchedMain::sgScheduleListClick},
        {FMenu.Delete1, &TfmSchedMain::Delete1Click},
        {FMenu.ExecuteNow1, &TfmSchedMain::ExecuteNow1Click},
        {FMenu.Duplicate1, &TfmSchedMain::Duplicate1Click},
        {FMenu.LogFile1, &TfmSchedMain::LogFile1Click},
        {FMenu.UpcomingRuns1, &TfmSchedMain::UpcomingRuns1Click},
        {FMenu.RunHistory1, &TfmSchedMain::RunHistory1Click},
        {FMenu.About1, &TfmSchedMain::About1Click}};
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this,
                [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
}

void TfmSchedMain::CreateControls() {
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Bevel1 = new QFrame(client);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setFixedHeight(2);
    layout->addWidget(Bevel1);
    // Next Run shows times whether or not the scheduler is on; while it is off, this bar
    // says that nothing runs, with the way to switch it on at hand.
    pnOff = new QFrame(client);
    pnOff->setObjectName(QStringLiteral("pnOff"));
    pnOff->setFrameShape(QFrame::StyledPanel);
    pnOff->setAutoFillBackground(true);
    {
        QPalette palette = pnOff->palette();
        palette.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xce)); // a notice's yellow
        palette.setColor(QPalette::WindowText, Qt::black);
        pnOff->setPalette(palette);
    }
    auto* offLayout = new QHBoxLayout(pnOff);
    offLayout->setContentsMargins(8, 4, 8, 4);
    lbOff = new QLabel(QStringLiteral("The scheduler is off: nothing runs"), pnOff);
    lbOff->setObjectName(QStringLiteral("lbOff"));
    btnSwitchOn = new QPushButton(QStringLiteral("S&witch On"), pnOff);
    btnSwitchOn->setObjectName(QStringLiteral("btnSwitchOn"));
    offLayout->addWidget(lbOff, 1);
    offLayout->addWidget(btnSwitchOn);
    // The same item as File > Run: one check mark, one handler, one log line.
    connect(btnSwitchOn, &QPushButton::clicked, this, [this] {
        if (!FMenu.Run1->isChecked())
            FMenu.Run1->trigger();
    });
    pnOff->hide();
    layout->addWidget(pnOff);
    sgScheduleList = new TScheduleGrid(client);
    sgScheduleList->setObjectName(QStringLiteral("sgScheduleList"));
    layout->addWidget(sgScheduleList);
    setCentralWidget(client);

    // Whatever changed the list, the Save item and the upcoming runs follow it.
    connect(sgScheduleList->Rows(), &TScheduleModel::EntriesChanged, this, [this] {
        UpdateSaveItem();
        RefreshUpcoming();
    });
    connect(sgScheduleList, &TScheduleGrid::RowDoubleClicked, this,
            [this] { RunHandler([this] { sgScheduleListClick(); }); });

    FStatus = std::make_unique<TStatusPanels>(*statusBar());

    Timer1 = new TCycleTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &TCycleTimer::CycleDone, this, [this](std::exception_ptr error) {
        RunHandler([this, error] {
            AfterCycle(); // a reloaded list is shown even when a later step of the pass failed
            if (error)
                std::rethrow_exception(error);
        });
        emit CycleFinished();
    });

    // The client area below the menu is 374 pixels high.
    sgScheduleList->FitMoments(FormatSettings());
    resize(sgScheduleList->PlannedWidth(), 374 + FMenu.MainMenu1->sizeHint().height());
}

// ---- Window events

void TfmSchedMain::FormCreate() {
    FFirstActivate = true;
    TSchedulerServices services = FServices.Scheduler;
    // Results reach the grid as they come: a start, a failure, a program's end.
    services.OnRunEvent = [this, told = services.OnRunEvent](const TRunEvent& event) {
        if (told)
            told(event);
        if (event.Kind == TRunEvent::Records && event.Code == TRecorderNews::Written) {
            FSide->FollowRuns(); // Run History shows what is now on record
            return;
        }
        if (event.Kind == TRunEvent::Records) {
            // Until they are recorded again; that news goes after a while.
            const bool back = event.Code == TRecorderNews::Recovered;
            statusBar()->showMessage(QString::fromStdString(event.Text), back ? 10000 : 0);
            return;
        }
        sgScheduleList->Rows()->ShowRunsOf(event.Name);
        FSide->FollowRuns();
    };
    FCore = std::make_unique<TSchedulerCore>(FServices.ScheduleFile, std::move(services),
                                             TRunLoopServices{.Clock = FServices.Scheduler.Clock,
                                                              .Children = FServices.ChildWatch,
                                                              .StopFd = FServices.StopFd,
                                                              .TakeStop = FServices.TakeStop});
    if (FArgumentCount >= 1)
        FCore->Scheduler().SetEnabled(true);
    FMenu.Run1->setChecked(FCore->Scheduler().Enabled());
    UpdateOffBar();
    // The grid follows the list from its first load on.
    sgScheduleList->Rows()->Attach(FCore->List(), FCore->History(), Clock(), FormatSettings());
    FCore->List().Load();
    UpdateSaveItem();
    // `vantle-schedctl start` picks from the list as shown, unsaved edits and all.
    if (!FServices.ControlPath.empty())
        FCore->ServeControl(FServices.ControlPath);
}

void TfmSchedMain::FormActivate() {
    if (!FFirstActivate)
        return;
    FFirstActivate = false;
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
    if (!SaveBeforeClose(*FCore, FServices.Ask, this))
        canClose = false;
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
    Timer1->Release();
    sgScheduleList->Rows()->Detach(); // before the list goes
    // Switched off here rather than in the scheduler's destructor, so that a log that
    // cannot be written raises where it can be reported.
    if (std::unique_ptr<TSchedulerCore> core = std::move(FCore))
        core->SwitchOff();
}

void TfmSchedMain::Timer1Timer() {
    FCore->Loop().Tick();
}

void TfmSchedMain::AfterCycle() {
    ReportKeptChange();
    UpdateRunColumns();
    UpdateStatusBar();
}

bool TfmSchedMain::AnswerLogout(bool mayAsk) {
    if (!mayAsk || !FCore)
        return true;
    bool canClose = true;
    FormCloseQuery(canClose);
    return canClose;
}

void TfmSchedMain::UpdateOffBar() {
    pnOff->setVisible(FCore && !FCore->Scheduler().Enabled());
}

void TfmSchedMain::UpdateStatusBar() {
    UpdateOffBar();
    const TFormatSettings& settings = FormatSettings();
    FStatus->Show(TextOfBytes(MomentText(Clock().Now(), settings)),
                  TextOfBytes(EnabledText(FCore->Scheduler().Enabled())));
}

void TfmSchedMain::UpdateSaveItem() {
    FMenu.Save1->setEnabled(FCore->List().Modified());
    // The title's "[*]" shows unsaved changes, as desktop programs do.
    setWindowModified(FCore->List().Modified());
    if (FServices.OnUnsaved)
        FServices.OnUnsaved(FCore->List().Modified());
}

// ---- File menu

void TfmSchedMain::Run1Click() {
    // The scheduler takes its new state before it logs it: the status bar shows the state
    // even when the log line cannot be written.
    struct TShowState {
        TfmSchedMain& Window;
        ~TShowState() { Window.UpdateStatusBar(); }
    } showState{*this};
    FCore->Scheduler().SetEnabled(FMenu.Run1->isChecked());
}

void TfmSchedMain::Save1Click() {
    if (!ConfirmOverwrite(FCore->List(), FServices.Ask, this))
        return;
    FCore->Save();
    UpdateSaveItem();
}

void TfmSchedMain::ReportKeptChange() {
    if (FCore->TakeKeptChange())
        TellKeptChange();
}

void TfmSchedMain::Exit1Click() {
    close();
}

void TfmSchedMain::Refresh1Click() {
    if (ConfirmReload(FCore->List(), FServices.Ask, this))
        FCore->List().Load();
}

void TfmSchedMain::ResetLog1Click() {
    if (!ConfirmResetLog(FServices.Ask, this))
        return;
    FCore->Scheduler().Log().Reset();
    FCore->Scheduler().Log().WriteLine("Log file reset");
}

void TfmSchedMain::ImportCrontab1Click() {
    if (FImport == nullptr)
        FImport = new TfmImportCrontab(FServices.ReadCrontab, this);
    std::vector<std::string> names;
    for (const TSchedule* entry : FCore->List().Entries())
        names.push_back(entry->Name);
    FImport->Start(std::move(names));
    if (FServices.ShowModal(*FImport) != QDialog::Accepted)
        return;
    for (const TSchedule& entry : FImport->Entries())
        FCore->List().Add(std::make_unique<TSchedule>(entry));
}

// ---- Edit menu

void TfmSchedMain::mnAddClick() {
    if (FEditor->Add(FCore->List()) && sgScheduleList->CurrentRow() < 0)
        sgScheduleList->SelectRow(0);
}

void TfmSchedMain::sgScheduleListClick() {
    std::optional<std::uint64_t> serial = SelectedEntry();
    if (serial && sgScheduleList->PressOnDataRow())
        ModifyEntry(*serial);
}

void TfmSchedMain::ModifyEntry(std::uint64_t serial) {
    if (FEditor->Modify(FCore->List(), serial))
        FillGrid();
}

void TfmSchedMain::Delete1Click() {
    std::optional<std::uint64_t> serial = SelectedEntry();
    int row = sgScheduleList->CurrentRow();
    if (!serial || !FEditor->Delete(FCore->List(), *serial))
        return;
    // The row below moves up into the place; after the last row, the one above it.
    sgScheduleList->SelectRow(std::min(row, sgScheduleList->Model()->rowCount() - 1));
}

void TfmSchedMain::ExecuteNow1Click() {
    std::optional<std::uint64_t> serial = SelectedEntry();
    if (serial && sgScheduleList->PressOnDataRow()) {
        FCore->Scheduler().ExecuteEntry(FCore->List().IndexOfSerial(*serial));
        // Its time limit and output cap are kept from now, not from the next cycle.
        FCore->Loop().FollowLimits();
    }
}

void TfmSchedMain::Duplicate1Click() {
    if (std::optional<std::uint64_t> serial = SelectedEntry()) {
        FEditor->Duplicate(FCore->List(), *serial);
        FillGrid();
    }
}

// ---- View and Help menus

void TfmSchedMain::LogFile1Click() {
    FSide->ShowLog();
}

void TfmSchedMain::UpcomingRuns1Click() {
    FSide->ShowUpcoming(FCore->List(), Clock().Now());
}

void TfmSchedMain::RunHistory1Click() {
    FSide->ShowRunHistory();
}

void TfmSchedMain::ShowRun(std::int64_t record) {
    FSide->ShowRunHistory(record);
}

void TfmSchedMain::About1Click() {
    FAbout->SetPaths(TextOfBytes(FCore->List().FileName()),
                     TextOfBytes(FCore->Scheduler().Log().FileName()));
    FServices.ShowModal(*FAbout);
}

// ---- The grid

void TfmSchedMain::FillGrid() {
    sgScheduleList->Refill();
    RefreshUpcoming();
}

void TfmSchedMain::UpdateRunColumns() {
    sgScheduleList->Rows()->RefreshRunColumns();
    RefreshUpcoming();
}

void TfmSchedMain::RefreshUpcoming() {
    if (FCore)
        FSide->FollowList(FCore->List(), Clock().Now());
}

std::optional<std::uint64_t> TfmSchedMain::SelectedEntry() const {
    return sgScheduleList->CurrentSerial();
}

} // namespace vantle
