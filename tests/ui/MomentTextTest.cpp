// How the windows write a moment; here the part a list of moments shortens: a date
// without its year, wherever the regional settings put it.
#include "ui/MomentText.h"
#include "platform/FormatSettings.h"

#include <QtTest>

using namespace vantle;

class TMomentTextTest : public QObject {
    Q_OBJECT
private slots:
    void WeekdayMomentWithoutItsYear_data() {
        QTest::addColumn<QString>("date"); // the short date's pattern
        QTest::addColumn<QString>("shown");
        QTest::newRow("year last") << "m/d/yyyy"
                                   << "Tue 12/8 02:30";
        QTest::newRow("two-digit year") << "dd/mm/yy"
                                        << "Tue 08/12 02:30";
        QTest::newRow("year first") << "yyyy-mm-dd"
                                    << "Tue 12-08 02:30";
        QTest::newRow("dots and spaces") << "yyyy. mm. dd."
                                         << "Tue 12. 08. 02:30";
        QTest::newRow("month name") << "d mmm yyyy"
                                    << "Tue 8 Dec 02:30";
        // Bytes after the year mark it as one (年): they go with it.
        QTest::newRow("unit after the year") << "yyyy\xe5\xb9\xb4mm\xe6\x9c\x88"
                                                "dd\xe6\x97\xa5"
                                             << "Tue 12\u670808\u65e5 02:30";
        // A quoted "y" is text, not the year.
        QTest::newRow("quoted letters") << "d 'by' mmm yyyy"
                                        << "Tue 8 by Dec 02:30";
        QTest::newRow("no year") << "d mmmm"
                                 << "Tue 8 December 02:30";
    }

    void WeekdayMomentWithoutItsYear() {
        QFETCH(QString, date);
        QFETCH(QString, shown);
        TFormatSettings settings = FixedFormatSettings();
        settings.ShortDateFormat = date.toStdString();
        settings.ShortTimeFormat = "hh:nn";
        const TDateTime moment = EncodeDate(2026, 12, 8) + EncodeTime(2, 30, 0, 0);
        QCOMPARE(QString::fromStdString(WeekdayMomentText(moment, settings, false)), shown);
        // With its year, the moment as every window writes it.
        QCOMPARE(WeekdayMomentText(moment, settings, true), "Tue " + MomentText(moment, settings));
    }
};

QTEST_MAIN(TMomentTextTest)
#include "MomentTextTest.moc"
