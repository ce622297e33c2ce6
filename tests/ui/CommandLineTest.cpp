// The desktop program's own options, answered before any window.
#include "ui/CommandLine.h"

#include <QtTest>

#include <sstream>

using namespace vantle;

class TCommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code"); // -1: the program starts
        QTest::addColumn<QString>("starts");
        QTest::newRow("none") << QStringList{} << -1 << "";
        QTest::newRow("any word still enables") << QStringList{"go"} << -1 << "";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << -1 << "";
        // Qt's options are words after one dash, not letters, of which one would be h.
        QTest::newRow("qt option") << QStringList{"-stylesheet", "a.qss"} << -1 << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: vantle-scheduler [--enable]";
        QTest::newRow("short help") << QStringList{"-h"} << 0 << "Usage: vantle-scheduler";
        QTest::newRow("help after enable")
            << QStringList{"--enable", "--help"} << 0 << "Usage: vantle-scheduler";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << "vantle-scheduler " VANTLE_TEST_VERSION "\n";
        QTest::newRow("paths") << QStringList{"--paths"} << 0
                               << "schedule: /c/s.INI\nlog: /s/l.LOG\nsettings: /c/v.conf\n";
    }

    void answers() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, starts);
        std::vector<std::string> words;
        for (const QString& arg : args)
            words.push_back(arg.toStdString());
        std::ostringstream out;
        std::optional<int> answer =
            AnswerInfoOption(words, {"/c/s.INI", "/s/l.LOG"}, "/c/v.conf", out);
        QCOMPARE(answer.value_or(-1), code);
        QVERIFY2(QString::fromStdString(out.str()).startsWith(starts), out.str().c_str());
        if (code < 0)
            QCOMPARE(out.str(), std::string());
    }
};

QTEST_GUILESS_MAIN(TCommandLineTest)
#include "CommandLineTest.moc"
