// Level and switch commands: the scaling between Kenwood numbers and host units, the answers
// after construction, the host commands of the set forms, antenna switching rules and the
// clamping of host values that do not fit their answer field.

#include "InterpreterHarness.h"
#include "InterpreterTables.h"

#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

using HostReport = std::function<void(quorvexCommand&)>;
Q_DECLARE_METATYPE(HostReport)

class tst_interpreter_levels : public InterpreterTables
{
    Q_OBJECT
private slots:
    void hostValuesAreScaledAndClamped_data();
    void hostValuesAreScaledAndClamped();
    void agReadLimitsTheVolume();
    void antennaSwitching_data();
    void antennaSwitching();

private:
    void readAfterConstructionRows() override;
    void setThenReadRows() override;
};

void tst_interpreter_levels::readAfterConstructionRows()
{
    QTest::newRow("AG0") << "AG0" << QByteArray("AG0255;");
    QTest::newRow("RG") << "RG" << QByteArray("RG085;");
    QTest::newRow("MG") << "MG" << QByteArray("MG000;");
    QTest::newRow("SQ0") << "SQ0" << QByteArray("SQ0072;");
    QTest::newRow("ML") << "ML" << QByteArray("ML137;");
    QTest::newRow("NL") << "NL" << QByteArray("NL006;");
    QTest::newRow("PC") << "PC" << QByteArray("PC000;");
    QTest::newRow("KS") << "KS" << QByteArray("KS040;");
    QTest::newRow("SD") << "SD" << QByteArray("SD0010;");
    QTest::newRow("GT") << "GT" << QByteArray("GT002;");
    QTest::newRow("SM0") << "SM0" << QByteArray("SM00000;");
    QTest::newRow("NB") << "NB" << QByteArray("NB0;");
    QTest::newRow("NR") << "NR" << QByteArray("NR0;");
    QTest::newRow("PR") << "PR" << QByteArray("PR0;");
    QTest::newRow("RA") << "RA" << QByteArray("RA0000;");
    QTest::newRow("PA") << "PA" << QByteArray("PA00;");
    QTest::newRow("AN") << "AN" << QByteArray("AN1;");
    QTest::newRow("AG without parameter") << "AG" << QByteArray();
    QTest::newRow("SQ without parameter") << "SQ" << QByteArray();
    QTest::newRow("SM without parameter") << "SM" << QByteArray();
    QTest::newRow("SM two characters") << "SM00" << QByteArray();
    QTest::newRow("RG one character") << "RG1" << QByteArray();
    QTest::newRow("KS two characters") << "KS12" << QByteArray();
}

void tst_interpreter_levels::setThenReadRows()
{
    const auto row = [](const char* command, QStringList host, const char* read,
                        const char* answer) {
        QTest::newRow(command) << QString(command) << host << QString(read) << QByteArray(answer);
    };
    row("AG0128", {"22 u0 i0 i-29"}, "AG0", "AG0131;");
    row("AG128", {}, "AG0", "AG0255;");
    row("AG0+-+", {}, "AG0", "AG0255;");
    row("AG0256 above the field", {}, "AG0", "AG0255;");
    row("RG050", {"25 u0 u0 i50"}, "RG", "RG050;");
    row("RG1-0", {}, "RG", "RG085;");
    row("MG050", {"65 u0 i35"}, "MG", "MG050;");
    row("SQ0128", {"51 u0 u0 i-69"}, "SQ0", "SQ0129;");
    row("SQ0-12", {}, "SQ0", "SQ0072;");
    row("SQ01-2", {}, "SQ0", "SQ0072;");
    row("SQ128", {}, "SQ0", "SQ0072;");
    row("ML050", {"69 u0 i50"}, "ML", "ML075;");
    row("NL010", {"33 u0 i2"}, "NL", "NL010;");
    row("NL011 above the field", {}, "NL", "NL006;");
    row("NL002", {"33 u0 i0"}, "NL", "NL002;");
    row("PC013", {"70 u0 u65"}, "PC", "PC013;");
    row("PC025", {"70 u0 u100"}, "PC", "PC020;");
    row("PC-01", {}, "PC", "PC000;");
    row("KS025", {"82 u25"}, "KS", "KS025;");
    row("KS-10", {}, "KS", "KS040;");
    row("SD0300", {"84 i300"}, "SD", "SD0300;");
    row("SD-100", {}, "SD", "SD0010;");
    row("SD300", {}, "SD", "SD0010;");
    row("SD1001 above the field", {}, "SD", "SD0010;");
    row("PC201 above the field", {}, "PC", "PC000;");
    row("GT005", {"26 u0 u0 u1"}, "GT", "GT002;");
    row("GT001", {"26 u0 u0 u4"}, "GT", "GT001;");
    row("GT000", {"26 u0 u0 u0"}, "GT", "GT000;");
    row("GT0", {}, "GT", "GT002;");
    row("GT00-", {}, "GT", "GT002;");
    row("NB1", {"32 u0 true"}, "NB", "NB1;");
    row("NB5", {"32 u0 true"}, "NB", "NB1;");
    row("NB-", {}, "NB", "NB0;");
    row("NR1", {"36 u0 true"}, "NR", "NR1;");
    row("PR1", {"73 u0 true"}, "PR", "PR1;");
    row("PR0", {"73 u0 false"}, "PR", "PR0;");
    row("RA01", {"181 u0 true false"}, "RA", "RA0100;");
    row("RA02", {"181 u0 false false"}, "RA", "RA0000;");
    row("RA+-", {}, "RA", "RA0000;");
    row("RA1", {}, "RA", "RA0000;");
    row("PA1", {"181 u0 false true"}, "PA", "PA10;");
    row("PA2", {"181 u0 false false"}, "PA", "PA00;");
    row("PA-", {}, "PA", "PA00;");
    row("AN2", {}, "AN", "AN1;");
    row("SM0", {}, "SM0", "SM00000;");
}

void tst_interpreter_levels::hostValuesAreScaledAndClamped_data()
{
    QTest::addColumn<HostReport>("report");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("answer");
    constexpr int intMax = std::numeric_limits<int>::max();
    constexpr int intMin = std::numeric_limits<int>::min();
    const auto row = [](const char* name, HostReport report, const char* command,
                        const char* answer) {
        QTest::newRow(name) << report << QString(command) << QByteArray(answer);
    };
    row(
        "RG -20 dB", [](quorvexCommand& b) { emit b.sRxAgcGain(0, 0, -20); }, "RG", "RG000;");
    row(
        "RG 120 dB", [](quorvexCommand& b) { emit b.sRxAgcGain(0, 0, 120); }, "RG", "RG100;");
    row(
        "RG too wide", [](quorvexCommand& b) { emit b.sRxAgcGain(0, 0, intMax); }, "RG", "RG999;");
    row(
        "RG below range", [](quorvexCommand& b) { emit b.sRxAgcGain(0, 0, -34); }, "RG", "RG-10;");
    row(
        "MG 70 dB", [](quorvexCommand& b) { emit b.sTxMicGain(0, 70); }, "MG", "MG100;");
    row(
        "MG too wide", [](quorvexCommand& b) { emit b.sTxMicGain(0, intMax); }, "MG", "MG999;");
    row(
        "SQ 0 dB", [](quorvexCommand& b) { emit b.sRxSqlLevel(0, 0, 0); }, "SQ0", "SQ0255;");
    row(
        "SQ too wide", [](quorvexCommand& b) { emit b.sRxSqlLevel(0, 0, intMax); }, "SQ0",
        "SQ0999;");
    row(
        "SQ far below", [](quorvexCommand& b) { emit b.sRxSqlLevel(0, 0, intMin); }, "SQ0",
        "SQ0999;");
    row(
        "ML too negative", [](quorvexCommand& b) { emit b.sTxMonValue(0, intMin); }, "ML",
        "ML-99;");
    row(
        "ML reported for another transmitter", [](quorvexCommand& b) { emit b.sTxMonValue(3, 30); },
        "ML", "ML050;");
    row(
        "NL capped at 10", [](quorvexCommand& b) { emit b.sRxNB1Level(0, 7.0); }, "NL", "NL010;");
    row(
        "NL huge negative", [](quorvexCommand& b) { emit b.sRxNB1Level(0, -1e300); }, "NL",
        "NL-99;");
    row(
        "NL not a number", [](quorvexCommand& b) { emit b.sRxNB1Level(0, std::nan("")); }, "NL",
        "NL000;");
    row(
        "PC 100 percent", [](quorvexCommand& b) { emit b.sTxDrive(0, 100); }, "PC", "PC020;");
    row(
        "PC too wide", [](quorvexCommand& b) { emit b.sTxDrive(0, 4000000000u); }, "PC", "PC999;");
    row(
        "KS too wide", [](quorvexCommand& b) { emit b.sCwSpeed(1000); }, "KS", "KS999;");
    row(
        "SD too wide", [](quorvexCommand& b) { emit b.sCwBreakInValue(100000); }, "SD", "SD9999;");
    row(
        "GT off", [](quorvexCommand& b) { emit b.sRxAgcMode(0, 0, 0); }, "GT", "GT000;");
    row(
        "GT 3", [](quorvexCommand& b) { emit b.sRxAgcMode(0, 0, 3); }, "GT", "GT002;");
    row(
        "GT 4", [](quorvexCommand& b) { emit b.sRxAgcMode(0, 0, 4); }, "GT", "GT001;");
    row(
        "NB on", [](quorvexCommand& b) { emit b.sRxNB1(0, true); }, "NB", "NB1;");
    row(
        "NR on", [](quorvexCommand& b) { emit b.sRxNR(0, true); }, "NR", "NR1;");
    row(
        "PR on", [](quorvexCommand& b) { emit b.sTxComp(0, true); }, "PR", "PR1;");
    row(
        "RA on", [](quorvexCommand& b) { emit b.sCatAttPreAmp(0, true, false); }, "RA", "RA0100;");
    row(
        "PA on", [](quorvexCommand& b) { emit b.sCatAttPreAmp(0, false, true); }, "PA", "PA10;");
    row(
        "SM S9", [](quorvexCommand& b) { emit b.sMeterDbm(0, 0, -73.0); }, "SM0", "SM00011;");
    row(
        "SM top", [](quorvexCommand& b) { emit b.sMeterDbm(0, 0, 10.0); }, "SM0", "SM00020;");
}

void tst_interpreter_levels::hostValuesAreScaledAndClamped()
{
    QFETCH(HostReport, report);
    QFETCH(QString, command);
    QFETCH(QByteArray, answer);
    InterpreterHarness h;
    QVERIFY(h.open());
    report(h.bus);
    QCOMPARE(h.run(command), answer);
}

// AG's read writes the limited volume back into the cache.
void tst_interpreter_levels::agReadLimitsTheVolume()
{
    InterpreterHarness h;
    QVERIFY(h.open());
    emit h.bus.sRxVolume(0, 0, 6);
    QCOMPARE(h.run("AG0"), QByteArray("AG0255;"));
    QCOMPARE(ControlTestAccess::cache(h.channel).volume, 0);
    emit h.bus.sRxVolume(0, 0, -100);
    QCOMPARE(h.run("AG0"), QByteArray("AG0000;"));
    QCOMPARE(ControlTestAccess::cache(h.channel).volume, -60);
}

void tst_interpreter_levels::antennaSwitching_data()
{
    QTest::addColumn<unsigned int>("channel");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("host");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("AN2 allowed") << 0u << true << "AN2" << QStringList{"2 u1", "63 u1"}
                                 << QByteArray("AN2;");
    QTest::newRow("AN1 allowed") << 0u << true << "AN1" << QStringList{"2 u0", "63 u0"}
                                 << QByteArray("AN1;");
    QTest::newRow("AN3 keeps the antenna but sends")
        << 0u << true << "AN3" << QStringList{"2 u0", "63 u0"} << QByteArray("AN1;");
    QTest::newRow("AN2 not allowed") << 0u << false << "AN2" << QStringList() << QByteArray("AN1;");
    QTest::newRow("AN2 on channel 1") << 1u << true << "AN2" << QStringList() << QByteArray("AN1;");
    QTest::newRow("AN with two characters")
        << 0u << true << "AN22" << QStringList() << QByteArray("AN1;");
}

void tst_interpreter_levels::antennaSwitching()
{
    QFETCH(unsigned int, channel);
    QFETCH(bool, allowed);
    QFETCH(QString, command);
    QFETCH(QStringList, host);
    QFETCH(QByteArray, answer);
    InterpreterHarness h(channel);
    QVERIFY(h.open());
    h.setAntSwEnable(allowed);
    QCOMPARE(h.run(command), QByteArray());
    QCOMPARE(h.sentCommands(), host);
    QCOMPARE(h.run("AN"), answer);
}

QTEST_MAIN(tst_interpreter_levels)
#include "tst_interpreter_levels.moc"
