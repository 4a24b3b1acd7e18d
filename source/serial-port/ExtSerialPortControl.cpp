#include "ExtSerialPortControl.h"

#include "PortDiscovery.h"
#include "SettingTables.h"

#include <QMutexLocker>
#include <QTimerEvent>

#include <array>

namespace
{

constexpr std::array<DataBitsType, 4> dataBitsRows{DATA_5, DATA_6, DATA_7, DATA_8};
constexpr std::array<ParityType, 5> parityRows{PAR_NONE, PAR_ODD, PAR_EVEN, PAR_MARK, PAR_SPACE};
constexpr std::array<StopBitsType, 3> stopBitsRows{STOP_1, STOP_1_5, STOP_2};
constexpr std::array<FlowType, 3> flowRows{FLOW_OFF, FLOW_HARDWARE, FLOW_XONXOFF};

// A library value outside its table reads back as this row: 8 data bits, else the first row.
constexpr int dataBitsFallbackRow = 3;
constexpr int otherFallbackRow = 0;

constexpr long openTimeoutMs = 1;

constexpr PortDiscovery::ProbeRules probeRules{QIODevice::ReadWrite, false};

// Hands the table's value for `index` to the device; a row outside the table is refused.
template <typename T, std::size_t N>
bool applyRow(QMutex& lock, PosixSerialPort& port, const std::array<T, N>& rows, int index,
              void (PosixSerialPort::*setter)(T))
{
    const auto value = SettingTables::entryAt(rows, index);
    if (!value)
        return false;
    QMutexLocker locker(&lock);
    (port.*setter)(*value);
    return true;
}

template <typename T, std::size_t N>
int currentRow(QMutex& lock, const PosixSerialPort& port, const std::array<T, N>& rows,
               T (PosixSerialPort::*getter)() const, int fallback)
{
    QMutexLocker locker(&lock);
    return SettingTables::rowOf(rows, (port.*getter)(), fallback);
}

} // namespace

ExtSerialPortControl::ExtSerialPortControl() = default;

bool ExtSerialPortControl::isOpen()
{
    QMutexLocker locker(&lock);
    return port.isOpen();
}

QString ExtSerialPortControl::errorString()
{
    QMutexLocker locker(&lock);
    return port.errorString();
}

QStringList ExtSerialPortControl::availablePorts()
{
    return PortDiscovery::availablePorts(probeRules);
}

void ExtSerialPortControl::setPortName(const QString& name)
{
    QMutexLocker locker(&lock);
    port.setPortName(name);
}

QString ExtSerialPortControl::portName()
{
    QMutexLocker locker(&lock);
    return port.portName();
}

bool ExtSerialPortControl::open(QIODevice::OpenMode mode)
{
    {
        // The device is opened under the lock too: a worker may be calling readAll() on this
        // backend while the GUI thread opens it.
        QMutexLocker locker(&lock);
        port.setDtr(false);
        port.setRts(false);
        port.setTimeout(openTimeoutMs);
        port.setQueryMode(PosixSerialPort::Polling);
        if (!port.open(mode))
            return false;
    }
    pollTimer.start();
    return true;
}

void ExtSerialPortControl::close()
{
    pollTimer.stop();
    QMutexLocker locker(&lock);
    port.close();
}

bool ExtSerialPortControl::setBaudRate(int index, int)
{
    QMutexLocker locker(&lock);
    port.setBaudRate(BaudRateType(SettingTables::bitRateAt(index)));
    return true;
}

int ExtSerialPortControl::baudRate(int)
{
    QMutexLocker locker(&lock);
    return port.baudRate();
}

bool ExtSerialPortControl::setDataBits(int index)
{
    return applyRow(lock, port, dataBitsRows, index, &PosixSerialPort::setDataBits);
}

int ExtSerialPortControl::dataBits()
{
    return currentRow(lock, port, dataBitsRows, &PosixSerialPort::dataBits, dataBitsFallbackRow);
}

bool ExtSerialPortControl::setParity(int index)
{
    return applyRow(lock, port, parityRows, index, &PosixSerialPort::setParity);
}

int ExtSerialPortControl::parity()
{
    return currentRow(lock, port, parityRows, &PosixSerialPort::parity, otherFallbackRow);
}

bool ExtSerialPortControl::setStopBits(int index)
{
    return applyRow(lock, port, stopBitsRows, index, &PosixSerialPort::setStopBits);
}

int ExtSerialPortControl::stopBits()
{
    return currentRow(lock, port, stopBitsRows, &PosixSerialPort::stopBits, otherFallbackRow);
}

bool ExtSerialPortControl::setFlowControl(int index)
{
    return applyRow(lock, port, flowRows, index, &PosixSerialPort::setFlowControl);
}

int ExtSerialPortControl::flowControl()
{
    return currentRow(lock, port, flowRows, &PosixSerialPort::flowControl, otherFallbackRow);
}

bool ExtSerialPortControl::setDtr(bool on)
{
    QMutexLocker locker(&lock);
    port.setDtr(on);
    return true;
}

bool ExtSerialPortControl::setRts(bool on)
{
    QMutexLocker locker(&lock);
    port.setRts(on);
    return true;
}

qint64 ExtSerialPortControl::write(const QByteArray& data)
{
    QMutexLocker locker(&lock);
    return port.write(data);
}

QByteArray ExtSerialPortControl::readAll()
{
    QMutexLocker locker(&lock);
    return port.readAll();
}

void ExtSerialPortControl::flush()
{
    QMutexLocker locker(&lock);
    port.flush();
}

void ExtSerialPortControl::reset()
{
    QMutexLocker locker(&lock);
    port.reset();
}

bool ExtSerialPortControl::isCtsChanged()
{
    QMutexLocker locker(&lock);
    return ctsLine.changed;
}

bool ExtSerialPortControl::isDsrChanged()
{
    QMutexLocker locker(&lock);
    return dsrLine.changed;
}

bool ExtSerialPortControl::cts()
{
    QMutexLocker locker(&lock);
    return ctsLine.take();
}

bool ExtSerialPortControl::dsr()
{
    QMutexLocker locker(&lock);
    return dsrLine.take();
}

void ExtSerialPortControl::timerEvent(QTimerEvent* event)
{
    if (pollTimer.matches(event->timerId()))
        poll();
    else
        SerialPortAbstract::timerEvent(event);
}

void ExtSerialPortControl::poll()
{
    QMutexLocker locker(&lock);
    // A tick queued before close() may still arrive; a closed port keeps its last levels.
    if (!port.isOpen())
        return;
    // One look at the lines per tick: both levels come from the same moment, in one ioctl.
    const ulong status = port.lineStatus();
    ctsLine.observe(status & LS_CTS);
    dsrLine.observe(status & LS_DSR);
}
