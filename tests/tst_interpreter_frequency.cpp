// The interpreter's frequency, mode, status and transmit commands, the fixed answers, the
// command code and the handling of unrecognised commands.

#include "FakeKeyControl.h"
#include "InterpreterHarness.h"
#include "InterpreterTables.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

class tst_interpreter_frequency : public InterpreterTables
{
    Q_OBJECT
private slots:
    void commandCode_data();
    void commandCode();
    void modeReadsFollowTheHostMode_data();
    void modeReadsFollowTheHostMode();
    void frSendsOnlyWithTheOptionOn();
    void ftShowsInIf();
    void ifShowsReceiveVfoAndSplit_data();
    void ifShowsReceiveVfoAndSplit();
    void ifShowsRitXitAndMode_data();
    void ifShowsRitXitAndMode();
    void frequenciesUseAllElevenDigits_data();
    void frequenciesUseAllElevenDigits();
    void transmitSwitching_data();
    void transmitSwitching();
    void rxAnswersBeforeSwitching();
    void answerIsOneWriteThenOneLogLine();

private:
    void readAfterConstructionRows() override;
    void setThenReadRows() override;
};

void tst_interpreter_frequency::commandCode_data()
{
    QTest::addColumn<QString>("letters");
    QTest::addColumn<int>("code");
    QTest::newRow("FA") << "FA" << 0x4146;
    QTest::newRow("IF") << "IF" << 0x4649;
    QTest::newRow("TX") << "TX" << 0x5854;
    QTest::newRow("one letter") << "F" << 0;
    QTest::newRow("three letters") << "FAX" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("wide character counts as 0") << QString(QChar(0x100)) + "A" << 0x4100;
}

void tst_interpreter_frequency::commandCode()
{
    QFETCH(QString, letters);
    QFETCH(int, code);
    QCOMPARE(int(Control::commandCode(letters)), code);
}

void tst_interpreter_frequency::readAfterConstructionRows()
{
    QTest::newRow("FA") << "FA" << QByteArray("FA00001900000;");
    QTest::newRow("FB") << "FB" << QByteArray("FB00001900000;");
    QTest::newRow("FR") << "FR" << QByteArray("FR0;");
    QTest::newRow("FT") << "FT" << QByteArray("FT0;");
    QTest::newRow("MD") << "MD" << QByteArray("MD3;");
    QTest::newRow("IF") << "IF" << QByteArray("IF0000190000000000+000000000030000000;");
    QTest::newRow("PS") << "PS" << QByteArray("PS0;");
    QTest::newRow("AC") << "AC" << QByteArray("AC000;");
    QTest::newRow("AI") << "AI" << QByteArray("AI0;");
    QTest::newRow("BC") << "BC" << QByteArray("BC0;");
    QTest::newRow("BY") << "BY" << QByteArray("BY00;");
    QTest::newRow("CA") << "CA" << QByteArray("CA0;");
    QTest::newRow("DL") << "DL" << QByteArray("DL000;");
    QTest::newRow("FS") << "FS" << QByteArray("FS0;");
    QTest::newRow("ID") << "ID" << QByteArray("ID020;");
    QTest::newRow("IS") << "IS" << QByteArray("IS+0000;");
    QTest::newRow("LK") << "LK" << QByteArray("LK00;");
    QTest::newRow("LM") << "LM" << QByteArray("LM10000;");
    QTest::newRow("MC") << "MC" << QByteArray("MC000;");
    QTest::newRow("MF") << "MF" << QByteArray("MF0;");
    QTest::newRow("PB") << "PB" << QByteArray("PB000;");
    QTest::newRow("QR") << "QR" << QByteArray("QR00;");
    QTest::newRow("RL") << "RL" << QByteArray("RL00;");
    QTest::newRow("TN") << "TN" << QByteArray("TN00;");
    QTest::newRow("TO") << "TO" << QByteArray("TO0;");
    QTest::newRow("TS") << "TS" << QByteArray("TS0;");
    QTest::newRow("VD") << "VD" << QByteArray("VD0000;");
    QTest::newRow("VG") << "VG" << QByteArray("VG000;");
    QTest::newRow("VX") << "VX" << QByteArray("VX0;");
    QTest::newRow("RX") << "RX" << QByteArray("RX0;");
    QTest::newRow("TX0 answers nothing") << "TX0" << QByteArray();
    QTest::newRow("TX1 answers nothing") << "TX1" << QByteArray();
    QTest::newRow("EX") << "EX" << QByteArray("?;");
    QTest::newRow("EX with a menu number") << "EX0010000" << QByteArray("?;");
    QTest::newRow("unknown XX") << "XX" << QByteArray("?;");
    QTest::newRow("SP is not supported") << "SP" << QByteArray("?;");
    QTest::newRow("lower case") << "fa" << QByteArray("?;");
    QTest::newRow("TS-480 command left out") << "UP" << QByteArray("?;");
    QTest::newRow("KY, the keyer empty") << "KY" << QByteArray("KY0;");
    QTest::newRow("unknown with parameter") << "XX5" << QByteArray();
    QTest::newRow("lower case and digits are noise") << "fa1" << QByteArray("?;");
    QTest::newRow("fixed answer with parameter") << "ID1" << QByteArray();
    QTest::newRow("AI set form answers nothing") << "AI2" << QByteArray();
    QTest::newRow("IF with parameter") << "IF1" << QByteArray();
    QTest::newRow("FA wrong length") << "FA0000190000" << QByteArray();
    QTest::newRow("MD wrong length") << "MD12" << QByteArray();
    QTest::newRow("PS wrong length") << "PS12" << QByteArray();
    QTest::newRow("RX with parameter") << "RX0" << QByteArray();
    QTest::newRow("TX with two characters") << "TX01" << QByteArray();
}

void tst_interpreter_frequency::setThenReadRows()
{
    QTest::newRow("FA") << "FA00007074000" << QStringList{"19 u0 u0 d7074000"} << "FA"
                        << QByteArray("FA00007074000;");
    // The session's own auto-information setting: nothing for the host.
    QTest::newRow("AI2") << "AI2" << QStringList() << "AI" << QByteArray("AI2;");
    QTest::newRow("AI3") << "AI3" << QStringList() << "AI" << QByteArray("AI3;");
    QTest::newRow("AI4 ignored") << "AI4" << QStringList() << "AI" << QByteArray("AI0;");
    QTest::newRow("AI12 ignored") << "AI12" << QStringList() << "AI" << QByteArray("AI0;");
    QTest::newRow("FB") << "FB00014074000" << QStringList{"19 u0 u1 d14074000"} << "FB"
                        << QByteArray("FB00014074000;");
    QTest::newRow("FA highest 32-bit value")
        << "FA02147483647" << QStringList{"19 u0 u0 d2147483647"} << "FA"
        << QByteArray("FA02147483647;");
    QTest::newRow("FA above 32 bits ignored")
        << "FA02147483648" << QStringList() << "FA" << QByteArray("FA00001900000;");
    QTest::newRow("FA ten digits ignored")
        << "FA0000190000" << QStringList() << "FA" << QByteArray("FA00001900000;");
    QTest::newRow("FA invalid integer ignored")
        << "FA0000-190000" << QStringList() << "FA" << QByteArray("FA00001900000;");
    QTest::newRow("MD1 LSB") << "MD1" << QStringList{"29 u0 u0 u3"} << "MD" << QByteArray("MD1;");
    QTest::newRow("MD2 USB") << "MD2" << QStringList{"29 u0 u0 u4"} << "MD" << QByteArray("MD2;");
    QTest::newRow("MD3 CW") << "MD3" << QStringList{"29 u0 u0 u5"} << "MD" << QByteArray("MD3;");
    QTest::newRow("MD4 FM") << "MD4" << QStringList{"29 u0 u0 u6"} << "MD" << QByteArray("MD4;");
    QTest::newRow("MD5 AM") << "MD5" << QStringList{"29 u0 u0 u0"} << "MD" << QByteArray("MD5;");
    QTest::newRow("MD6 FSK") << "MD6" << QStringList{"29 u0 u0 u9"} << "MD" << QByteArray("MD6;");
    QTest::newRow("MD7 CW reverse is CW")
        << "MD7" << QStringList{"29 u0 u0 u5"} << "MD" << QByteArray("MD3;");
    QTest::newRow("MD8") << "MD8" << QStringList{"29 u0 u0 u0"} << "MD" << QByteArray("MD5;");
    QTest::newRow("MD9 FSK reverse")
        << "MD9" << QStringList{"29 u0 u0 u10"} << "MD" << QByteArray("MD9;");
    QTest::newRow("MD0") << "MD0" << QStringList{"29 u0 u0 u0"} << "MD" << QByteArray("MD5;");
    QTest::newRow("MD invalid ignored") << "MD-" << QStringList() << "MD" << QByteArray("MD3;");
    QTest::newRow("FT1") << "FT1" << QStringList{"161 u0 true"} << "FT" << QByteArray("FT1;");
    QTest::newRow("FT0") << "FT0" << QStringList{"161 u0 false"} << "FT" << QByteArray("FT0;");
    QTest::newRow("FT invalid ignored") << "FT+" << QStringList() << "FT" << QByteArray("FT0;");
    QTest::newRow("PS1") << "PS1" << QStringList{"166 u0 true"} << "PS" << QByteArray("PS1;");
    QTest::newRow("PS with a sign ignored") << "PS-" << QStringList() << "PS" << QByteArray("PS0;");
    QTest::newRow("TX") << "TX" << QStringList() << "IF"
                        << QByteArray("IF0000190000000000+000000000130000000;");
    // A client keys with "TX1;ID;" and takes the next answer for ID's.
    QTest::newRow("TX1 then ID") << "TX1" << QStringList() << "ID" << QByteArray("ID020;");
    QTest::newRow("TX0 then ID") << "TX0" << QStringList() << "ID" << QByteArray("ID020;");
}

void tst_interpreter_frequency::modeReadsFollowTheHostMode_data()
{
    QTest::addColumn<quint32>("hostMode");
    QTest::addColumn<QByteArray>("answer");
    const char* answers[] = {"MD5;", "MD5;", "MD5;", "MD1;", "MD2;", "MD3;",
                             "MD4;", "MD4;", "MD0;", "MD6;", "MD9;", "MD0;"};
    for (quint32 mode = 0; mode < std::size(answers); ++mode)
        QTest::addRow("host mode %u", mode) << mode << QByteArray(answers[mode]);
}

void tst_interpreter_frequency::modeReadsFollowTheHostMode()
{
    QFETCH(quint32, hostMode);
    QFETCH(QByteArray, answer);
    InterpreterHarness h;
    QVERIFY(h.open());
    emit h.bus.sRxMode(0, 0, hostMode);
    QCOMPARE(h.run("MD"), answer);
    // IF shows the same digit at position 30.
    QCOMPARE(h.run("IF").at(29), answer.at(2));
}

void tst_interpreter_frequency::frSendsOnlyWithTheOptionOn()
{
    InterpreterHarness h;
    QVERIFY(h.open());
    QCOMPARE(h.run("FR1"), QByteArray());
    QCOMPARE(h.sentCommands(), QStringList());
    QCOMPARE(h.run("FR"), QByteArray("FR1;"));
    QCOMPARE(h.run("FR7"), QByteArray());
    QCOMPARE(h.run("FR"), QByteArray("FR7;"));

    h.setEnableFr(true);
    QCOMPARE(h.run("FR1"), QByteArray());
    QCOMPARE(h.sentCommands(), QStringList{"160 u0 true"});
    QCOMPARE(h.run("FR0"), QByteArray());
    QCOMPARE(h.sentCommands(), QStringList{"160 u0 false"});
    QCOMPARE(h.run("FR"), QByteArray("FR0;"));
    QCOMPARE(h.run("FR-"), QByteArray());
    QCOMPARE(h.sentCommands(), QStringList());
}

void tst_interpreter_frequency::ftShowsInIf()
{
    InterpreterHarness h;
    QVERIFY(h.open());
    h.run("FT2");
    QCOMPARE(h.sentCommands(), QStringList{"161 u0 true"});
    QCOMPARE(h.run("FT"), QByteArray("FT2;"));
    const QByteArray status = h.run("IF");
    QCOMPARE(status.size(), 38);
    QCOMPARE(status.at(30), '0'); // the receive VFO, not the split digit
    QCOMPARE(status.at(32), '1');
    // The host's split report stores 1 or 0.
    emit h.bus.sCatSplit(0, false);
    QCOMPARE(h.run("IF"), QByteArray("IF0000190000000000+000000000030000000;"));
}

void tst_interpreter_frequency::ifShowsReceiveVfoAndSplit_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("subReceiverOption");
    QTest::addColumn<QByteArray>("positions31And33");
    QTest::newRow("VFO A") << QStringList{"FR0"} << false << QByteArray("00");
    QTest::newRow("VFO B") << QStringList{"FR1"} << false << QByteArray("10");
    QTest::newRow("split on, VFO A") << QStringList{"FT1", "FR0"} << false << QByteArray("01");
    QTest::newRow("split on, VFO B") << QStringList{"FR1", "FT1"} << false << QByteArray("11");
    QTest::newRow("split on, back to VFO A")
        << QStringList{"FT1", "FR1", "FR0"} << false << QByteArray("01");
    QTest::newRow("split off again")
        << QStringList{"FT1", "FR1", "FT0"} << false << QByteArray("10");
    QTest::newRow("FR with the sub receiver option")
        << QStringList{"FT1", "FR1"} << true << QByteArray("11");
}

// Position 31 is the VFO the client receives on (the FR digit), position 33 the split flag.
void tst_interpreter_frequency::ifShowsReceiveVfoAndSplit()
{
    QFETCH(QStringList, commands);
    QFETCH(bool, subReceiverOption);
    QFETCH(QByteArray, positions31And33);
    InterpreterHarness h;
    QVERIFY(h.open());
    h.setEnableFr(subReceiverOption);
    for (const QString& command : commands)
        QCOMPARE(h.run(command), QByteArray());
    const QByteArray status = h.run("IF");
    QCOMPARE(status.size(), 38);
    QCOMPARE(QByteArray() + status.at(30) + status.at(32), positions31And33);
    QCOMPARE(h.run("FR"), QByteArray("FR") + status.at(30) + ';');
}

void tst_interpreter_frequency::ifShowsRitXitAndMode_data()
{
    QTest::addColumn<int>("ritOffset");
    QTest::addColumn<bool>("rit");
    QTest::addColumn<bool>("xit");
    QTest::addColumn<quint32>("hostMode");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("RIT -120 on, USB")
        << -120 << true << false << 4u << QByteArray("IF0000190000000000-012010000020000000;");
    QTest::newRow("RIT +120, XIT on")
        << 120 << false << true << 5u << QByteArray("IF0000190000000000+012001000030000000;");
    QTest::newRow("RIT -10000 shows -9999")
        << -10000 << false << false << 5u << QByteArray("IF0000190000000000-999900000030000000;");
    QTest::newRow("RIT at the int limit") << std::numeric_limits<int>::min() << false << false << 5u
                                          << QByteArray("IF0000190000000000-999900000030000000;");
}

void tst_interpreter_frequency::ifShowsRitXitAndMode()
{
    QFETCH(int, ritOffset);
    QFETCH(bool, rit);
    QFETCH(bool, xit);
    QFETCH(quint32, hostMode);
    QFETCH(QByteArray, answer);
    InterpreterHarness h;
    QVERIFY(h.open());
    emit h.bus.sRxRit(0, 0, ritOffset);
    emit h.bus.sRxRitEnable(0, 0, rit);
    emit h.bus.sRxXitEnable(0, 0, xit);
    emit h.bus.sRxMode(0, 0, hostMode);
    QCOMPARE(h.run("IF"), answer);
}

void tst_interpreter_frequency::frequenciesUseAllElevenDigits_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<QByteArray>("fa");
    QTest::newRow("above 32 bits") << 2147483648.0 << QByteArray("FA02147483648;");
    QTest::newRow("eleven digits") << 99999999999.0 << QByteArray("FA99999999999;");
    QTest::newRow("too wide is clamped") << 1.0e15 << QByteArray("FA99999999999;");
    QTest::newRow("beyond 64 bits is clamped") << 1.0e300 << QByteArray("FA99999999999;");
    QTest::newRow("fraction truncated") << 7074000.9 << QByteArray("FA00007074000;");
    QTest::newRow("not a number") << std::nan("") << QByteArray("FA00000000000;");
}

void tst_interpreter_frequency::frequenciesUseAllElevenDigits()
{
    QFETCH(double, hz);
    QFETCH(QByteArray, fa);
    InterpreterHarness h;
    QVERIFY(h.open());
    emit h.bus.sRxVfo(0, 0, hz);
    emit h.bus.sRxVfo(0, 1, hz);
    QCOMPARE(h.run("FA"), fa);
    QCOMPARE(h.run("FB"), QByteArray("FB" + fa.mid(2)));
    QCOMPARE(h.run("IF").mid(2, 11), fa.mid(2, 11));
}

void tst_interpreter_frequency::transmitSwitching_data()
{
    QTest::addColumn<bool>("withKeyObject");
    QTest::newRow("no key object") << false;
    QTest::newRow("key object") << true;
}

void tst_interpreter_frequency::transmitSwitching()
{
    QFETCH(bool, withKeyObject);
    InterpreterHarness h(1);
    QVERIFY(h.open());
    FakeKeyControl key;
    if (withKeyObject)
        h.announceKeyObject(&key);
    QCOMPARE(h.bus.cwKeyObject(), withKeyObject ? &key : nullptr);
    const auto transmitting = [&h] { return h.run("IF").at(28); };

    QCOMPARE(h.run("TX"), QByteArray());
    QCOMPARE(transmitting(), '1');
    QCOMPARE(h.run("RX"), QByteArray("RX0;"));
    QCOMPARE(transmitting(), '0');
    QCOMPARE(h.run("TX1"), QByteArray());
    QCOMPARE(transmitting(), '1');
    QCOMPARE(h.run("RX"), QByteArray("RX0;"));
    QCOMPARE(transmitting(), '0');
    QCOMPARE(h.sentCommands(), QStringList());
    const QList<KeyCall> expected{KeyCall::trx(1, 2, true), KeyCall::trx(1, 2, false),
                                  KeyCall::trx(1, 2, true), KeyCall::trx(1, 2, false)};
    QCOMPARE(key.calls(), withKeyObject ? expected : QList<KeyCall>());
}

namespace
{

// Notes whether the channel had already answered when it switched the transmitter.
class OrderProbe : public CwKeyControlAbstract
{
public:
    explicit OrderProbe(const QSignalSpy& log) : m_log(log) {}
    void setTrx(quint32, quint32, bool) override
    {
        answeredFirst << std::any_of(m_log.begin(), m_log.end(), [](const QList<QVariant>& line) {
            return line.at(1).toBool();
        });
    }
    QList<bool> answeredFirst;

private:
    const QSignalSpy& m_log;
};

} // namespace

void tst_interpreter_frequency::rxAnswersBeforeSwitching()
{
    InterpreterHarness h;
    QVERIFY(h.open());
    OrderProbe probe(h.log);
    h.announceKeyObject(&probe);
    QCOMPARE(h.run("RX"), QByteArray("RX0;"));
    QCOMPARE(h.run("TX1"), QByteArray());
    // RX has answered before its switch; TX1 switches and answers nothing.
    QCOMPARE(probe.answeredFirst, (QList<bool>{true, false}));
}

void tst_interpreter_frequency::answerIsOneWriteThenOneLogLine()
{
    InterpreterHarness h;
    QVERIFY(h.open());
    QCOMPARE(h.run("FA"), QByteArray("FA00001900000;"));
    QCOMPARE(h.loggedAnswers(), QStringList{"FA00001900000;"});
    QCOMPARE(h.run("FA00007000000"), QByteArray());
    QCOMPARE(h.loggedAnswers(), QStringList());
}

QTEST_MAIN(tst_interpreter_frequency)
#include "tst_interpreter_frequency.moc"
