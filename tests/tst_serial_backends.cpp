// Both serial backends through SerialPortAbstract: the combo-row tables, the settings as the
// tty sees them, data both ways over a pseudo-terminal, and open failures.

#include "ExtSerialPortControl.h"
#include "PtyPair.h"
#include "QtSerialPortControl.h"

#include <QTemporaryFile>
#include <QTest>

#include <memory>
#include <termios.h>

namespace
{

enum Setting { DataBits, Parity, StopBits, Flow };

std::unique_ptr<SerialPortAbstract> makeBackend(const QString& kind)
{
    if (kind == "ext")
        return std::make_unique<ExtSerialPortControl>();
    return std::make_unique<QtSerialPortControl>();
}

bool applySetting(SerialPortAbstract& port, int setting, int index)
{
    switch (Setting(setting)) {
    case DataBits:
        return port.setDataBits(index);
    case Parity:
        return port.setParity(index);
    case StopBits:
        return port.setStopBits(index);
    case Flow:
        return port.setFlowControl(index);
    }
    return false;
}

int settingRow(SerialPortAbstract& port, int setting)
{
    switch (Setting(setting)) {
    case DataBits:
        return port.dataBits();
    case Parity:
        return port.parity();
    case StopBits:
        return port.stopBits();
    case Flow:
        return port.flowControl();
    }
    return -1;
}

const QStringList backendKinds{"ext", "qt"};

} // namespace

class tst_serial_backends : public QObject
{
    Q_OBJECT

private slots:
    void settingRows_data();
    void settingRows();
    void bitRates_data();
    void bitRates();
    void settingsReachTty_data();
    void settingsReachTty();
    void dataBothWays_data();
    void dataBothWays();
    void closedPortReadsNothing_data();
    void closedPortReadsNothing();
    void failedOpen_data();
    void failedOpen();
    void extWaitForReadyReadAnswersAtOnce();
};

// Each row is set after `before`; a refused row must leave `before` in place.
void tst_serial_backends::settingRows_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("row");

    struct Range {
        const char* name;
        Setting setting;
        int rows;
    };
    const Range ranges[] = {
        {"data bits", DataBits, 4},
        {"parity", Parity, 5},
        {"stop bits", StopBits, 3},
        {"flow", Flow, 3},
    };
    for (const QString& backend : backendKinds) {
        for (const Range& range : ranges) {
            for (int index = 0; index < range.rows; ++index) {
                QTest::addRow("%s %s %d", qPrintable(backend), range.name, index)
                    << backend << int(range.setting) << (index + 1) % range.rows << index << true
                    << index;
            }
            for (const int refused : {range.rows, -1, 1000}) {
                QTest::addRow("%s %s refuses %d", qPrintable(backend), range.name, refused)
                    << backend << int(range.setting) << 1 << refused << false << 1;
            }
        }
    }
}

void tst_serial_backends::settingRows()
{
    QFETCH(QString, backend);
    QFETCH(int, setting);
    QFETCH(int, before);
    QFETCH(int, index);
    QFETCH(bool, accepted);
    QFETCH(int, row);

    auto port = makeBackend(backend);
    QVERIFY(applySetting(*port, setting, before));
    QCOMPARE(applySetting(*port, setting, index), accepted);
    QCOMPARE(settingRow(*port, setting), row);
}

void tst_serial_backends::bitRates_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("rate");

    const int rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (const QString& backend : backendKinds) {
        for (int index = 0; index < 8; ++index)
            QTest::addRow("%s %d", qPrintable(backend), index) << backend << index << rates[index];
        for (const int outside : {8, 42, -1})
            QTest::addRow("%s %d falls back", qPrintable(backend), outside)
                << backend << outside << 9600;
    }
}

void tst_serial_backends::bitRates()
{
    QFETCH(QString, backend);
    QFETCH(int, index);
    QFETCH(int, rate);

    auto port = makeBackend(backend);
    QVERIFY(port->setBaudRate(7, 3));
    QVERIFY(port->setBaudRate(index, 3));
    QCOMPARE(port->baudRate(3), rate);
}

// What the other side of the line sees once the row is applied to an open port. A
// pseudo-terminal keeps the bit rate, stop bits, flow control and the odd/sticky parity
// bits; it forces 8 data bits and clears the parity enable (see tst_serial_device).
void tst_serial_backends::settingsReachTty_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("cflagMask");
    QTest::addColumn<uint>("cflag");
    QTest::addColumn<uint>("iflag");

    const uint parityBits = PARODD | CMSPAR;
    const uint xonXoff = IXON | IXOFF;
    struct Row {
        const char* name;
        Setting setting;
        int index;
        uint cflagMask;
        uint cflag;
        uint iflag;
    };
    const Row rows[] = {
        {"no parity", Parity, 0, CMSPAR, 0, 0},
        {"odd", Parity, 1, parityBits, PARODD, 0},
        {"even", Parity, 2, parityBits, 0, 0},
        {"mark", Parity, 3, parityBits, PARODD | CMSPAR, 0},
        {"space", Parity, 4, parityBits, CMSPAR, 0},
        {"1 stop", StopBits, 0, CSTOPB, 0, 0},
        {"2 stop", StopBits, 2, CSTOPB, CSTOPB, 0},
        {"no flow", Flow, 0, CRTSCTS, 0, 0},
        {"rts/cts", Flow, 1, CRTSCTS, CRTSCTS, 0},
        {"xon/xoff", Flow, 2, CRTSCTS, 0, xonXoff},
    };
    for (const QString& backend : backendKinds) {
        for (const Row& row : rows) {
            QTest::addRow("%s %s", qPrintable(backend), row.name)
                << backend << int(row.setting) << row.index << row.cflagMask << row.cflag
                << row.iflag;
        }
    }
    // POSIX has no one and a half stop bits: the Ext device sends two. (The Qt add-on sends
    // one, its own choice.)
    QTest::newRow("ext 1.5 stop") << "ext" << int(StopBits) << 1 << uint(CSTOPB) << uint(CSTOPB)
                                  << 0u;
}

void tst_serial_backends::settingsReachTty()
{
    QFETCH(QString, backend);
    QFETCH(int, setting);
    QFETCH(int, index);
    QFETCH(uint, cflagMask);
    QFETCH(uint, cflag);
    QFETCH(uint, iflag);

    PtyPair pty;
    auto port = makeBackend(backend);
    port->setPortName(pty.slavePath());
    // Start from the opposite of the row, so the row itself must change the line.
    QVERIFY(applySetting(*port, setting, index == 0 ? 1 : 0));
    QVERIFY2(port->open(QIODevice::ReadWrite), qPrintable(port->errorString()));
    QVERIFY(applySetting(*port, setting, index));

    termios tio{};
    QVERIFY(pty.slaveAttributes(&tio));
    QCOMPARE(uint(tio.c_cflag & cflagMask), cflag);
    QCOMPARE(uint(tio.c_iflag & (IXON | IXOFF)), iflag);
    QCOMPARE(uint(tio.c_lflag & (ICANON | ECHO)), 0u);
}

void tst_serial_backends::dataBothWays_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("index");
    QTest::addColumn<speed_t>("speed");

    for (const QString& backend : backendKinds) {
        QTest::addRow("%s 1200", qPrintable(backend)) << backend << 0 << speed_t(B1200);
        QTest::addRow("%s 9600", qPrintable(backend)) << backend << 3 << speed_t(B9600);
        QTest::addRow("%s 115200", qPrintable(backend)) << backend << 7 << speed_t(B115200);
    }
}

void tst_serial_backends::dataBothWays()
{
    QFETCH(QString, backend);
    QFETCH(int, index);
    QFETCH(speed_t, speed);

    PtyPair pty;
    auto port = makeBackend(backend);
    port->setPortName(pty.slavePath());
    QVERIFY(port->setBaudRate(index, 3));
    QVERIFY2(port->open(QIODevice::ReadWrite), qPrintable(port->errorString()));

    termios tio{};
    QVERIFY(pty.slaveAttributes(&tio));
    QCOMPARE(cfgetospeed(&tio), speed);
    QCOMPARE(cfgetispeed(&tio), speed);

    QCOMPARE(port->write("FA00007074000;"), qint64(14));
    port->flush();
    QCOMPARE(pty.read(2000), QByteArray("FA00007074000;"));

    QVERIFY(pty.write("FA;IF;"));
    QByteArray received;
    QTRY_COMPARE((received += port->readAll()), QByteArray("FA;IF;"));
}

void tst_serial_backends::closedPortReadsNothing_data()
{
    QTest::addColumn<QString>("backend");
    for (const QString& backend : backendKinds)
        QTest::newRow(qPrintable(backend)) << backend;
}

void tst_serial_backends::closedPortReadsNothing()
{
    QFETCH(QString, backend);

    PtyPair pty;
    auto port = makeBackend(backend);
    QVERIFY(port->readAll().isEmpty());
    port->setPortName(pty.slavePath());
    QVERIFY(port->open(QIODevice::ReadWrite));
    port->close();
    port->close();
    QVERIFY(pty.write("FA;"));
    QVERIFY(port->readAll().isEmpty());
    QCOMPARE(port->write("FA;"), qint64(-1));
    port->flush();
}

void tst_serial_backends::failedOpen_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("regularFile");
    QTest::addColumn<QString>("reason");

    QTest::newRow("ext missing") << "ext" << false << "No such file or directory";
    QTest::newRow("ext regular file") << "ext" << true << "Not a tty";
    QTest::newRow("qt missing") << "qt" << false << "No such file or directory";
    QTest::newRow("qt regular file") << "qt" << true << "Inappropriate ioctl for device";
}

void tst_serial_backends::failedOpen()
{
    QFETCH(QString, backend);
    QFETCH(bool, regularFile);
    QFETCH(QString, reason);

    QTemporaryFile file;
    QVERIFY(file.open());
    auto port = makeBackend(backend);
    port->setPortName(regularFile ? file.fileName() : file.fileName() + ".gone");
    QVERIFY(!port->open(QIODevice::ReadWrite));
    QVERIFY2(port->errorString().contains(reason), qPrintable(port->errorString()));
    QVERIFY(port->readAll().isEmpty());
}

void tst_serial_backends::extWaitForReadyReadAnswersAtOnce()
{
    ExtSerialPortControl port;
    QVERIFY(port.waitForReadyRead(5000));
}

QTEST_GUILESS_MAIN(tst_serial_backends)
#include "tst_serial_backends.moc"
