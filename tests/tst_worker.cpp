// The CAT worker's waiting, through a real channel on a pseudo-terminal: it sleeps until bytes
// arrive (no turn at all while idle) unless a CAT line is chosen for keying, a stop ends its
// wait at once, and its output queue keeps every answer whole and in order for a client that
// pauses reading, while a client that never reads costs no more than the queue's bound, is no
// longer read from, and does not hold up the host's messages; a flood of sets goes at the host's
// pace.

#include "ChannelHarness.h"
#include "ControlTestAccess.h"
#include "PtyPair.h"
#include "SocatPair.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class tst_worker : public QObject
{
    Q_OBJECT

private slots:
    void waitsForBytes_data();
    void waitsForBytes();
    void pausedClient_data();
    void pausedClient();
    void setsWaitForTheHost();
};

namespace
{

// Long enough for a worker on a 500 us turn to come round hundreds of times.
constexpr int quietGapMs = 200;

quint64 turns(const ChannelHarness& channel)
{
    return ControlTestAccess::workerTurns(channel.control);
}

bool openCat(ChannelHarness& channel, const PtyPair& pty)
{
    channel.selectPort("cbPortName", pty.slavePath());
    channel.box("chbEnable")->setChecked(true);
    return channel.control.isRunning();
}

// What the line takes of `data` now, without waiting.
qsizetype writeSome(int fd, const QByteArray& data, qsizetype from)
{
    const ssize_t n = ::write(fd, data.constData() + from, size_t(data.size() - from));
    return n > 0 ? n : 0;
}

// A raw, non-blocking descriptor on a client's end, as a client program opens its port.
int openClient(const QString& path)
{
    const int fd =
        ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

bool writable(int fd, int withinMs = 0)
{
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, withinMs) > 0 && (p.revents & POLLOUT);
}

QByteArray readAvailable(int fd)
{
    QByteArray data;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, n);
    return data;
}

} // namespace

void tst_worker::waitsForBytes_data()
{
    QTest::addColumn<int>("pttRow");
    QTest::newRow("no CAT line chosen: no turn while idle") << 0;
    QTest::newRow("PTT on RTS: 500 us turns") << 2;
}

void tst_worker::waitsForBytes()
{
    QFETCH(int, pttRow);
    const bool watching = pttRow != 0;

    PtyPair pty;
    ChannelHarness channel;
    channel.combo("cbPttLine")->setCurrentIndex(pttRow);
    QVERIFY(openCat(channel, pty));
    QVERIFY(pty.write("ID;"));
    QCOMPARE(pty.read(3000), QByteArray("ID020;"));

    // Bytes end the wait.
    const quint64 beforeCommand = turns(channel);
    QVERIFY(pty.write("FA;"));
    QCOMPARE(pty.read(3000), QByteArray("FA00001900000;"));
    QVERIFY(turns(channel) > beforeCommand);

    const quint64 idleStart = turns(channel);
    if (watching) {
        QTRY_VERIFY(turns(channel) > idleStart + 20);
    } else {
        QTest::qWait(quietGapMs);
        QCOMPARE(turns(channel), idleStart);
    }

    // The stop's wake-up ends a wait that has no limit (the worker sleeps in it, as the quiet
    // gap showed): one turn, and the worker is gone.
    const quint64 beforeStop = turns(channel);
    channel.box("chbEnable")->setChecked(false);
    QVERIFY(!channel.control.isRunning());
    if (!watching)
        QCOMPARE(turns(channel), beforeStop + 1);
}

void tst_worker::pausedClient_data()
{
    QTest::addColumn<bool>("readsAgain");
    QTest::addColumn<bool>("throughSocat");
    QTest::newRow("pauses, then reads everything") << true << false;
    QTest::newRow("never reads, port closed") << false << false;
    // socat relays both directions in one thread and blocks writing to a port that reads
    // nothing: the channel must not wait for its answers to drain while socat waits for it.
    // The client's pause stays within the input the worker holds back (a client writing more
    // than that without reading would hold socat for good, whatever the port did).
    QTest::newRow("through socat, pauses, then reads everything") << true << true;
}

void tst_worker::pausedClient()
{
    QFETCH(bool, readsAgain);
    QFETCH(bool, throughSocat);

    PtyPair pty;
    QTemporaryDir dir;
    SocatPair pair(dir.path() + "/host", dir.path() + "/client");
    if (throughSocat) {
        if (QStandardPaths::findExecutable("socat").isEmpty())
            QSKIP("socat is not installed");
        QVERIFY(pair.start());
    }
    ChannelHarness channel;
    channel.selectPort("cbPortName", throughSocat ? pair.hostPath : pty.slavePath());
    channel.box("chbEnable")->setChecked(true);
    QVERIFY(channel.control.isRunning());
    const int fd = throughSocat ? openClient(pair.clientPath) : pty.masterFd();
    QVERIFY(fd >= 0);
    const auto closeClient = qScopeGuard([&] {
        if (throughSocat)
            ::close(fd);
    });
    QCOMPARE(writeSome(fd, "IF;", 0), 3);
    QByteArray ifAnswer;
    for (const QDeadlineTimer deadline(3000); ifAnswer.size() < 38 && !deadline.hasExpired();) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0)
            ifAnswer += readAvailable(fd);
    }
    QCOMPARE(ifAnswer.size(), 38);

    // "IF;" has the longest answer for its command; directly, the commands are more than the
    // input the worker holds back and the kernel's buffers together, the answers many times
    // more; through socat they are half of what the worker holds back.
    const qint64 heldInput = ControlTestAccess::heldInputLimit;
    const int pairs = int(throughSocat ? heldInput / 12 : heldInput / 6 + 100000);
    const QByteArray commands = QByteArray("IF;ID;").repeated(pairs);
    const QByteArray expected = (ifAnswer + "ID020;").repeated(pairs);

    // The client writes without reading until the worker has stopped taking its commands: the
    // queue holds the bound, the worker holds its share of unexecuted input, and the line to the
    // port is full.
    const qint64 limit = ControlTestAccess::outputQueueLimit;
    const auto queued = [&] { return ControlTestAccess::queuedAnswerBytes(channel.control); };
    qsizetype written = 0;
    // Until the line to the port has had no room for a whole quiet gap.
    const auto writeUntilHeld = [&] {
        const QDeadlineTimer deadline(20000);
        while (written < commands.size() && !(queued() >= limit && !writable(fd, quietGapMs)) &&
               !deadline.hasExpired())
            written += writeSome(fd, commands, written);
    };
    // Held: the worker has stopped taking commands and sleeps until the client reads.
    const auto expectHeld = [&](quint64 stoppedAt) {
        QVERIFY(written < commands.size());
        // One read's worth of input (a tty hands over 4 KiB at most) adds its answers whole to
        // a queue just under the bound, and nothing more is executed.
        QVERIFY2(queued() < 2 * limit, qPrintable(QString::number(queued())));
        const qint64 held = queued();
        QTest::qWait(quietGapMs);
        QCOMPARE(turns(channel), stoppedAt);
        QCOMPARE(queued(), held);
        QVERIFY(!writable(fd));
    };
    // Past the limit the worker still takes in a bounded amount of input, unexecuted.
    writeUntilHeld();
    // Through socat the client's writes may also stall on socat, held up by the client's own
    // unread answers: then nothing waits on the port.
    if (!throughSocat) {
        QVERIFY2(queued() >= limit, qPrintable(QString::number(queued())));
        expectHeld(turns(channel));
        if (QTest::currentTestFailed())
            return;
    }

    // The host's reports still reach the cache meanwhile: the waiting worker holds no lock.
    emit channel.bus.sRxVfo(0, 1, 7074000.0);
    QCOMPARE(ControlTestAccess::cache(channel.control).vfoB, 7074000.0);

    if (!readsAgain) {
        channel.box("chbEnable")->setChecked(false);
        QVERIFY(!channel.control.isRunning());
        QCOMPARE(queued(), qint64(0));
        return;
    }

    QByteArray received;
    // Megabytes through a pseudo-terminal's few kilobytes, a wake-up each: seconds on a quiet
    // machine, far more on a loaded one. The bound only keeps a stalled worker from hanging.
    const QDeadlineTimer readDeadline(120000);
    while (received.size() < expected.size() && !readDeadline.hasExpired()) {
        if (written < commands.size())
            written += writeSome(fd, commands, written);
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0)
            received += readAvailable(fd);
    }
    QCOMPARE(received.size(), expected.size());
    QVERIFY(received == expected);
    QCOMPARE(queued(), qint64(0));
}

// A flood of sets goes at the host's pace: while the host's thread (the test's) takes none of
// the messages sent to it, the worker stops executing after one slice past the limit; once the
// host takes them, every set arrives, in order, and the read behind them is answered.
void tst_worker::setsWaitForTheHost()
{
    PtyPair pty;
    ChannelHarness channel;
    channel.selectPort("cbPortName", pty.slavePath());
    channel.box("chbEnable")->setChecked(true);
    constexpr int sets = 2000;
    QByteArray flood;
    for (int n = 1; n <= sets; ++n)
        flood += "FA" + QByteArray::number(7000000 + n).rightJustified(11, '0') + ';';
    flood += "ID;";
    qsizetype written = writeSome(pty.masterFd(), flood, 0);

    QThread::msleep(quietGapMs);
    const qint64 sliceOfSets = 4096 / 14;
    QVERIFY(channel.bus.undelivered() >= ControlTestAccess::hostBacklogLimit);
    QVERIFY(channel.bus.undelivered() <= ControlTestAccess::hostBacklogLimit + sliceOfSets);

    QByteArray answer;
    for (const QDeadlineTimer deadline(30000); answer.isEmpty() && !deadline.hasExpired();) {
        written += writeSome(pty.masterFd(), flood, written);
        QTest::qWait(1);
        answer += readAvailable(pty.masterFd());
    }
    QCOMPARE(answer, QByteArray("ID020;"));
    QTRY_COMPARE(channel.hostCommands.size(), sets);
    QCOMPARE(channel.hostCommands.last(), describeMessage({19, 0u, 0u, 7002000.0}));
}

QTEST_MAIN(tst_worker)
#include "tst_worker.moc"
