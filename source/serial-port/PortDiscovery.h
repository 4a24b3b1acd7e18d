#pragma once
// Lists the serial ports of the machine for the port-name combo boxes: the ports the Qt
// add-on enumerates, plus COM0..COM99 under /dev/ found by opening them (so a /dev/COMn link to a
// pseudo-terminal, such as one end of a socat pair, is listed), merged without duplicates and
// sorted by port number. Runs in the calling thread and takes no backend lock.
//
// A port held by another program is listed. One held through PosixSerialPort (its flock) is
// listed without being opened, because the probe's open would reconfigure a live line.

#include <QIODevice>
#include <QStringList>

namespace PortDiscovery
{

struct ProbeRules {
    QIODevice::OpenMode mode;
    // Probe the COM names the enumeration already gave as well (the merge drops the repeat).
    bool probeEnumerated;
};

QStringList availablePorts(const ProbeRules& rules);

} // namespace PortDiscovery
