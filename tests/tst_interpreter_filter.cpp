// The receive filter commands SH, SL and FW: the threshold tables per mode group (a value
// exactly on a threshold takes the lower code) and the edges each set form gives the host.

#include "InterpreterHarness.h"

#include <QTest>

class tst_interpreter_filter : public QObject
{
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void sets_data();
    void sets();
    void setThenRead_data();
    void setThenRead();
};

namespace
{

void prepare(InterpreterHarness& h, quint32 hostMode, double low, double high)
{
    emit h.bus.sRxMode(0, 0, hostMode);
    emit h.bus.sRxFilter(0, 0, low, high);
}

QString filterMessage(double low, double high)
{
    return QStringLiteral("28 u0 u0 d%1 d%2").arg(low, 0, 'g', 17).arg(high, 0, 'g', 17);
}

} // namespace

void tst_interpreter_filter::reads_data()
{
    QTest::addColumn<quint32>("hostMode");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("answer");

    const auto row = [](const char* name, quint32 mode, double low, double high,
                        const char* command, const char* answer) {
        QTest::newRow(name) << mode << low << high << QString(command) << QByteArray(answer);
    };
    // After construction: CW, edges -50 and 50.
    row("SH after construction", 5, -50, 50, "SH", "SH00;");
    row("SL after construction", 5, -50, 50, "SL", "SL00;");
    row("FW after construction", 5, -50, 50, "FW", "FW0100;");

    row("SH LSB 1000", 3, -1000, 0, "SH", "SH00;");
    row("SH LSB 1000.5", 3, -1000.5, 0, "SH", "SH01;");
    row("SH LSB 2700", 3, -2700, 0, "SH", "SH09;");
    row("SH LSB 2800 on the threshold", 3, -2800, 0, "SH", "SH09;");
    row("SH LSB 2801", 3, -2801, 0, "SH", "SH10;");
    row("SH LSB 4000", 3, -4000, 0, "SH", "SH12;");
    row("SH LSB above 4000", 3, -4001, 0, "SH", "SH13;");
    row("SH USB 1200", 4, 0, 1200, "SH", "SH01;");
    row("SH USB 1200.1", 4, 0, 1200.1, "SH", "SH02;");
    row("SH USB uses the high edge", 4, -5000, 1000, "SH", "SH00;");
    row("SH FM widest edge", 6, -3000, 100, "SH", "SH10;");
    row("SH FM second mode", 7, -100, 3400, "SH", "SH11;");
    row("SH AM 2500", 0, -2500, 2500, "SH", "SH00;");
    row("SH AM 2500.1", 1, -2500.1, 100, "SH", "SH01;");
    row("SH AM 3000", 2, -3000, 3000, "SH", "SH01;");
    row("SH AM 4000", 0, -4000, 4000, "SH", "SH02;");
    row("SH AM 4500", 0, -4500, 4500, "SH", "SH03;");
    row("SH CW", 5, -3000, 3000, "SH", "SH00;");
    row("SH FSK", 9, -3000, 3000, "SH", "SH00;");
    row("SH mode 8", 8, -3000, 3000, "SH", "SH00;");
    row("SH mode beyond the table", 11, -3000, 3000, "SH", "SH00;");

    row("SL LSB 0", 3, -2700, 0, "SL", "SL00;");
    row("SL LSB 50", 3, -2700, -50, "SL", "SL01;");
    row("SL LSB 50.5", 3, -2700, -50.5, "SL", "SL02;");
    row("SL LSB 200", 3, -2700, -200, "SL", "SL03;");
    row("SL LSB 900", 3, -2700, -900, "SL", "SL10;");
    row("SL LSB 901", 3, -2700, -901, "SL", "SL11;");
    row("SL USB 100", 4, 100, 2700, "SL", "SL02;");
    row("SL USB 0", 4, 0, 2700, "SL", "SL00;");
    row("SL AM", 0, -300, 300, "SL", "SL00;");
    row("SL CW", 5, -300, 300, "SL", "SL00;");

    row("FW CW 50", 5, -25, 25, "FW", "FW0050;");
    row("FW CW 80", 5, -40, 40, "FW", "FW0080;");
    row("FW CW 150", 5, -75, 75, "FW", "FW0150;");
    row("FW CW 200", 5, -100, 100, "FW", "FW0200;");
    row("FW CW 300", 5, -150, 150, "FW", "FW0300;");
    row("FW CW 400", 5, -200, 200, "FW", "FW0400;");
    row("FW CW 500", 5, -250, 250, "FW", "FW0500;");
    row("FW CW 501", 5, -250, 251, "FW", "FW0600;");
    row("FW CW 1000", 5, -500, 500, "FW", "FW1000;");
    row("FW CW above 1000", 5, -500, 501, "FW", "FW2000;");
    row("FW FSK 250", 9, -250, 0, "FW", "FW0250;");
    row("FW FSK 251", 9, -251, 0, "FW", "FW0500;");
    row("FW FSK 1000", 9, 0, 1000, "FW", "FW1000;");
    row("FW FSK the larger edge counts", 9, -600, 100, "FW", "FW1000;");
    row("FW FSK reverse 250", 10, -100, 250, "FW", "FW0250;");
    row("FW FSK reverse above 1000", 10, 0, 1001, "FW", "FW1500;");
    row("FW mode 8", 8, -3000, 3000, "FW", "FW0000;");
    row("FW mode beyond the table", 12, -3000, 3000, "FW", "FW0000;");
    row("FW USB half width 1350", 4, 100, 2800, "FW", "FW0000;");
    row("FW USB half width 2800", 4, -2800, 2800, "FW", "FW0002;");
    row("FW AM half width 2000", 0, -2000, 2000, "FW", "FW0000;");
    row("FW AM half width 2000.5", 0, -2000.5, 2000.5, "FW", "FW0001;");
    row("FW LSB half width 2700", 3, -2700, 2700, "FW", "FW0001;");
    row("FW FM half width 2701", 7, -2701, 2701, "FW", "FW0002;");

    row("SL one character answers nothing", 4, 0, 2700, "SL1", "");
    row("FW with one character answers nothing", 5, -50, 50, "FW1", "");
}

void tst_interpreter_filter::reads()
{
    QFETCH(quint32, hostMode);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(QString, command);
    QFETCH(QByteArray, answer);
    InterpreterHarness h;
    QVERIFY(h.open());
    prepare(h, hostMode, low, high);
    QCOMPARE(h.run(command), answer);
    QCOMPARE(h.sentCommands(), QStringList());
}

void tst_interpreter_filter::sets_data()
{
    QTest::addColumn<quint32>("hostMode");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("sends");
    QTest::addColumn<double>("newLow");
    QTest::addColumn<double>("newHigh");

    const auto row = [](const char* name, quint32 mode, double low, double high,
                        const char* command, bool sends, double newLow, double newHigh) {
        QTest::newRow(name) << mode << low << high << QString(command) << sends << newLow
                            << newHigh;
    };
    row("SH USB 05", 4, 100, 2800, "SH05", true, 100, 2000);
    row("SH LSB 09", 3, -2000, -100, "SH09", true, -2800, -100);
    row("SH FM 13", 6, -100, 100, "SH13", true, -5000, 5000);
    row("SH AM 01", 0, -100, 100, "SH01", true, -3000, 3000);
    row("SH AM out of its range", 1, -100, 100, "SH04", true, -100, 100);
    row("SH USB 14 out of range", 4, 100, 2800, "SH14", true, 100, 2800);
    row("SH with a sign ignored", 4, 100, 2800, "SH-1", false, 100, 2800);
    row("SH CW has no table", 5, -50, 50, "SH05", true, -50, 50);
    row("SH invalid integer", 4, 100, 2800, "SH1-", false, 100, 2800);
    row("SH wrong length", 4, 100, 2800, "SH5", false, 100, 2800);

    row("SL LSB 0003", 3, -2800, -100, "SL0003", true, -2800, -200);
    row("SL LSB 0000", 3, -2800, -100, "SL0000", true, -2800, 0);
    row("SL USB 0011", 4, 100, 2800, "SL0011", true, 1000, 2800);
    row("SL USB 0012 out of range", 4, 100, 2800, "SL0012", true, 100, 2800);
    row("SL with a sign ignored", 4, 100, 2800, "SL-001", false, 100, 2800);
    row("SL AM has no table", 0, -3000, 3000, "SL0003", true, -3000, 3000);
    row("SL LSB 03", 3, -2800, -100, "SL03", true, -2800, -200);
    row("SL USB 07", 4, 100, 2800, "SL07", true, 600, 2800);
    row("SL 12 out of range", 4, 100, 2800, "SL12", true, 100, 2800);
    row("SL invalid integer", 3, -2800, -100, "SL00-3", false, -2800, -100);
    row("SL two-character invalid integer", 3, -2800, -100, "SL0-", false, -2800, -100);
    row("SL three characters ignored", 3, -2800, -100, "SL003", false, -2800, -100);

    row("FW CW 0500", 5, -50, 50, "FW0500", true, -250, 250);
    row("FW CW 0501", 5, -50, 50, "FW0501", true, -250, 250);
    row("FW AM code 0", 0, -50, 50, "FW0000", true, -2000, 2000);
    row("FW AM code 1", 2, -50, 50, "FW0001", true, -2700, 2700);
    row("FW AM other code", 1, -50, 50, "FW0009", true, -3000, 3000);
    row("FW FM first mode", 6, -50, 50, "FW0001", true, -2700, 2700);
    row("FW FM second mode unchanged", 7, -50, 50, "FW0002", true, -50, 50);
    row("FW LSB", 3, -50, -10, "FW0001", true, -2700, 0);
    row("FW USB", 4, 10, 50, "FW0000", true, 0, 2000);
    row("FW FSK", 9, -50, 50, "FW0300", true, -300, 0);
    row("FW FSK reverse", 10, -50, 50, "FW0300", true, 0, 300);
    row("FW mode 8 unchanged", 8, -50, 50, "FW0002", true, -50, 50);
    row("FW with a sign ignored", 5, -50, 50, "FW00-1", false, -50, 50);
    row("FW AM reads only the last digit", 0, -50, 50, "FW0011", true, -2700, 2700);
    row("FW wrong length", 5, -50, 50, "FW500", false, -50, 50);
}

void tst_interpreter_filter::sets()
{
    QFETCH(quint32, hostMode);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(QString, command);
    QFETCH(bool, sends);
    QFETCH(double, newLow);
    QFETCH(double, newHigh);
    InterpreterHarness h;
    QVERIFY(h.open());
    prepare(h, hostMode, low, high);
    QCOMPARE(h.run(command), QByteArray());
    QCOMPARE(h.sentCommands(), sends ? QStringList{filterMessage(newLow, newHigh)} : QStringList());
    const RadioState cache = ControlTestAccess::cache(h.channel);
    QCOMPARE(cache.filterLow, newLow);
    QCOMPARE(cache.filterHigh, newHigh);
}

void tst_interpreter_filter::setThenRead_data()
{
    QTest::addColumn<quint32>("hostMode");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("SH USB") << 4u << "SH05"
                            << "SH" << QByteArray("SH05;");
    QTest::newRow("SH LSB") << 3u << "SH11"
                            << "SH" << QByteArray("SH11;");
    QTest::newRow("SL USB") << 4u << "SL0007"
                            << "SL" << QByteArray("SL07;");
    QTest::newRow("SL USB two digits") << 4u << "SL07"
                                       << "SL" << QByteArray("SL07;");
    QTest::newRow("SL LSB") << 3u << "SL0003"
                            << "SL" << QByteArray("SL03;");
    QTest::newRow("SL LSB two digits") << 3u << "SL03"
                                       << "SL" << QByteArray("SL03;");
    QTest::newRow("FW CW") << 5u << "FW0500"
                           << "FW" << QByteArray("FW0500;");
    QTest::newRow("FW AM") << 0u << "FW0001"
                           << "FW" << QByteArray("FW0001;");
    QTest::newRow("FW FSK reverse") << 10u << "FW0500"
                                    << "FW" << QByteArray("FW0500;");
    QTest::newRow("FW FSK reverse 1000") << 10u << "FW1000"
                                         << "FW" << QByteArray("FW1000;");
    // FSK sets its width below the carrier, and reads it back from there.
    QTest::newRow("FW FSK") << 9u << "FW0500"
                            << "FW" << QByteArray("FW0500;");
    QTest::newRow("FW FSK 250") << 9u << "FW0250"
                                << "FW" << QByteArray("FW0250;");
}

void tst_interpreter_filter::setThenRead()
{
    QFETCH(quint32, hostMode);
    QFETCH(QString, set);
    QFETCH(QString, read);
    QFETCH(QByteArray, answer);
    InterpreterHarness h;
    QVERIFY(h.open());
    prepare(h, hostMode, 0, 0);
    h.run(set);
    QCOMPARE(h.run(read), answer);
}

QTEST_MAIN(tst_interpreter_filter)
#include "tst_interpreter_filter.moc"
