// The CTS/DSR poll of both backends, driven through the process-wide line source because
// pseudo-terminals have no modem lines: initial levels, sticky change flags, reads that clear
// one flag, changes between reads, frozen levels while closed, and a reader hammering the
// flags from another thread while the poll runs.

#include "ExtSerialPortControl.h"
#include "LineStatusSource.h"
#include "PtyPair.h"
#include "QtSerialPortControl.h"
#include "SerialTypes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace
{

constexpr ulong both = LS_CTS | LS_DSR;

// Runs the event loop until `done` holds or five seconds pass. Every caller has a port open, so
// its 1 ms poll timer keeps waking the loop.
template <typename Predicate> bool spinUntil(Predicate done)
{
    const QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The lines of one pseudo-terminal as the line source reports them, and how often the
// backends' polls asked (two asks per tick).
struct FakeLines {
    PtyPair pty;
    std::atomic<ulong> bits{0};
    std::atomic<int> asks{0};

    // Spins the event loop until `ticks` whole polls ran after this call. The poll runs in this
    // thread, so a tick never straddles a change made before the call.
    bool waitTicks(int ticks = 1)
    {
        const int target = asks + 2 * ticks;
        return spinUntil([&] { return asks >= target; });
    }
};

class LineSource
{
public:
    explicit LineSource(std::initializer_list<FakeLines*> fakes)
    {
        LineStatusSource::set([list = std::vector<FakeLines*>(fakes)](const QString& path) {
            for (FakeLines* fake : list) {
                if (fake->pty.slavePath() == path) {
                    ++fake->asks;
                    return fake->bits.load();
                }
            }
            return 0ul;
        });
    }
    ~LineSource() { LineStatusSource::set(nullptr); }
};

std::unique_ptr<SerialPortAbstract> makeBackend(const QString& kind)
{
    if (kind == "ext")
        return std::make_unique<ExtSerialPortControl>();
    return std::make_unique<QtSerialPortControl>();
}

bool openOn(SerialPortAbstract& port, const FakeLines& fake)
{
    port.setPortName(fake.pty.slavePath());
    return port.open(QIODevice::ReadOnly);
}

} // namespace

class tst_serial_lines : public QObject
{
    Q_OBJECT

private slots:
    void initialLevels_data();
    void initialLevels();
    void firstPoll_data();
    void firstPoll();
    void downAndUpBetweenReads_data();
    void downAndUpBetweenReads();
    void closedPortKeepsItsLevels();
    void openAndCloseFromAnotherThread();
    void noTransitionLostUnderConcurrentReads_data();
    void noTransitionLostUnderConcurrentReads();

private:
    void addBackendColumn();
};

void tst_serial_lines::addBackendColumn()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("ext") << "ext";
    QTest::newRow("qt") << "qt";
}

void tst_serial_lines::initialLevels_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("level");
    QTest::newRow("ext asserted") << "ext" << true;
    QTest::newRow("qt not asserted") << "qt" << false;
}

void tst_serial_lines::initialLevels()
{
    QFETCH(QString, backend);
    QFETCH(bool, level);

    auto port = makeBackend(backend);
    QVERIFY(!port->isCtsChanged());
    QVERIFY(!port->isDsrChanged());
    QCOMPARE(port->cts(), level);
    QCOMPARE(port->dsr(), level);
    QVERIFY(!port->isCtsChanged());
    QVERIFY(!port->isDsrChanged());
}

void tst_serial_lines::firstPoll_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<ulong>("lines");
    QTest::addColumn<bool>("ctsChanged");
    QTest::addColumn<bool>("dsrChanged");

    QTest::newRow("ext none asserted") << "ext" << 0ul << true << true;
    QTest::newRow("ext cts asserted") << "ext" << ulong(LS_CTS) << false << true;
    QTest::newRow("ext dsr asserted") << "ext" << ulong(LS_DSR) << true << false;
    QTest::newRow("ext both asserted") << "ext" << both << false << false;
    QTest::newRow("qt none asserted") << "qt" << 0ul << false << false;
    QTest::newRow("qt cts asserted") << "qt" << ulong(LS_CTS) << true << false;
    QTest::newRow("qt dsr asserted") << "qt" << ulong(LS_DSR) << false << true;
    QTest::newRow("qt both asserted") << "qt" << both << true << true;
}

// After the first tick each flag tells whether the line differs from the backend's initial
// level; reading one line clears only its own flag, and the flags stay clear while nothing changes.
void tst_serial_lines::firstPoll()
{
    QFETCH(QString, backend);
    QFETCH(ulong, lines);
    QFETCH(bool, ctsChanged);
    QFETCH(bool, dsrChanged);

    FakeLines fake;
    fake.bits = lines;
    LineSource source{&fake};
    auto port = makeBackend(backend);
    QVERIFY2(openOn(*port, fake), qPrintable(port->errorString()));
    QVERIFY(fake.waitTicks());

    QCOMPARE(port->isCtsChanged(), ctsChanged);
    QCOMPARE(port->isDsrChanged(), dsrChanged);
    QCOMPARE(port->cts(), bool(lines & LS_CTS));
    QVERIFY(!port->isCtsChanged());
    QCOMPARE(port->isDsrChanged(), dsrChanged);
    QCOMPARE(port->dsr(), bool(lines & LS_DSR));
    QVERIFY(!port->isDsrChanged());

    QVERIFY(fake.waitTicks(3));
    QVERIFY(!port->isCtsChanged());
    QVERIFY(!port->isDsrChanged());
}

void tst_serial_lines::downAndUpBetweenReads_data()
{
    addBackendColumn();
}

void tst_serial_lines::downAndUpBetweenReads()
{
    QFETCH(QString, backend);

    FakeLines fake;
    fake.bits = both;
    LineSource source{&fake};
    auto port = makeBackend(backend);
    QVERIFY(openOn(*port, fake));
    QVERIFY(fake.waitTicks());
    QVERIFY(port->cts());
    QVERIFY(port->dsr());

    fake.bits = 0;
    QVERIFY(fake.waitTicks());
    fake.bits = both;
    QVERIFY(fake.waitTicks());

    QVERIFY(port->isCtsChanged());
    QVERIFY(port->isDsrChanged());
    QVERIFY(port->cts());
    QVERIFY(port->dsr());
}

// A second open port serves as the clock: its ticks show time passing while the closed one's
// source is never asked and its levels and flags stay as they were.
void tst_serial_lines::closedPortKeepsItsLevels()
{
    FakeLines closed;
    FakeLines clock;
    LineSource source{&closed, &clock};
    ExtSerialPortControl port;
    ExtSerialPortControl clockPort;
    QVERIFY(openOn(clockPort, clock));
    QVERIFY(openOn(port, closed));
    QVERIFY(closed.waitTicks());
    QVERIFY(!port.cts());
    QVERIFY(!port.dsr());

    port.close();
    const int asksAtClose = closed.asks;
    closed.bits = both;
    QVERIFY(clock.waitTicks(5));
    QCOMPARE(closed.asks.load(), asksAtClose);
    QVERIFY(!port.isCtsChanged());
    QVERIFY(!port.isDsrChanged());
    QVERIFY(!port.cts());

    // Reopened, the first tick reports the difference from the frozen level.
    QVERIFY(openOn(port, closed));
    QVERIFY(closed.waitTicks());
    QVERIFY(port.isCtsChanged());
    QVERIFY(port.cts());
}

// The poll timer belongs to the creating thread even when another thread opens and closes the
// port; a close from elsewhere followed at once by an open here leaves the poll running.
void tst_serial_lines::openAndCloseFromAnotherThread()
{
    FakeLines fake;
    LineSource source{&fake};
    ExtSerialPortControl port;
    port.setPortName(fake.pty.slavePath());

    // Atomic: QThread::wait orders the thread's end through Qt's futex, which ThreadSanitizer
    // cannot see.
    std::atomic<bool> opened = false;
    std::unique_ptr<QThread> opener(
        QThread::create([&] { opened = port.open(QIODevice::ReadOnly); }));
    opener->start();
    QVERIFY(opener->wait(5000));
    QVERIFY(opened);
    QVERIFY(fake.waitTicks());

    std::unique_ptr<QThread> closer(QThread::create([&] { port.close(); }));
    closer->start();
    QVERIFY(closer->wait(5000));
    QVERIFY(port.open(QIODevice::ReadOnly));
    QVERIFY(fake.waitTicks(3));
    QVERIFY(port.isOpen());
}

void tst_serial_lines::noTransitionLostUnderConcurrentReads_data()
{
    addBackendColumn();
}

// A reader thread takes every CTS change it sees (and keeps clearing DSR for contention) while
// the poll here sees CTS flip on every tick, in bursts of one to seven flips. After each burst
// the line holds still and the reader must come to its final level: a change flag cleared apart
// from its level read would leave the reader on a stale level for good.
void tst_serial_lines::noTransitionLostUnderConcurrentReads()
{
    QFETCH(QString, backend);
    constexpr int bursts = 150;

    FakeLines fake;
    fake.bits = both;
    LineSource source{&fake};
    auto port = makeBackend(backend);
    QVERIFY(openOn(*port, fake));
    QVERIFY(fake.waitTicks());
    port->cts();

    std::atomic<bool> stop{false};
    std::atomic<int> seenLevel{1};
    std::unique_ptr<QThread> reader(QThread::create([&] {
        while (!stop) {
            if (port->isCtsChanged())
                seenLevel = port->cts() ? 1 : 0;
            if (port->isDsrChanged())
                port->dsr();
        }
    }));
    reader->start();

    int level = 1;
    for (int burst = 0; burst < bursts; ++burst) {
        for (int flip = 0; flip <= burst % 7; ++flip) {
            level = 1 - level;
            fake.bits = level ? both : ulong(LS_DSR);
            QVERIFY(fake.waitTicks());
        }
        if (!spinUntil([&] { return seenLevel == level; }))
            QFAIL(qPrintable(QString("burst %1: CTS change to %2 lost").arg(burst).arg(level)));
    }
    stop = true;
    QVERIFY(reader->wait(5000));
}

QTEST_GUILESS_MAIN(tst_serial_lines)
#include "tst_serial_lines.moc"
