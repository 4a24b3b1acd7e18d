#include "PortDiscovery.h"

#include "PortNames.h"

#include <QSerialPortInfo>

#include <sys/stat.h>

namespace
{

constexpr int lastProbedNumber = 99;

QStringList enumeratedPorts()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names.append(info.portName());
    return names;
}

// stat() follows the links, so a link to a pseudo-terminal counts and a dangling one does not.
bool isCharacterDevice(const QString& name)
{
    struct stat status {
    };
    return ::stat(PortNames::devicePath(name).toLocal8Bit().constData(), &status) == 0 &&
           S_ISCHR(status.st_mode);
}

} // namespace

QStringList PortDiscovery::availablePorts()
{
    QStringList result = enumeratedPorts();
    QStringList probed;
    for (int n = 0; n <= lastProbedNumber; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (isCharacterDevice(name))
            probed.append(name);
    }
    PortNames::appendMissing(result, probed);
    PortNames::sortByNumber(result);
    return result;
}
