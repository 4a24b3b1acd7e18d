// RIT, XIT and CTCSS commands: RT, XT, RC, RU, RD, CT and CN, and how the RIT offset shows
// in the IF status answer.

#include "InterpreterHarness.h"
#include "InterpreterTables.h"

#include <QTest>

class tst_interpreter_rit : public InterpreterTables
{
    Q_OBJECT
private slots:
    void ritOffsetInIf_data();
    void ritOffsetInIf();
    void rcClearsWithAnEmptyLogLine();
    void xitIsIndependentOfRit();

private:
    void readAfterConstructionRows() override;
    void setThenReadRows() override;
};

void tst_interpreter_rit::readAfterConstructionRows()
{
    QTest::newRow("RT") << "RT" << QByteArray("RT0;");
    QTest::newRow("XT") << "XT" << QByteArray("XT0;");
    QTest::newRow("CT") << "CT" << QByteArray("CT0;");
    QTest::newRow("CN") << "CN" << QByteArray("CN00;");
    QTest::newRow("RU") << "RU" << QByteArray("RU1;");
    QTest::newRow("RD") << "RD" << QByteArray("RD1;");
    QTest::newRow("RT two characters") << "RT00" << QByteArray();
    QTest::newRow("CN one character") << "CN1" << QByteArray();
}

void tst_interpreter_rit::setThenReadRows()
{
    const auto row = [](const char* name, const char* command, QStringList host, const char* read,
                        const char* answer) {
        QTest::newRow(name) << QString(command) << host << QString(read) << QByteArray(answer);
    };
    row("RT1", "RT1", {"56 u0 u0 true"}, "RT", "RT1;");
    row("RT with a sign ignored", "RT+", {}, "RT", "RT0;");
    row("XT1", "XT1", {"59 u0 u0 true"}, "XT", "XT1;");
    row("XT7", "XT7", {"59 u0 u0 true"}, "XT", "XT1;");
    row("RU00120", "RU00120", {"54 u0 u0 i120"}, "IF", "IF0000190000000000+012000000030000000;");
    row("RD00120", "RD00120", {"54 u0 u0 i-120"}, "IF", "IF0000190000000000-012000000030000000;");
    row("RU12345 limited", "RU12345", {"54 u0 u0 i9999"}, "IF",
        "IF0000190000000000+999900000030000000;");
    row("RD12345 limited", "RD12345", {"54 u0 u0 i-9999"}, "IF",
        "IF0000190000000000-999900000030000000;");
    row("RU with signs ignored", "RU+-+-+", {}, "IF", "IF0000190000000000+000000000030000000;");
    row("RU four characters", "RU0120", {}, "IF", "IF0000190000000000+000000000030000000;");
    row("RC with parameter", "RC0", {}, "IF", "IF0000190000000000+000000000030000000;");
    row("CT1", "CT1", {"169 u0 true"}, "CT", "CT1;");
    row("CT0", "CT0", {"169 u0 false"}, "CT", "CT0;");
    row("CT2 ignored", "CT2", {}, "CT", "CT0;");
    row("CT invalid ignored", "CT-", {}, "CT", "CT0;");
    row("CN15", "CN15", {"170 u0 i15"}, "CN", "CN15;");
    row("CN07", "CN07", {"170 u0 i7"}, "CN", "CN07;");
    row("CN41", "CN41", {"170 u0 i41"}, "CN", "CN41;");
    row("CN42 ignored", "CN42", {}, "CN", "CN00;");
    row("CN99 ignored", "CN99", {}, "CN", "CN00;");
    row("CN-1 ignored", "CN-1", {}, "CN", "CN00;");
    row("CN invalid ignored", "CN1+", {}, "CN", "CN00;");
}

void tst_interpreter_rit::ritOffsetInIf_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("zero") << 0 << QByteArray("+0000");
    QTest::newRow("positive") << 5 << QByteArray("+0005");
    QTest::newRow("negative") << -9999 << QByteArray("-9999");
    QTest::newRow("-10000") << -10000 << QByteArray("-9999");
    QTest::newRow("+10000") << 10000 << QByteArray("+9999");
}

void tst_interpreter_rit::ritOffsetInIf()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, field);
    InterpreterHarness h;
    QVERIFY(h.open());
    emit h.bus.sRxRit(0, 0, offset);
    QCOMPARE(h.run("IF").mid(18, 5), field);
}

// RC writes nothing to the port but leaves an empty answer line in the log.
void tst_interpreter_rit::rcClearsWithAnEmptyLogLine()
{
    InterpreterHarness h;
    QVERIFY(h.open());
    h.run("RU00120");
    QCOMPARE(h.run("RC"), QByteArray());
    QCOMPARE(h.sentCommands(), QStringList{"54 u0 u0 i0"});
    QCOMPARE(h.loggedAnswers(), QStringList{QString()});
    QCOMPARE(h.run("IF").mid(18, 5), QByteArray("+0000"));
}

void tst_interpreter_rit::xitIsIndependentOfRit()
{
    InterpreterHarness h;
    QVERIFY(h.open());
    h.run("XT1");
    QCOMPARE(h.run("XT"), QByteArray("XT1;"));
    h.run("RT1");
    h.run("XT0");
    QCOMPARE(h.run("XT"), QByteArray("XT0;"));
    QCOMPARE(h.run("RT"), QByteArray("RT1;"));
    QCOMPARE(h.run("IF").mid(23, 2), QByteArray("10"));
}

QTEST_MAIN(tst_interpreter_rit)
#include "tst_interpreter_rit.moc"
