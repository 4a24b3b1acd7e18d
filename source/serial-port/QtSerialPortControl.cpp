#include "QtSerialPortControl.h"

#include "LineStatusSource.h"
#include "PortDiscovery.h"
#include "PortNames.h"
#include "SerialTypes.h"
#include "SettingTables.h"

#include <QMutexLocker>

#include <array>
#include <utility>

namespace
{

constexpr std::array<QSerialPort::DataBits, 4> dataBitsRows{QSerialPort::Data5, QSerialPort::Data6,
                                                            QSerialPort::Data7, QSerialPort::Data8};
constexpr std::array<QSerialPort::Parity, 5> parityRows{
    QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity, QSerialPort::MarkParity,
    QSerialPort::SpaceParity};
constexpr std::array<QSerialPort::StopBits, 3> stopBitsRows{
    QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
constexpr std::array<QSerialPort::FlowControl, 3> flowRows{
    QSerialPort::NoFlowControl, QSerialPort::HardwareControl, QSerialPort::SoftwareControl};

constexpr std::array<std::pair<QSerialPort::PinoutSignal, ulong>, 2> inputPins{{
    {QSerialPort::ClearToSendSignal, LS_CTS},
    {QSerialPort::DataSetReadySignal, LS_DSR},
}};

// The add-on refuses (with a warning) to drive the outputs of a closed port, where the old one
// ignored the request; a closed port is left alone here as it was then.
void driveOutput(QSerialPort& port, bool (QSerialPort::*setter)(bool), bool on)
{
    if (port.isOpen())
        (port.*setter)(on);
}

} // namespace

QtSerialPortControl::QtSerialPortControl() : SerialBackend(false) {}

bool QtSerialPortControl::isOpen()
{
    QMutexLocker locker(&lock);
    return port.isOpen();
}

QString QtSerialPortControl::errorString()
{
    QMutexLocker locker(&lock);
    return port.errorString();
}

QStringList QtSerialPortControl::availablePorts()
{
    return PortDiscovery::availablePorts();
}

void QtSerialPortControl::setPortName(const QString& name)
{
    QMutexLocker locker(&lock);
    port.setPortName(name);
    devicePath = PortNames::devicePath(name);
}

QString QtSerialPortControl::portName()
{
    QMutexLocker locker(&lock);
    return port.portName();
}

bool QtSerialPortControl::open(QIODevice::OpenMode mode)
{
    {
        QMutexLocker locker(&lock);
        driveOutput(port, &QSerialPort::setDataTerminalReady, false);
        driveOutput(port, &QSerialPort::setRequestToSend, false);
        if (!port.open(mode))
            return false;
    }
    startLinePoll();
    return true;
}

void QtSerialPortControl::close()
{
    stopLinePoll();
    QMutexLocker locker(&lock);
    discardQueuedOutput();
    port.close();
}

bool QtSerialPortControl::setBaudRate(int index, int directions)
{
    QMutexLocker locker(&lock);
    port.setBaudRate(SettingTables::bitRateAt(index), QSerialPort::Directions(directions));
    return true;
}

int QtSerialPortControl::baudRate(int directions)
{
    QMutexLocker locker(&lock);
    return port.baudRate(QSerialPort::Directions(directions));
}

bool QtSerialPortControl::setDataBits(int index)
{
    return applyRow(port, dataBitsRows, index, &QSerialPort::setDataBits);
}

int QtSerialPortControl::dataBits()
{
    return currentRow(port, dataBitsRows, &QSerialPort::dataBits,
                      SettingTables::dataBitsFallbackRow);
}

bool QtSerialPortControl::setParity(int index)
{
    return applyRow(port, parityRows, index, &QSerialPort::setParity);
}

int QtSerialPortControl::parity()
{
    return currentRow(port, parityRows, &QSerialPort::parity, SettingTables::otherFallbackRow);
}

bool QtSerialPortControl::setStopBits(int index)
{
    return applyRow(port, stopBitsRows, index, &QSerialPort::setStopBits);
}

int QtSerialPortControl::stopBits()
{
    return currentRow(port, stopBitsRows, &QSerialPort::stopBits, SettingTables::otherFallbackRow);
}

bool QtSerialPortControl::setFlowControl(int index)
{
    return applyRow(port, flowRows, index, &QSerialPort::setFlowControl);
}

int QtSerialPortControl::flowControl()
{
    return currentRow(port, flowRows, &QSerialPort::flowControl, SettingTables::otherFallbackRow);
}

bool QtSerialPortControl::setDtr(bool on)
{
    QMutexLocker locker(&lock);
    driveOutput(port, &QSerialPort::setDataTerminalReady, on);
    return true;
}

bool QtSerialPortControl::setRts(bool on)
{
    QMutexLocker locker(&lock);
    driveOutput(port, &QSerialPort::setRequestToSend, on);
    return true;
}

// The add-on warns on every read, write or flush of a closed port; a closed port answers here
// the way the interface promises (nothing read, -1 written by the base) without the noise.
QByteArray QtSerialPortControl::readAll()
{
    QMutexLocker locker(&lock);
    return port.isOpen() ? port.readAll() : QByteArray();
}

void QtSerialPortControl::flush()
{
    QMutexLocker locker(&lock);
    if (port.isOpen())
        port.flush();
}

void QtSerialPortControl::reset()
{
    QMutexLocker locker(&lock);
    port.clear(QSerialPort::AllDirections);
}

bool QtSerialPortControl::waitForReadyRead(int msecs)
{
    QMutexLocker locker(&lock);
    return port.waitForReadyRead(msecs);
}

std::optional<ulong> QtSerialPortControl::readLines()
{
    if (!port.isOpen())
        return std::nullopt;
    if (const auto injected = LineStatusSource::query(devicePath))
        return *injected;
    const QSerialPort::PinoutSignals pins = port.pinoutSignals();
    ulong status = 0;
    for (const auto& [pin, bit] : inputPins) {
        if (pins & pin)
            status |= bit;
    }
    return status;
}

qint64 QtSerialPortControl::writeNow(const char* data, qint64 size)
{
    return port.write(data, size);
}

int QtSerialPortControl::descriptor()
{
    return port.isOpen() ? int(port.handle()) : -1;
}
