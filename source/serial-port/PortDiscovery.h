#pragma once
// Lists the serial ports of the machine for the port-name combo boxes: the ports the Qt
// add-on enumerates, plus those of COM0..COM99 under /dev/ that exist (so a /dev/COMn link to a
// pseudo-terminal, such as one end of a socat pair, is listed), merged without duplicates and
// sorted by port number. Runs in the calling thread and takes no backend lock.
//
// A COMn name exists when /dev/COMn resolves, through any links, to a character device. That is
// read from the file system alone: the probe never opens a port, since on this platform an open
// is not exclusive and even a brief one may reconfigure, or on close hang up, a line that
// another program is using. A dangling link is therefore not listed, and one held by another
// program is.

#include <QStringList>

namespace PortDiscovery
{

QStringList availablePorts();

} // namespace PortDiscovery
