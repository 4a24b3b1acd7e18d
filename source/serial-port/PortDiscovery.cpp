#include "PortDiscovery.h"

#include "PortNames.h"
#include "PosixSerialPort.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <array>

namespace
{

constexpr int lastProbedNumber = 99;

// Failures that mean "no serial port by that name"; any other (permission, busy) means one
// exists but another program holds it.
constexpr std::array<QSerialPort::SerialPortError, 3> absentPortErrors{
    QSerialPort::DeviceNotFoundError,
    QSerialPort::UnsupportedOperationError,
    QSerialPort::UnknownError,
};

QStringList enumeratedPorts()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names.append(info.portName());
    return names;
}

void configureProbe(QSerialPort& probe)
{
    probe.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    probe.setDataBits(QSerialPort::Data8);
    probe.setParity(QSerialPort::NoParity);
    probe.setStopBits(QSerialPort::OneStop);
    probe.setFlowControl(QSerialPort::NoFlowControl);
}

bool portExists(QSerialPort& probe, const QString& name, QIODevice::OpenMode mode)
{
    if (PosixSerialPort::isHeldElsewhere(PortNames::devicePath(name)))
        return true;
    probe.setPortName(name);
    if (probe.open(mode)) {
        probe.close();
        return true;
    }
    return std::find(absentPortErrors.begin(), absentPortErrors.end(), probe.error()) ==
           absentPortErrors.end();
}

} // namespace

QStringList PortDiscovery::availablePorts(const ProbeRules& rules)
{
    QStringList result = enumeratedPorts();
    QSerialPort probe;
    configureProbe(probe);
    QStringList probed;
    for (int n = 0; n <= lastProbedNumber; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (!rules.probeEnumerated && result.contains(name))
            continue;
        if (portExists(probe, name, rules.mode))
            probed.append(name);
    }
    PortNames::appendMissing(result, probed);
    PortNames::sortByNumber(result);
    return result;
}
