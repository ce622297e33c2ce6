// Texts between the schedule's bytes and the windows: shown faithfully, given back exactly.
#include "ui/TextBytes.h"

#include <QPlainTextEdit>
#include <QtTest>

using namespace vantle;

class TTextBytesTest : public QObject {
    Q_OBJECT
private slots:
    void ShownAndStored_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("utf-8 stays utf-8") << QByteArray("caf\xc3\xa9") << QString("caf\u00e9")
                                           << QString("caf\u00e9!") << QByteArray("caf\xc3\xa9!");
        QTest::newRow("latin-1 stays latin-1")
            << QByteArray("/opt/caf\xe9/report") << QString("/opt/caf\u00e9/report")
            << QString("/opt/caf\u00e9/report/2") << QByteArray("/opt/caf\xe9/report/2");
        QTest::newRow("beyond latin-1 goes utf-8")
            << QByteArray("caf\xe9") << QString("caf\u00e9") << QString("caf\u00e9 \u20ac")
            << QByteArray("caf\xc3\xa9 \xe2\x82\xac");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QString("\u00c0\u00af")
                                        << QString("\u00c0") << QByteArray("\xc0");
        QTest::newRow("encoded surrogate")
            << QByteArray("\xed\xa0\x80") << QString("\u00ed\u00a0\u0080")
            << QString("\u00ed\u00a0") << QByteArray("\xed\xa0");
        QTest::newRow("new text is utf-8")
            << QByteArray() << QString() << QString("\u00e9") << QByteArray("\xc3\xa9");
    }

    void ShownAndStored() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(QString, edited);
        QFETCH(QByteArray, stored);
        const std::string original = bytes.toStdString();
        QCOMPARE(TextOfBytes(original), shown);
        QVERIFY(BytesOfText(shown, original) == original);
        QVERIFY(BytesOfText(edited, original) == stored.toStdString());
    }

    // A line field's kept bytes are seen through the entry dialog in the main window's tests.
    void UnchangedLinesGiveBackTheirBytesAndKeepThemWhenLinesAreAdded() {
        QPlainTextEdit memo;
        const std::vector<std::string> lines = {"\xe9", "", "x\xc3\xa9"};
        memo.setPlainText(QString("\u00e9\n\nx\u00e9\n"));
        TKeptBytes kept;
        kept.RememberLines(&memo, memo.toPlainText(), lines);
        QVERIFY(kept.LinesOf(&memo, "\u00e9\n\nx\u00e9\nnew\n") ==
                std::vector<std::string>({"\xe9", "", "x\xc3\xa9", "new"}));
    }
};

QTEST_MAIN(TTextBytesTest)
#include "TextBytesTest.moc"
