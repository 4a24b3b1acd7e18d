// The CAT worker's waiting, through a real channel on a pseudo-terminal: it sleeps until bytes
// arrive (no turn at all while idle) unless a CAT line is chosen for keying, a stop ends its
// wait at once, and its output queue keeps every answer whole and in order for a client that
// pauses reading, while a client that never reads costs no more than the queue's bound, is no
// longer read from, and does not hold up the host's messages.

#include "ChannelHarness.h"
#include "ControlTestAccess.h"
#include "PtyPair.h"

#include <QDeadlineTimer>
#include <QtTest>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

class tst_worker : public QObject
{
    Q_OBJECT

private slots:
    void waitsForBytes_data();
    void waitsForBytes();
    void pausedClient_data();
    void pausedClient();
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

bool writable(int fd)
{
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLOUT);
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
    QTest::newRow("pauses, then reads everything") << true;
    QTest::newRow("never reads, port closed") << false;
}

void tst_worker::pausedClient()
{
    QFETCH(bool, readsAgain);

    PtyPair pty;
    ChannelHarness channel;
    QVERIFY(openCat(channel, pty));
    const int fd = pty.masterFd();
    QVERIFY(pty.write("IF;"));
    const QByteArray ifAnswer = pty.read(3000);
    QCOMPARE(ifAnswer.size(), 38);

    // "IF;" has the longest answer for its command; the answers are many times the queue's
    // bound and the kernel's buffers together.
    constexpr int pairs = 25000;
    const QByteArray commands = QByteArray("IF;ID;").repeated(pairs);
    const QByteArray expected = (ifAnswer + "ID020;").repeated(pairs);

    // The client writes without reading until the worker has stopped taking its commands: the
    // queue holds the bound, and the line to the port is full.
    const qint64 limit = ControlTestAccess::outputQueueLimit;
    const auto queued = [&] { return ControlTestAccess::queuedAnswerBytes(channel.control); };
    qsizetype written = 0;
    const QDeadlineTimer deadline(10000);
    while (!(queued() >= limit && !writable(fd)) && !deadline.hasExpired()) {
        written += writeSome(fd, commands, written);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    QVERIFY2(queued() >= limit, qPrintable(QString::number(queued())));
    QVERIFY(written < commands.size());
    // One read of the port's input (a tty hands over 4 KiB at most) adds its answers whole to
    // a queue just under the bound, and no more reads follow.
    QVERIFY2(queued() < 2 * limit, qPrintable(QString::number(queued())));
    // It stays so: once the last batch and what the kernel still moves between the two ends
    // have settled, the worker sleeps until the client reads, and takes no more commands.
    QTest::qWait(quietGapMs);
    const qint64 held = queued();
    const quint64 stoppedAt = turns(channel);
    QTest::qWait(quietGapMs);
    QCOMPARE(turns(channel), stoppedAt);
    QCOMPARE(queued(), held);
    QVERIFY(!writable(fd));

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
    const QDeadlineTimer readDeadline(30000);
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

QTEST_MAIN(tst_worker)
#include "tst_worker.moc"
