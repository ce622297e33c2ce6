// The main window answers `vantle-schedctl start` on its control socket from Qt's event
// loop, picking from the list it shows, unsaved edits and all.
#include "platform/LocalSocket.h"
#include "ui/WindowFixture.h"

#include <QtTest>

#include <cerrno>
#include <sys/socket.h>

using namespace vantle;
using namespace vantle::test;

class TSchedMainControlTest : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    // What came on `fd` so far is added to `text`; true once the window closed it.
    static bool Take(int fd, std::string& text) {
        char buffer[4096];
        for (ssize_t got; (got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) != 0;) {
            if (got < 0)
                return errno == ECONNRESET;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }

private slots:
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    void AnswersFromTheListAsShownAndTellsTheRunsEnd() {
        WriteFile(IniPath(), ScheduleText({{.Name = "Old", .Command = "/opt/old"}}));
        FFake->Starter.Pid = 4242;
        TSchedMainServices services = Services();
        services.ControlPath = FDir->File("s.control");
        TfmSchedMain fm(0, std::move(services));
        TSchedule renamed = fm.SchedList()->Items(0);
        renamed.Name = "Renamed";
        fm.SchedList()->Update(0, renamed); // not saved: the file still says "Old"

        auto ask = [&](const std::string& line) {
            int error = 0;
            TOwnFd fd = ConnectLocal(FDir->File("s.control"), error);
            if (fd.Get() < 0 ||
                send(fd.Get(), line.data(), line.size(), MSG_NOSIGNAL) != ssize_t(line.size()))
                qWarning("no connection: %d", error);
            return fd;
        };
        std::string text;
        TOwnFd refused = ask("start Old\n");
        QTRY_VERIFY(Take(refused.Get(), text));
        QCOMPARE(text, std::string("error no entry is named 'Old'\n"));
        QVERIFY(FFake->Starter.Requests.empty());

        TOwnFd waiting = ask("start --wait Renamed\n");
        text.clear();
        QTRY_COMPARE((Take(waiting.Get(), text), text), std::string("started 0\n"));
        QCOMPARE(FFake->Starter.Requests.size(), std::size_t(1));
        QCOMPARE(FFake->Starter.Requests[0].File, std::string("/opt/old"));
        QVERIFY(fm.Scheduler()->ProgramEnded(4242, false, 0));
        QTRY_VERIFY(Take(waiting.Get(), text));
        QCOMPARE(text, std::string("started 0\nended 0 Exited 0\n"));
    }
};

QTEST_MAIN(TSchedMainControlTest)
#include "SchedMainControlTest.moc"
