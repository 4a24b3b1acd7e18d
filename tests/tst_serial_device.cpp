// The POSIX tty device under the Ext backend: data through a pseudo-terminal, the termios it
// builds, open failures in plain words, and a device that disappears while open; and the
// virtual port's pseudo-terminal with its published link.

#include "PosixSerialPort.h"
#include "PtyPair.h"
#include "RuntimeDirectory.h"
#include "TermiosSettings.h"
#include "VirtualPort.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{

QByteArray readUntil(PosixSerialPort& port, int size)
{
    QByteArray received;
    [[maybe_unused]] const bool complete = QTest::qWaitFor(
        [&] {
            received += port.readAll();
            return received.size() >= size;
        },
        5000);
    return received;
}

// Everything a descriptor delivers within `ms` milliseconds, stopping at `size` bytes.
QByteArray readFd(int fd, int size, int ms = 3000)
{
    QByteArray received;
    [[maybe_unused]] const bool complete = QTest::qWaitFor(
        [&] {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, n);
            return received.size() >= size;
        },
        ms);
    return received;
}

} // namespace

class tst_serial_device : public QObject
{
    Q_OBJECT

private slots:
    void dataBothWays();
    void bareNameOpensUnderDev();
    void termiosFlags_data();
    void termiosFlags();
    void settingsBeforeOpenApplyAtOpen();
    void failedOpen_data();
    void failedOpen();
    void secondOpenOfHeldPortIsBusy();
    void closedPortReadsNothing();
    void flushWithoutReaderKeepsEveryByte();
    void slowReaderGetsEveryAnswerWhole();
    void stalledLineRefusesAnswersWhole();
    void deviceGoneWhileOpen();
    void virtualPortLink_data();
    void virtualPortLink();
    void staleLinksRemoved_data();
    void staleLinksRemoved();
};

void tst_serial_device::dataBothWays()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(pty.slavePath());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));

    QCOMPARE(port.write("FA00014250000;"), qint64(14));
    QCOMPARE(pty.read(2000), QByteArray("FA00014250000;"));

    QVERIFY(pty.write("IF;MD;"));
    QCOMPARE(readUntil(port, 6), QByteArray("IF;MD;"));
    QVERIFY(port.readAll().isEmpty());
}

void tst_serial_device::bareNameOpensUnderDev()
{
    PtyPair pty;
    QVERIFY(pty.slavePath().startsWith("/dev/"));
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(pty.slavePath().mid(5));
    QCOMPARE(port.devicePath(), pty.slavePath());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QCOMPARE(port.write("ID;"), qint64(3));
    QCOMPARE(pty.read(2000), QByteArray("ID;"));
}

// Character size and parity, checked on the termios the mapping produces: a pseudo-terminal
// forces 8 bits and no parity on whatever it is given. (Bit rate, stop bits and flow control
// are checked on a live pty in tst_serial_backends.)
void tst_serial_device::termiosFlags_data()
{
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<uint>("cflagMask");
    QTest::addColumn<uint>("cflag");

    const uint parityMask = PARENB | PARODD | CMSPAR;
    QTest::newRow("5 bits") << int(DATA_5) << 0 << uint(CSIZE) << uint(CS5);
    QTest::newRow("6 bits") << int(DATA_6) << 0 << uint(CSIZE) << uint(CS6);
    QTest::newRow("7 bits") << int(DATA_7) << 0 << uint(CSIZE) << uint(CS7);
    QTest::newRow("8 bits") << int(DATA_8) << 0 << uint(CSIZE) << uint(CS8);
    QTest::newRow("no parity") << 8 << int(PAR_NONE) << parityMask << 0u;
    QTest::newRow("odd") << 8 << int(PAR_ODD) << parityMask << uint(PARENB | PARODD);
    QTest::newRow("even") << 8 << int(PAR_EVEN) << parityMask << uint(PARENB);
    QTest::newRow("mark") << 8 << int(PAR_MARK) << parityMask << uint(PARENB | CMSPAR | PARODD);
    QTest::newRow("space") << 8 << int(PAR_SPACE) << parityMask << uint(PARENB | CMSPAR);
}

void tst_serial_device::termiosFlags()
{
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(uint, cflagMask);
    QFETCH(uint, cflag);

    PortSettings settings;
    settings.dataBits = DataBitsType(dataBits);
    settings.parity = ParityType(parity);
    // Start from a cooked, fully flagged termios: everything the mapping does not want must go.
    termios tio{};
    tio.c_cflag = CS8 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    tio.c_iflag = IXON | IXOFF | IXANY | ICRNL;
    tio.c_lflag = ICANON | ECHO | ISIG;
    tio.c_cc[VMIN] = 1;
    applyPortSettings(settings, tio);

    QCOMPARE(uint(tio.c_cflag & cflagMask), cflag);
    QCOMPARE(uint(tio.c_cflag & (CSTOPB | CRTSCTS)), 0u);
    QCOMPARE(uint(tio.c_iflag & (IXON | IXOFF | IXANY)), 0u);
    QCOMPARE(uint(tio.c_cflag & (CLOCAL | CREAD)), uint(CLOCAL | CREAD));
    QCOMPARE(uint(tio.c_lflag & (ICANON | ECHO | ISIG)), 0u);
    QCOMPARE(uint(tio.c_iflag & ICRNL), 0u);
    QCOMPARE(int(tio.c_cc[VMIN]), 0);
    QCOMPARE(int(tio.c_cc[VTIME]), 0);
}

void tst_serial_device::settingsBeforeOpenApplyAtOpen()
{
    PtyPair pty;
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(pty.slavePath());
    port.setBaudRate(BAUD57600);
    port.setStopBits(STOP_2);
    port.setFlowControl(FLOW_HARDWARE);
    QVERIFY(port.open(QIODevice::ReadWrite));

    termios tio{};
    QVERIFY(pty.slaveAttributes(&tio));
    QCOMPARE(cfgetospeed(&tio), speed_t(B57600));
    QVERIFY(tio.c_cflag & CSTOPB);
    QVERIFY(tio.c_cflag & CRTSCTS);
    QCOMPARE(uint(tio.c_lflag & ICANON), 0u);
}

void tst_serial_device::failedOpen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "missing" << int(QIODevice::ReadWrite)
                             << "No such file or directory";
    QTest::newRow("missing bare name")
        << "bare" << int(QIODevice::ReadWrite) << "No such file or directory";
    QTest::newRow("directory read-write")
        << "directory" << int(QIODevice::ReadWrite) << "Is a directory";
    QTest::newRow("directory read-only") << "directory" << int(QIODevice::ReadOnly) << "Not a tty";
    QTest::newRow("regular file") << "file" << int(QIODevice::ReadWrite) << "Not a tty";
    QTest::newRow("no access mode") << "pty" << int(QIODevice::NotOpen) << "Invalid argument";
}

void tst_serial_device::failedOpen()
{
    QFETCH(QString, kind);
    QFETCH(int, mode);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QTemporaryFile file;
    QVERIFY(file.open());
    PtyPair pty;
    const QMap<QString, QString> names{
        {"missing", dir.path() + "/no-such-tty"},
        {"bare", "no-such-tty-for-this-test"},
        {"directory", dir.path()},
        {"file", file.fileName()},
        {"pty", pty.slavePath()},
    };

    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(names.value(kind));
    QVERIFY(!port.open(QIODevice::OpenMode(mode)));
    QVERIFY(!port.isOpen());
    QVERIFY2(port.errorString().startsWith(reason), qPrintable(port.errorString()));
    QVERIFY(port.readAll().isEmpty());
    QCOMPARE(port.write("x"), qint64(-1));
}

void tst_serial_device::secondOpenOfHeldPortIsBusy()
{
    PtyPair pty;
    PosixSerialPort first(PosixSerialPort::Polling);
    PosixSerialPort second(PosixSerialPort::Polling);
    first.setPortName(pty.slavePath());
    second.setPortName(pty.slavePath());
    QVERIFY(!pty.isHeldElsewhere());
    QVERIFY(first.open(QIODevice::ReadWrite));
    QVERIFY(pty.isHeldElsewhere());

    QVERIFY(!second.open(QIODevice::ReadOnly));
    QCOMPARE(second.errorString(), QString("Device or resource busy"));

    // Closing (twice, harmlessly) releases the port for the next owner.
    first.close();
    first.close();
    QVERIFY(!pty.isHeldElsewhere());
    QVERIFY2(second.open(QIODevice::ReadOnly), qPrintable(second.errorString()));
}

void tst_serial_device::closedPortReadsNothing()
{
    PtyPair pty;
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(pty.slavePath());
    QVERIFY(port.readAll().isEmpty());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QVERIFY(pty.write("FA;"));
    QTRY_VERIFY(port.bytesAvailable() == 3);
    port.close();
    QVERIFY(port.readAll().isEmpty());
    QCOMPARE(port.bytesAvailable(), qint64(0));
    QCOMPARE(port.write("FA;"), qint64(-1));
    QCOMPARE(port.lineStatus(), 0ul);
}

// Nobody reads the other end: the kernel buffer fills, write() reports what it took, and
// flush() returns instead of waiting for a drain that never comes. Nothing taken is lost.
void tst_serial_device::flushWithoutReaderKeepsEveryByte()
{
    PtyPair pty;
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(pty.slavePath());
    port.setTimeout(1);
    QVERIFY(port.open(QIODevice::ReadWrite));

    const QByteArray block(1 << 20, 'x');
    const qint64 taken = port.write(block);
    QVERIFY(taken > 0);
    QVERIFY(taken < block.size());
    port.flush();
    QCOMPARE(port.write("y"), qint64(0));

    QCOMPARE(pty.readFor(200).size(), int(taken));
}

// A client that reads slowly (a busy logger, or one starved of CPU) makes the kernel buffer fill
// up; every answer must still arrive whole and in order, none dropped, none cut.
void tst_serial_device::slowReaderGetsEveryAnswerWhole()
{
    PtyPair pty;
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(pty.slavePath());
    port.setTimeout(1);
    QVERIFY(port.open(QIODevice::ReadWrite));

    // Far more than the kernel buffers between the two ends, read in small sips.
    const QByteArray answer("FA00007074000;");
    constexpr int answers = 10000;
    QByteArray received;
    std::thread reader([&] {
        char sip[256];
        while (received.size() < answer.size() * answers) {
            pollfd p{pty.masterFd(), POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(pty.masterFd(), sip, sizeof sip);
            if (n <= 0)
                break;
            received.append(sip, n);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    int whole = 0;
    for (int i = 0; i < answers; ++i)
        whole += port.write(answer) == answer.size() ? 1 : 0;
    reader.join();

    QCOMPARE(whole, answers);
    QVERIFY(received == answer.repeated(answers));
}

// Nobody reads at all: after the one bounded wait in which the line stalls, answers are refused
// whole and nothing more reaches the line.
void tst_serial_device::stalledLineRefusesAnswersWhole()
{
    PtyPair pty;
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(pty.slavePath());
    QVERIFY(port.open(QIODevice::ReadWrite));

    const QByteArray answer("IF0000190000000000+000000000030000000;");
    qint64 written = 0;
    for (int i = 0; i < 100000; ++i) {
        const qint64 n = port.write(answer);
        QVERIFY(n >= 0);
        written += n;
        if (n < answer.size())
            break;
    }
    for (int i = 0; i < 50; ++i)
        QCOMPARE(port.write(answer), qint64(0));

    const QByteArray received = pty.readFor(300);
    QCOMPARE(received.size(), int(written));
    QVERIFY(received.startsWith(answer.repeated(int(written / answer.size()))));
}

void tst_serial_device::deviceGoneWhileOpen()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
    PosixSerialPort port(PosixSerialPort::Polling);
    port.setPortName(QString::fromLocal8Bit(name));
    QVERIFY(port.open(QIODevice::ReadWrite));
    QCOMPARE(::write(master, "FA;", 3), ssize_t(3));
    QCOMPARE(readUntil(port, 3), QByteArray("FA;"));

    ::close(slave);
    ::close(master);

    QVERIFY(port.readAll().isEmpty());
    QVERIFY(port.readAll().isEmpty());
    QCOMPARE(port.write("IF;"), qint64(-1));
    QVERIFY(!port.errorString().isEmpty());
    port.flush();
    QCOMPARE(port.lineStatus(), 0ul);
    port.close();
    port.close();
    QVERIFY(!port.isOpen());
}

void tst_serial_device::virtualPortLink_data()
{
    QTest::addColumn<bool>("runtimeSet"); // XDG_RUNTIME_DIR set
    QTest::addColumn<QString>("before");  // what the folder holds already
    QTest::addColumn<QString>("refusal"); // empty when it opens
    QTest::addColumn<bool>("takenOver");  // another host publishes the name while it is open

    QTest::newRow("runtime folder") << true << ""
                                    << "" << false;
    QTest::newRow("no runtime folder") << false << ""
                                       << "" << false;
    QTest::newRow("stale link replaced") << true << "stale link"
                                         << "" << false;
    QTest::newRow("folder open to others") << true << "open folder"
                                           << "not private" << false;
    QTest::newRow("name held by another host") << true << "held"
                                               << "RX3 is in use by another host" << false;
    QTest::newRow("name taken over") << true << ""
                                     << "" << true;
}

// The link a client opens: where it is, that it leads to the port's pseudo-terminal, that the
// client may come and go without the port side ever seeing a hang-up, and that it is gone once
// the port closes.
void tst_serial_device::virtualPortLink()
{
    QFETCH(bool, runtimeSet);
    QFETCH(QString, before);
    QFETCH(QString, refusal);
    QFETCH(bool, takenOver);

    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const RuntimeDirectory environment(runtimeSet ? runtime.path() : QString());
    const QString folder = runtimeSet ? runtime.filePath("kenwood-ts480")
                                      : QString("/tmp/kenwood-ts480-%1").arg(::getuid());
    const QString path = folder + "/RX3";
    QCOMPARE(VirtualPort::linkPath("RX3"), path);
    if (!before.isEmpty())
        QCOMPARE(::mkdir(folder.toLocal8Bit().constData(), before == "open folder" ? 0755 : 0700),
                 0);
    if (before == "stale link")
        QCOMPARE(::symlink("/dev/null", path.toLocal8Bit().constData()), 0);
    VirtualPort holder;
    if (before == "held")
        QVERIFY(holder.open("RX3") >= 0);
    const QString heldTarget = QFileInfo(path).symLinkTarget();

    VirtualPort port;
    const int master = port.open("RX3");
    QCOMPARE(master < 0, !refusal.isEmpty());
    if (master < 0) {
        QVERIFY2(port.errorString().contains(refusal), qPrintable(port.errorString()));
        QCOMPARE(QFileInfo(path).symLinkTarget(), heldTarget);
        return;
    }
    QCOMPARE(port.path(), path);
    // Through our own descriptor of the terminal, which goes with this process.
    QVERIFY(QFileInfo(path).symLinkTarget().startsWith(QString("/proc/%1/fd/").arg(::getpid())));
    QVERIFY(QFileInfo(path).canonicalFilePath().startsWith("/dev/pts/"));
    QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFileDevice::Permissions());

    pollfd portSide{master, POLLIN, 0};
    for (int connection = 0; connection < 2; ++connection) {
        // Nothing to read and no hang-up while no client is there, before and after each one.
        QCOMPARE(::poll(&portSide, 1, 0), 0);
        const int client = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(client >= 0);
        QCOMPARE(::write(client, "FA;", 3), ssize_t(3));
        QCOMPARE(readFd(master, 3), QByteArray("FA;"));
        QCOMPARE(::write(master, "FA00007074000;", 14), ssize_t(14));
        QCOMPARE(readFd(client, 14), QByteArray("FA00007074000;"));
        ::close(client);
    }
    QCOMPARE(::poll(&portSide, 1, 0), 0);

    if (takenOver) {
        QCOMPARE(::unlink(path.toLocal8Bit().constData()), 0);
        QCOMPARE(::symlink("/dev/null", path.toLocal8Bit().constData()), 0);
    }
    port.close();
    ::close(master);
    if (takenOver) {
        // The other host's link stays.
        QCOMPARE(QFileInfo(path).symLinkTarget(), QString("/dev/null"));
        return;
    }
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY), -1);
    QCOMPARE(errno, ENOENT);
    if (!runtimeSet)
        ::rmdir(folder.toLocal8Bit().constData());
}

void tst_serial_device::staleLinksRemoved_data()
{
    QTest::addColumn<bool>("hostAlive");
    QTest::newRow("host gone") << false;
    QTest::newRow("host alive") << true;
}

// A host that starts clears away the links of hosts that are gone, and only those.
void tst_serial_device::staleLinksRemoved()
{
    QFETCH(bool, hostAlive);

    QTemporaryDir runtime;
    const RuntimeDirectory environment(runtime.path());
    const QString path = VirtualPort::linkPath("RX1");
    VirtualPort host;
    QVERIFY(host.open("RX1") >= 0);
    if (!hostAlive) {
        // What a host killed before it could close leaves: its link, its name's lock free.
        const QString target = QFileInfo(path).symLinkTarget();
        host.close();
        QCOMPARE(::symlink(target.toLocal8Bit().constData(), path.toLocal8Bit().constData()), 0);
    }

    VirtualPort::removeStaleLinks();
    QCOMPARE(QFileInfo(path).isSymLink(), hostAlive);
}

QTEST_GUILESS_MAIN(tst_serial_device)
#include "tst_serial_device.moc"
