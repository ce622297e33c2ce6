// The grid's rows over the schedule list, and the order a header click gives them, under
// Qt's model tester: every change of the list reaches the views in a form they accept.
#include "ui/ScheduleModel.h"
#include "engine/RunHistory.h"
#include "platform/FormatSettings.h"
#include "sched/SchedList.h"
#include "support/FakeClock.h"
#include "support/TestFiles.h"
#include "ui/ScheduleSort.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace vantle;
using namespace vantle::test;

namespace {

// A list on a file of its own, shown by the model and its sort, both under the tester.
struct TRig {
    TTempDir Dir;
    TSchedList List;
    TRunHistory History;
    TFakeClock Clock{EncodeDate(2024, 3, 4) + EncodeTime(12, 5, 30, 0)}; // a Monday
    TFormatSettings Settings = FixedFormatSettings();
    TScheduleModel Rows;
    TScheduleSort Sorted{&Rows};
    QItemSelectionModel Selection{&Sorted};
    QAbstractItemModelTester RowsTester{&Rows,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal};
    QAbstractItemModelTester SortedTester{&Sorted,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal};

    explicit TRig(const std::vector<TEntryText>& entries) {
        List.SetFileName(Dir.File("s.INI"));
        Write(entries);
        List.Load();
        Rows.Attach(List, History, Clock, Settings);
    }
    ~TRig() { Rows.Detach(); }

    void Write(const std::vector<TEntryText>& entries) {
        WriteFile(List.FileName(), ScheduleText(entries));
    }

    /// The texts of a column: `sorted` as the grid shows them, else in list order.
    QStringList Column(int col, bool sorted) const {
        QStringList texts;
        const QAbstractItemModel& model = sorted ? static_cast<const QAbstractItemModel&>(Sorted)
                                                 : static_cast<const QAbstractItemModel&>(Rows);
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.index(row, col).data().toString();
        return texts;
    }

    /// "0+,6-": columns and directions, in the order the header is clicked.
    void Sort(const QString& clicks) {
        for (const QString& click : clicks.split(',', Qt::SkipEmptyParts))
            Sorted.sort(click.chopped(1).toInt(),
                        click.endsWith('+') ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
};

std::unique_ptr<TSchedule> Named(const std::string& name) {
    return EntryOf({.Name = name});
}

} // namespace

class TScheduleModelTest : public QObject {
    Q_OBJECT

private slots:
    void followsEveryChangeOfTheList() {
        TRig rig({{"b"}, {"c"}, {"a"}});
        // The selected entry stays selected through the changes around it.
        rig.Sort("0+");
        QCOMPARE(rig.Column(0, true), QStringList({"a", "b", "c"}));
        rig.Selection.setCurrentIndex(rig.Sorted.index(2, 0), QItemSelectionModel::Select);

        rig.List.Add(Named("d")); // below the sorted rows: a sort happens on a click only
        QCOMPARE(rig.Column(0, true), QStringList({"a", "b", "c", "d"}));
        rig.List.Insert(1, Named("x"));
        QCOMPARE(rig.Column(0, false), QStringList({"b", "x", "c", "a", "d"}));
        TSchedule changed = rig.List.Items(0);
        changed.Active = false;
        rig.List.Update(0, changed);
        rig.List.Delete(3);
        QCOMPARE(rig.Column(0, false), QStringList({"**b", "x", "c", "d"}));
        QCOMPARE(rig.Sorted.Text(rig.Selection.currentIndex().row(), 0), std::string("c"));

        // A reload shows list order, to fewer rows and to more.
        rig.Write({{"p"}, {"q"}});
        rig.List.Load();
        QVERIFY(!rig.Sorted.Sorted());
        QCOMPARE(rig.Column(0, true), QStringList({"p", "q"}));
        rig.Write({{"p"}, {"q"}, {"r"}, {"s", "1 * * * *", false}});
        rig.List.Load();
        QCOMPARE(rig.Column(0, true), QStringList({"p", "q", "r", "**s"}));

        // An empty list shows one blank row, which holds no entry and cannot be selected.
        while (rig.List.Count() > 0)
            rig.List.Delete(0);
        QCOMPARE(rig.Column(0, true), QStringList({""}));
        QVERIFY(!rig.Sorted.SerialOf(0));
        QCOMPARE(rig.Sorted.flags(rig.Sorted.index(0, 0)), Qt::NoItemFlags);
        rig.List.Add(Named("first")); // takes the blank row's place
        QCOMPARE(rig.Column(0, true), QStringList({"first"}));
        QVERIFY(rig.Sorted.SerialOf(0));
        std::filesystem::remove(rig.List.FileName());
        rig.List.Load();
        QCOMPARE(rig.Column(0, true), QStringList({""}));
    }

    // Cron text written by hand: the Next Run cell says what the lenient reading makes of
    // it, with a warning icon; an entry read as written has neither.
    void nextRunTellsWhatAFieldReadsAs() {
        TRig rig({{"hand", "*/15 9-17 * * mon-fri"}, {"plain", "0,15,30,45 9-17 * * 1-5"}});
        const QModelIndex hand = rig.Rows.index(0, TScheduleModel::colNextRun);
        const QModelIndex plain = rig.Rows.index(1, TScheduleModel::colNextRun);
        QCOMPARE(hand.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Minutes '*/15' reads as '0'\nWeekDays 'mon-fri' reads as '0'\n"
                                "(vantle-schedctl fmt --convert writes the stored form)"));
        QVERIFY(!hand.data(Qt::DecorationRole).isNull());
        QVERIFY(plain.data(Qt::ToolTipRole).isNull());
        QVERIFY(plain.data(Qt::DecorationRole).isNull());
        QVERIFY(rig.Rows.index(0, 0).data(Qt::ToolTipRole).isNull());
    }

    // An entry whose time never comes but that runs at start-up is not "never"; switched
    // off, it shows no next run at all.
    void nextRunOfAnEntryThatRunsAtStartUpOnly() {
        const std::string atStart = "AtStart=Yes\r\n";
        TRig rig({{.Name = "boot", .Time = "0 0 30 2 *", .More = atStart},
                  {.Name = "never", .Time = "0 0 30 2 *"},
                  {.Name = "off", .Time = "0 0 30 2 *", .Active = false, .More = atStart},
                  {.Name = "daily", .Time = "0 13 * * *", .More = atStart}});
        QCOMPARE(rig.Column(TScheduleModel::colNextRun, false),
                 QStringList({"at start-up", "never", "", "3/4/2024 1:00 PM"}));
    }

    // The clock moved on: each refresh shows the next runs anew and tells the views of
    // every row, under the tester.
    void refreshesFollowTheClock() {
        TRig rig({{"lunch", "0 13 * * *"}, {"tea", "0 16 * * *"}});
        QSignalSpy told(&rig.Rows, &QAbstractItemModel::dataChanged);
        const auto next = [&] { return rig.Column(TScheduleModel::colNextRun, false); };
        QCOMPARE(next(), QStringList({"3/4/2024 1:00 PM", "3/4/2024 4:00 PM"}));
        rig.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(14, 0, 0, 0));
        rig.Rows.RefreshRunColumns();
        QCOMPARE(next(), QStringList({"3/5/2024 1:00 PM", "3/4/2024 4:00 PM"}));
        rig.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(17, 0, 0, 0));
        rig.Rows.RefreshAll();
        QCOMPARE(next(), QStringList({"3/5/2024 1:00 PM", "3/5/2024 4:00 PM"}));
        QCOMPARE(told.size(), 2);
        const auto bottomRight = told.last().at(1).value<QModelIndex>();
        QCOMPARE(QList<int>({bottomRight.row(), bottomRight.column()}),
                 QList<int>({1, TScheduleModel::ColCount - 1}));
    }

    void sortRules_data() {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QStringList>("names");
        const QString ete = QString::fromLatin1("\xe9t\xe9");
        QTest::newRow("name ascending: bytes as unsigned codes")
            << "0+" << QStringList{"**beta", "Never", "Zeta", "alpha", ete};
        QTest::newRow("name descending: collation, reversed")
            << "0-" << QStringList{ete, "alpha", "Zeta", "Never", "**beta"};
        QTest::newRow("minutes as text, ties in list order")
            << "1+" << QStringList{"Never", "Zeta", "alpha", "**beta", ete};
        QTest::newRow("ties in the order of the sort before")
            << "0+,1+" << QStringList{"Never", "Zeta", "**beta", "alpha", ete};
        QTest::newRow("next run ascending: never and empty last")
            << "6+" << QStringList{ete, "Zeta", "alpha", "**beta", "Never"};
        QTest::newRow("next run descending: never and empty last")
            << "6-" << QStringList{"alpha", "Zeta", ete, "**beta", "Never"};
        QTest::newRow("never and empty in the order of the sort before")
            << "0-,6-" << QStringList{"alpha", "Zeta", ete, "Never", "**beta"};
        QTest::newRow("last run ascending")
            << "7+" << QStringList{"Zeta", "alpha", "**beta", "Never", ete};
        QTest::newRow("last run descending")
            << "7-" << QStringList{"alpha", "Zeta", "**beta", "Never", ete};
        QTest::newRow("result by its own moment")
            << "8+" << QStringList{"alpha", "Zeta", "**beta", "Never", ete};
    }

    void sortRules() {
        QFETCH(QString, clicks);
        QFETCH(QStringList, names);
        // Now is Monday 12:05:30; "Never" is never due; beta is inactive.
        TRig rig({{"alpha", "5 * * * *"},
                  {"Zeta", "10 * * * *"},
                  {"beta", "5 * * * *", false},
                  {"Never", "0 0 30 2 *"},
                  {"\xe9t\xe9", "7 * * * *"}});
        // Zeta ran before alpha and ended after alpha started.
        const TDateTime monday = EncodeDate(2024, 3, 4);
        rig.History.Apply({TRunEvent::Started, "Zeta", monday - 1 + EncodeTime(6, 0, 0, 0), 0, 7});
        rig.History.Apply({TRunEvent::Started, "alpha", monday + EncodeTime(2, 0, 0, 0), 0, 8});
        rig.History.Apply({TRunEvent::Exited, "Zeta", monday + EncodeTime(6, 0, 9, 0), 0, 0, 9});
        rig.Rows.RefreshRunColumns();
        rig.Sort(clicks);
        QCOMPARE(rig.Column(0, true), names);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TScheduleModelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ScheduleModelTest.moc"
