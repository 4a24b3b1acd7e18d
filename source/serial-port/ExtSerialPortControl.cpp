#include "ExtSerialPortControl.h"

#include "PortDiscovery.h"
#include "SettingTables.h"

#include <QMutexLocker>

#include <array>

using SettingTables::dataBitsRows;
using SettingTables::flowRows;
using SettingTables::parityRows;
using SettingTables::stopBitsRows;

namespace
{

constexpr long openTimeoutMs = 1;

} // namespace

ExtSerialPortControl::ExtSerialPortControl() : SerialBackend(true) {}

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
    return PortDiscovery::availablePorts();
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

void ExtSerialPortControl::setVirtualLinkName(const QString& name)
{
    QMutexLocker locker(&lock);
    port.setVirtualLinkName(name);
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
    startLinePoll();
    return true;
}

void ExtSerialPortControl::close()
{
    stopLinePoll();
    QMutexLocker locker(&lock);
    discardQueuedOutput();
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
    return applyRow(port, dataBitsRows, index, &PosixSerialPort::setDataBits);
}

int ExtSerialPortControl::dataBits()
{
    return currentRow(port, dataBitsRows, &PosixSerialPort::dataBits,
                      SettingTables::dataBitsFallbackRow);
}

bool ExtSerialPortControl::setParity(int index)
{
    return applyRow(port, parityRows, index, &PosixSerialPort::setParity);
}

int ExtSerialPortControl::parity()
{
    return currentRow(port, parityRows, &PosixSerialPort::parity, SettingTables::otherFallbackRow);
}

bool ExtSerialPortControl::setStopBits(int index)
{
    return applyRow(port, stopBitsRows, index, &PosixSerialPort::setStopBits);
}

int ExtSerialPortControl::stopBits()
{
    return currentRow(port, stopBitsRows, &PosixSerialPort::stopBits,
                      SettingTables::otherFallbackRow);
}

bool ExtSerialPortControl::setFlowControl(int index)
{
    return applyRow(port, flowRows, index, &PosixSerialPort::setFlowControl);
}

int ExtSerialPortControl::flowControl()
{
    return currentRow(port, flowRows, &PosixSerialPort::flowControl,
                      SettingTables::otherFallbackRow);
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

std::optional<ulong> ExtSerialPortControl::readLines()
{
    // One ioctl gives both lines.
    if (!port.isOpen())
        return std::nullopt;
    return port.lineStatus();
}

qint64 ExtSerialPortControl::writeNow(const char* data, qint64 size)
{
    return port.writeSome(data, size);
}

int ExtSerialPortControl::descriptor()
{
    return port.handle();
}

int ExtSerialPortControl::clientWatchDescriptor()
{
    return port.clientWatchHandle();
}

ClientChange ExtSerialPortControl::takeDeviceClientChanges()
{
    return port.takeClientChanges();
}
