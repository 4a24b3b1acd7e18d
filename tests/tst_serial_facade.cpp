// The facade: every operation reaches the selected backend and only it, the bit rate goes on
// as (index, both directions), the selected backend's line signals are relayed, and the
// backends go with the facade, from whichever thread it is destroyed in.

#include "ExtSerialPortControl.h"
#include "LineStatusSource.h"
#include "PtyPair.h"
#include "QtSerialPortControl.h"
#include "SerialPortControl.h"
#include "SerialTypes.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <termios.h>
#include <utility>

namespace
{

bool isOpen(SerialPortAbstract* backend)
{
    if (auto* ext = qobject_cast<ExtSerialPortControl*>(backend))
        return ext->isOpen();
    return qobject_cast<QtSerialPortControl*>(backend)->isOpen();
}

enum Setting { DataBits, Parity, StopBits, Flow };

// Restores the hardware lines when a test ends, however it ends.
struct LineSourceScope {
    explicit LineSourceScope(LineStatusSource::Function source)
    {
        LineStatusSource::set(std::move(source));
    }
    ~LineSourceScope() { LineStatusSource::set(nullptr); }
};

bool applyThroughFacade(SerialPortControl& facade, int setting, int index)
{
    switch (Setting(setting)) {
    case DataBits:
        return facade.setDataBits(index);
    case Parity:
        return facade.setParity(index);
    case StopBits:
        return facade.setStopBits(index);
    case Flow:
        return facade.setFlowControl(index);
    }
    return false;
}

int settingRow(SerialPortAbstract* backend, int setting)
{
    switch (Setting(setting)) {
    case DataBits:
        return backend->dataBits();
    case Parity:
        return backend->parity();
    case StopBits:
        return backend->stopBits();
    case Flow:
        return backend->flowControl();
    }
    return -1;
}

} // namespace

class tst_serial_facade : public QObject
{
    Q_OBJECT

private slots:
    void forwardsToSelectedBackendOnly_data();
    void forwardsToSelectedBackendOnly();
    void settersReachSelectedBackend_data();
    void settersReachSelectedBackend();
    void failedOpenExplains();
    void linesReadThroughFacade();
    void relaysSelectedBackendSignals_data();
    void relaysSelectedBackendSignals();
    void workerThreadUsesMovedFacade();
    void backendsGoWithFacade();

private:
    void addIndexColumns();
};

void tst_serial_facade::addIndexColumns()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("selected");
    QTest::newRow("0 selects ext") << 0 << 0;
    QTest::newRow("1 selects qt") << 1 << 1;
    QTest::newRow("2 falls back to ext") << 2 << 0;
    QTest::newRow("-1 falls back to ext") << -1 << 0;
}

void tst_serial_facade::forwardsToSelectedBackendOnly_data()
{
    addIndexColumns();
}

// The engine's calling order for the CAT port, then traffic both ways and a close.
void tst_serial_facade::forwardsToSelectedBackendOnly()
{
    QFETCH(int, index);
    QFETCH(int, selected);

    PtyPair pty;
    SerialPortControl facade(index);
    SerialPortAbstract* used = facade.backend(selected);
    SerialPortAbstract* unused = facade.backend(1 - selected);
    facade.setPortName(pty.slavePath());
    QVERIFY(facade.setParity(0));
    QVERIFY(facade.setDataBits(3));
    QVERIFY(facade.setStopBits(0));
    QVERIFY(facade.setBaudRate(7));
    QVERIFY(facade.setFlowControl(0));
    QVERIFY2(facade.open(QIODevice::ReadWrite), qPrintable(facade.errorString()));

    QVERIFY(isOpen(used));
    QVERIFY(!isOpen(unused));
    // Both directions at 115200: the Qt backend keeps a rate per direction.
    QCOMPARE(used->baudRate(1), 115200);
    QCOMPARE(used->baudRate(2), 115200);
    QCOMPARE(unused->baudRate(3), 9600);
    QVERIFY(unused->portName().isEmpty());
    termios tio{};
    QVERIFY(pty.slaveAttributes(&tio));
    QCOMPARE(cfgetospeed(&tio), speed_t(B115200));

    QCOMPARE(facade.write("SM0;"), qint64(4));
    facade.flush();
    QCOMPARE(pty.read(2000), QByteArray("SM0;"));
    QVERIFY(pty.write("SM;"));
    QByteArray received;
    QTRY_COMPARE((received += facade.readAll()), QByteArray("SM;"));

    facade.close();
    QVERIFY(!isOpen(used));
    QVERIFY(facade.readAll().isEmpty());
}

void tst_serial_facade::settersReachSelectedBackend_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("accepted");

    for (const int index : {0, 1}) {
        const char* name = index == 0 ? "ext" : "qt";
        QTest::addRow("%s data bits 1", name) << index << int(DataBits) << 1 << true;
        QTest::addRow("%s parity 5", name) << index << int(Parity) << 5 << false;
        QTest::addRow("%s stop bits 2", name) << index << int(StopBits) << 2 << true;
        QTest::addRow("%s flow 3", name) << index << int(Flow) << 3 << false;
    }
}

void tst_serial_facade::settersReachSelectedBackend()
{
    QFETCH(int, index);
    QFETCH(int, setting);
    QFETCH(int, row);
    QFETCH(bool, accepted);

    SerialPortControl facade(index);
    SerialPortAbstract* used = facade.backend(index);
    SerialPortAbstract* unused = facade.backend(1 - index);
    const int usedBefore = settingRow(used, setting);
    const int unusedBefore = settingRow(unused, setting);

    QCOMPARE(applyThroughFacade(facade, setting, row), accepted);
    QCOMPARE(settingRow(used, setting), accepted ? row : usedBefore);
    QCOMPARE(settingRow(unused, setting), unusedBefore);

    // A bit-rate row outside the table still answers true and means 9600 bit/s.
    QVERIFY(facade.setBaudRate(6));
    QVERIFY(facade.setBaudRate(42));
    QCOMPARE(used->baudRate(3), 9600);
}

void tst_serial_facade::failedOpenExplains()
{
    SerialPortControl facade(0);
    facade.setPortName("no-such-serial-port-here");
    QVERIFY(!facade.open(QIODevice::ReadWrite));
    QCOMPARE(facade.errorString(), QString("No such file or directory"));
    QVERIFY(!isOpen(facade.backend(0)));
}

void tst_serial_facade::linesReadThroughFacade()
{
    PtyPair pty;
    LineSourceScope source([path = pty.slavePath()](const QString& device) {
        return device == path ? ulong(LS_CTS) : 0ul;
    });
    SerialPortControl facade(0);
    facade.setPortName(pty.slavePath());
    QVERIFY(facade.open(QIODevice::ReadOnly));

    QTRY_VERIFY(facade.isDsrChanged());
    QVERIFY(!facade.isCtsChanged());
    QVERIFY(!facade.dsr());
    QVERIFY(!facade.isDsrChanged());
    QVERIFY(facade.cts());
}

void tst_serial_facade::relaysSelectedBackendSignals_data()
{
    addIndexColumns();
}

void tst_serial_facade::relaysSelectedBackendSignals()
{
    QFETCH(int, index);
    QFETCH(int, selected);

    SerialPortControl facade(index);
    QSignalSpy cts(&facade, &SerialPortControl::ctsChanged);
    QSignalSpy dsr(&facade, &SerialPortControl::dsrChanged);

    emit facade.backend(1 - selected)->ctsChanged(true);
    emit facade.backend(1 - selected)->dsrChanged(true);
    QCOMPARE(cts.count(), 0);
    QCOMPARE(dsr.count(), 0);

    emit facade.backend(selected)->ctsChanged(true);
    emit facade.backend(selected)->dsrChanged(false);
    QCOMPARE(cts.count(), 1);
    QCOMPARE(cts.at(0).at(0).toBool(), true);
    QCOMPARE(dsr.count(), 1);
    QCOMPARE(dsr.at(0).at(0).toBool(), false);
}

// As the engine runs its CAT port: the facade lives in a worker thread that reads and writes
// through it, while the backend stays here and its line poll keeps running.
void tst_serial_facade::workerThreadUsesMovedFacade()
{
    PtyPair pty;
    LineSourceScope source([path = pty.slavePath()](const QString& device) {
        return device == path ? 0ul : ulong(LS_CTS | LS_DSR);
    });
    auto facade = std::make_unique<SerialPortControl>(0);
    facade->setPortName(pty.slavePath());
    QVERIFY(facade->open(QIODevice::ReadWrite));

    QThread worker;
    struct Stopper {
        QThread& thread;
        ~Stopper()
        {
            thread.quit();
            thread.wait();
        }
    } stopper{worker};
    facade->moveToThread(&worker);
    QVERIFY(facade->backend(0)->thread() == QThread::currentThread());
    QByteArray received;
    // Atomic: QThread::wait orders the worker before us, but inside Qt, out of the sanitizer's
    // sight.
    std::atomic<bool> answered{false};
    QMetaObject::invokeMethod(
        facade.get(),
        [&] {
            QDeadlineTimer deadline(5000);
            while (!received.contains(';') && !deadline.hasExpired()) {
                received += facade->readAll();
                facade->flush();
                QThread::yieldCurrentThread();
            }
            answered = facade->write("FA00014074000;") == 14;
        },
        Qt::QueuedConnection);
    worker.start();
    QVERIFY(pty.write("FA;"));
    QCOMPARE(pty.read(5000), QByteArray("FA00014074000;"));
    QTRY_VERIFY(facade->isCtsChanged());
    worker.quit();
    QVERIFY(worker.wait(5000));
    // The worker is done with its reads; `received` is no longer shared.
    QCOMPARE(received, QByteArray("FA;"));
    QVERIFY(answered);
    QVERIFY(!facade->cts());
}

// Destroyed in the backends' own thread, the facade deletes them at once; destroyed in
// another thread, it leaves them to this thread's event loop.
void tst_serial_facade::backendsGoWithFacade()
{
    auto here = std::make_unique<SerialPortControl>(0);
    QPointer<SerialPortAbstract> ext = here->backend(0);
    QPointer<SerialPortAbstract> qt = here->backend(1);
    here.reset();
    QVERIFY(ext.isNull());
    QVERIFY(qt.isNull());

    auto elsewhere = std::make_unique<SerialPortControl>(0);
    ext = elsewhere->backend(0);
    qt = elsewhere->backend(1);
    std::unique_ptr<QThread> destroyer(QThread::create([&] { elsewhere.reset(); }));
    destroyer->start();
    QVERIFY(destroyer->wait(5000));
    QTRY_VERIFY(ext.isNull() && qt.isNull());
}

QTEST_GUILESS_MAIN(tst_serial_facade)
#include "tst_serial_facade.moc"
