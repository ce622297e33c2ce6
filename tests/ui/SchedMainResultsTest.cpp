// The main window with the real program starter and child watch: how started programs
// end reaches the grid and the log, and nothing they leave behind stays a zombie. A
// process of its own, as becoming a subreaper lasts for life.
#include "engine/RunStore.h"
#include "platform/ChildWatch.h"
#include "platform/ProgramStarterPosix.h"
#include "ui/WindowFixture.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <cerrno>
#include <sys/timerfd.h>
#include <sys/wait.h>

using namespace vantle;
using namespace vantle::test;

class TSchedMainResultsTest : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    TPosixProgramStarter FStarter;
    std::unique_ptr<TChildWatch> FWatch;

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
        auto fm = std::make_unique<TfmSchedMain>(0, std::move(services));
        Child<TCycleTimer>(*fm, "Timer1")->stop();
        fm->show();
        return fm;
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
        QWidget* history = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == "fmRunHistory")
                history = window;
        QVERIFY(history != nullptr);
        QVERIFY(history->parentWidget() == nullptr);
        QVERIFY(!history->testAttribute(Qt::WA_QuitOnClose));
        auto* list = Child<QTableView>(*history, "lvRuns");
        Child<QAction>(*fm, "ExecuteNow1")->trigger();
        QTRY_COMPARE(list->model()->index(0, 3).data().toString(), QString("Exited 3"));
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
};

int main(int argc, char** argv) {
    TChildWatch::BlockChildSignal(); // before the application starts any thread
    TApplication app(argc, argv);
    TSchedMainResultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SchedMainResultsTest.moc"
