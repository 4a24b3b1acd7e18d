// Port names and port discovery: bare names under /dev/, numeric order, merging without
// duplicates, and the COMn probe finding /dev/COMn links to pseudo-terminals, including one held
// by an open port, while links to things that are no serial port stay out and no device is
// opened to find out.

#include "ExtSerialPortControl.h"
#include "OpenWatch.h"
#include "PortNames.h"
#include "PtyPair.h"
#include "QtSerialPortControl.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// /dev/COMn links made for one test and removed afterwards. Numbers that nothing else here
// uses, two of them ordered differently as text than as numbers.
class DevLinks
{
public:
    ~DevLinks()
    {
        for (const QString& link : m_made)
            ::unlink(link.toLocal8Bit().constData());
    }

    static bool exists(const QString& name)
    {
        struct stat st {
        };
        return ::lstat(PortNames::devicePath(name).toLocal8Bit().constData(), &st) == 0;
    }

    bool make(const QString& name, const QString& target)
    {
        const QString link = PortNames::devicePath(name);
        if (::symlink(target.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0)
            return false;
        m_made.append(link);
        return true;
    }

private:
    QStringList m_made;
};

std::unique_ptr<SerialPortAbstract> makeBackend(const QString& kind)
{
    if (kind == "ext")
        return std::make_unique<ExtSerialPortControl>();
    return std::make_unique<QtSerialPortControl>();
}

} // namespace

class tst_serial_discovery : public QObject
{
    Q_OBJECT

private slots:
    void devicePath_data();
    void devicePath();
    void portNumber_data();
    void portNumber();
    void sortByNumber_data();
    void sortByNumber();
    void appendMissing_data();
    void appendMissing();
    void probeFindsComLinks_data();
    void probeFindsComLinks();
};

void tst_serial_discovery::devicePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");

    QTest::newRow("COM5") << "COM5"
                          << "/dev/COM5";
    QTest::newRow("ttyUSB0") << "ttyUSB0"
                             << "/dev/ttyUSB0";
    QTest::newRow("add-on pty name") << "pts/3"
                                     << "/dev/pts/3";
    QTest::newRow("full path") << "/dev/pts/3"
                               << "/dev/pts/3";
    QTest::newRow("path elsewhere") << "/tmp/ttyV0"
                                    << "/tmp/ttyV0";
}

void tst_serial_discovery::devicePath()
{
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(PortNames::devicePath(name), path);
}

void tst_serial_discovery::portNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint64>("number");

    QTest::newRow("COM12") << "COM12" << quint64(12);
    QTest::newRow("COM0") << "COM0" << quint64(0);
    QTest::newRow("no digits") << "ttyACM" << quint64(0);
    QTest::newRow("digits apart") << "a1b2" << quint64(12);
    QTest::newRow("too many digits")
        << "COM99999999999999999999999" << std::numeric_limits<quint64>::max();
}

void tst_serial_discovery::portNumber()
{
    QFETCH(QString, name);
    QFETCH(quint64, number);
    QCOMPARE(PortNames::portNumber(name), number);
}

void tst_serial_discovery::sortByNumber_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sorted");

    QTest::newRow("COM2 before COM10")
        << QStringList{"COM10", "COM2", "COM1"} << QStringList{"COM1", "COM2", "COM10"};
    QTest::newRow("mixed kinds") << QStringList{"ttyUSB3", "COM12", "ttyS1"}
                                 << QStringList{"ttyS1", "ttyUSB3", "COM12"};
    QTest::newRow("no digits first")
        << QStringList{"COM1", "console"} << QStringList{"console", "COM1"};
    QTest::newRow("empty") << QStringList{} << QStringList{};
}

void tst_serial_discovery::sortByNumber()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, sorted);
    PortNames::sortByNumber(names);
    QCOMPARE(names, sorted);
}

void tst_serial_discovery::appendMissing_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("more");
    QTest::addColumn<QStringList>("merged");

    QTest::newRow("repeat dropped") << QStringList{"ttyS0", "COM3"} << QStringList{"COM3", "COM4"}
                                    << QStringList{"ttyS0", "COM3", "COM4"};
    QTest::newRow("repeat within more")
        << QStringList{} << QStringList{"COM4", "COM4"} << QStringList{"COM4"};
    QTest::newRow("case matters") << QStringList{"COM4"} << QStringList{"com4"}
                                  << QStringList{"COM4", "com4"};
}

void tst_serial_discovery::appendMissing()
{
    QFETCH(QStringList, list);
    QFETCH(QStringList, more);
    QFETCH(QStringList, merged);
    PortNames::appendMissing(list, more);
    QCOMPARE(list, merged);
}

void tst_serial_discovery::probeFindsComLinks_data()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("ext") << "ext";
    QTest::newRow("qt") << "qt";
}

void tst_serial_discovery::probeFindsComLinks()
{
    QFETCH(QString, backend);
    if (::geteuid() != 0)
        QSKIP("making /dev/COMn links needs root");
    const QStringList names{"COM9", "COM87", "COM88", "COM89", "COM90"};
    for (const QString& name : names) {
        if (DevLinks::exists(name))
            QSKIP(qPrintable("/dev/" + name + " exists already; it is not this test's to replace"));
    }

    PtyPair nine;
    PtyPair eightySeven;
    PtyPair held;
    QTemporaryFile plainFile;
    QVERIFY(plainFile.open());
    DevLinks links;
    QVERIFY(links.make("COM9", nine.slavePath()));
    QVERIFY(links.make("COM87", eightySeven.slavePath()));
    QVERIFY(links.make("COM88", held.slavePath()));
    QVERIFY(links.make("COM89", plainFile.fileName()));
    QVERIFY(links.make("COM90", "/dev/no-such-serial-device"));

    // COM88 is in use: an open port at 115200 bit/s that must keep its line as it is.
    ExtSerialPortControl holder;
    holder.setPortName("COM88");
    QVERIFY(holder.setBaudRate(7, 3));
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));

    // The watch sees an open of a linked device, so its silence below means something.
    OpenWatch opens;
    for (const PtyPair* pair : {&nine, &eightySeven, &held})
        QVERIFY(opens.watch(pair->slavePath()));
    ::close(::open("/dev/COM9", O_RDONLY | O_NOCTTY | O_NONBLOCK));
    QCOMPARE(opens.takeOpens(), 1);

    auto port = makeBackend(backend);
    const QStringList ports = port->availablePorts();
    QCOMPARE(opens.takeOpens(), 0);

    for (const QString& name : QStringList{"COM9", "COM87", "COM88"})
        QVERIFY2(ports.count(name) == 1, qPrintable(name + " in " + ports.join(',')));
    QVERIFY(!ports.contains("COM89"));
    QVERIFY(!ports.contains("COM90"));
    QVERIFY(ports.indexOf("COM9") < ports.indexOf("COM87"));
    QVERIFY(ports.indexOf("COM87") < ports.indexOf("COM88"));
    for (int i = 1; i < ports.size(); ++i)
        QVERIFY(PortNames::portNumber(ports.at(i - 1)) <= PortNames::portNumber(ports.at(i)));

    // The held port was not opened by the probe: its settings and its exclusive mode (which an
    // opening and closing probe would have switched off) are as the holder left them.
    termios tio{};
    QVERIFY(held.slaveAttributes(&tio));
    QCOMPARE(cfgetospeed(&tio), speed_t(B115200));
    const int fd = ::open(held.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY);
    QVERIFY(fd >= 0);
    int exclusive = 0;
    const int queried = ::ioctl(fd, TIOCGEXCL, &exclusive);
    ::close(fd);
    QCOMPARE(queried, 0);
    QCOMPARE(exclusive, 1);
    QCOMPARE(holder.write("PS1;"), qint64(4));
    QCOMPARE(held.read(2000), QByteArray("PS1;"));
}

QTEST_GUILESS_MAIN(tst_serial_discovery)
#include "tst_serial_discovery.moc"
