// The main window with the real program starter and child watch: how started programs
// end reaches the grid and the log, and nothing they leave behind stays a zombie. A
// process of its own, as becoming a subreaper lasts for life.
#include "engine/RunStore.h"
#include "platform/ChildWatch.h"
#include "platform/ProgramStarterPosix.h"
#include "ui/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include <cerrno>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <tuple>

using namespace vantle;
using namespace vantle::test;

class TSchedMainResultsTest : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    TPosixProgramStarter FStarter;
    std::unique_ptr<TChildWatch> FWatch;
    QStringList FEdited; // the entries the entry dialog was shown for

    std::unique_ptr<TfmSchedMain> ShowWindow(const std::string& parms,
                                             TRunRecorder* recorder = nullptr,
                                             TRunView* view = nullptr) {
        WriteFile(IniPath(),
                  ScheduleText({{.Name = "Job", .Command = VANTLE_ENDHELPER, .Parms = parms}}));
        TSchedMainServices services = Services();
        services.Scheduler.Starter = &FStarter;
        services.ChildWatch = FWatch.get();
        services.Scheduler.Recorder = recorder;
        services.Scheduler.RunView = view;
        services.ShowModal = [this](QDialog& dialog) {
            if (auto* name = dialog.findChild<QLineEdit*>("edName"))
                FEdited << name->text();
            return int(QDialog::Rejected);
        };
        auto fm = std::make_unique<TfmSchedMain>(0, std::move(services));
        Child<TCycleTimer>(*fm, "Timer1")->stop();
        fm->show();
        return fm;
    }

    /// The open top-level window of that object name, or null.
    static QWidget* TopLevel(const char* name) {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == name && window->isVisible())
                return window;
        return nullptr;
    }

    /// No child left, ended or running, without reaping one here.
    static bool NoChildLeft() {
        siginfo_t info{};
        return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
    }

private slots:
    void initTestCase() { FWatch = std::make_unique<TChildWatch>(); }

    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    // How an end is logged is the scheduler's own affair; here it must reach the grid,
    // told apart by code and signal.
    void endsReachTheGrid_data() {
        QTest::addColumn<QString>("parms");
        QTest::addColumn<QString>("result");
        QTest::newRow("exit 3") << "exit 3"
                                << "Exited 3";
        QTest::newRow("signal") << "signal 15"
                                << "Killed by signal 15";
        // What it leaves behind ends later, and is reaped then.
        QTest::newRow("orphan") << "orphan 200"
                                << "Exited 0 after 0 s";
    }

    void endsReachTheGrid() {
        QFETCH(QString, parms);
        QFETCH(QString, result);
        auto fm = ShowWindow(parms.toStdString());
        Child<QAction>(*fm, "ExecuteNow1")->trigger();
        QTRY_COMPARE(Column(*fm, TScheduleModel::colResult), QStringList{result});
        QTRY_VERIFY(NoChildLeft());
    }

    // View > Run History follows the runs as they end, and stops a running one for the
    // user, which the record says.
    void runHistoryFollowsAndStopsRuns() {
        TTempDir dir;
        std::int64_t lastKey = 0;
        TRunRecorder recorder(dir.File("state"), IniPath(),
                              {.MakeKey = [&lastKey] { return ++lastKey; }});
        TRunView view(dir.File("state"), IniPath());
        auto fm = ShowWindow("print 3", &recorder, &view);
        Child<QAction>(*fm, "RunHistory1")->trigger();
        // A window of its own, not one the window manager keeps above the main window,
        // and not one that keeps the program running once the main window is closed.
        QWidget* history = TopLevel("fmRunHistory");
        QVERIFY(history != nullptr);
        QVERIFY(history->parentWidget() == nullptr);
        QVERIFY(!history->testAttribute(Qt::WA_QuitOnClose));
        auto* list = Child<QTableView>(*history, "lvRuns");
        Child<QAction>(*fm, "ExecuteNow1")->trigger();
        QTRY_COMPARE(list->model()->index(0, 3).data().toString(), QString("Exited 3"));
        // A double click on a run opens its entry.
        emit list->doubleClicked(list->model()->index(0, 1));
        QCOMPARE(FEdited, QStringList{"Job"});
        fm->SchedList()->Items(0).Parms = "sleep 60000";
        Child<QAction>(*fm, "ExecuteNow1")->trigger();
        QTRY_COMPARE(list->model()->rowCount(), 2);
        fm->ShowRun(2);
        Child<QPushButton>(*history, "btnStopRun")->click();
        QTRY_COMPARE(list->model()->index(0, 3).data().toString(), QString("Stopped by the user"));
        QCOMPARE(Column(*fm, TScheduleModel::colResult), QStringList{"Stopped by the user"});
        QTRY_VERIFY(NoChildLeft());
    }

    // A run started by Execute Now, between two cycles, has its output held from the
    // start: the loop wakes within a second for it, not at the next cycle.
    void executeNowArmsTheLoopForItsRun() {
        TTempDir dir;
        TRunRecorder recorder(dir.File("state"), IniPath());
        auto fm = ShowWindow("sleep 2000", &recorder);
        int limits = -1;
        for (const TRunLoop::TWatch& watch : fm->Loop()->Watches())
            if (watch.Source == TRunLoop::TSource::Limits)
                limits = watch.Fd;
        Child<QAction>(*fm, "ExecuteNow1")->trigger();
        itimerspec armed{};
        QCOMPARE(timerfd_gettime(limits, &armed), 0);
        QVERIFY(armed.it_value.tv_sec > 0 || armed.it_value.tv_nsec > 0);
        QVERIFY(armed.it_value.tv_sec < 1 ||
                (armed.it_value.tv_sec == 1 && armed.it_value.tv_nsec == 0));
        QTRY_VERIFY_WITH_TIMEOUT(NoChildLeft(), 20000);
    }

    // One moment reads the same in every window, in the regional settings' date and time
    // of day (here the fixed US ones, a 12-hour clock): a run's start in Run History, its
    // Last Run in the grid, the next run in the grid and in Upcoming, the status bar.
    // Only the start of a run carries its second. A column holds its moments whole, at
    // their widest: two-digit months, days and hours, in the evening.
    void everyWindowShowsAMomentAlike() {
        FFake->Clock.Set(EncodeDate(2026, 12, 28) + EncodeTime(22, 58, 58, 0));
        TTempDir dir;
        TRunRecorder recorder(dir.File("state"), IniPath());
        TRunView view(dir.File("state"), IniPath());
        auto fm = ShowWindow("exit 0", &recorder, &view);
        Child<QAction>(*fm, "ExecuteNow1")->trigger();
        Child<QAction>(*fm, "RunHistory1")->trigger();
        auto* runs = Child<QTableView>(*TopLevel("fmRunHistory"), "lvRuns");
        QTRY_COMPARE(runs->model()->index(0, 3).data().toString(), QString("Exited 0"));
        Child<QAction>(*fm, "UpcomingRuns1")->trigger();
        auto* upcoming = Child<QTableWidget>(*Child<QWidget>(*fm, "fmUpcoming"), "lvRuns");
        QCOMPARE(
            (QStringList{runs->model()->index(0, 0).data().toString(),
                         Column(*fm, TScheduleModel::colLastRun).value(0),
                         Column(*fm, TScheduleModel::colNextRun).value(0),
                         upcoming->item(0, 0)->text(), Child<QLabel>(*fm, "Panel0")->text()}),
            (QStringList{"12/28/2026 10:58:58 PM", "12/28/2026 10:58 PM", "12/28/2026 10:59 PM",
                         "12/28/2026 10:59 PM", "12/28/2026 10:58 PM"}));
        QStringList cut; // the columns too narrow for their moments: where, needed, given
        for (auto [where, list, col] :
             {std::tuple<const char*, QTableView*, int>{"Run History", runs, 0},
              {"Next Run", Grid(*fm), TScheduleModel::colNextRun},
              {"Last Run", Grid(*fm), TScheduleModel::colLastRun},
              {"Upcoming", upcoming, 0}}) {
            const int needed = static_cast<QAbstractItemView*>(list)->sizeHintForColumn(col);
            if (needed > list->columnWidth(col))
                cut << QStringLiteral("%1 %2 %3")
                           .arg(where)
                           .arg(needed)
                           .arg(list->columnWidth(col));
        }
        QCOMPARE(cut.join("; "), QString());
        // Run History opens wide enough for its columns.
        QVERIFY(!runs->horizontalScrollBar()->isVisible());
        QTRY_VERIFY(NoChildLeft());
    }
};

int main(int argc, char** argv) {
    TChildWatch::BlockChildSignal(); // before the application starts any thread
    TApplication app(argc, argv);
    TSchedMainResultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SchedMainResultsTest.moc"
