#pragma once
// Port names as the options form shows them, and the device paths they stand for: a bare
// name lives under /dev/ (COM5, ttyUSB0, and pts/3 as the Qt add-on names it), a full path
// is used as given. Also the ordering and merging rules of port discovery.

#include <QString>
#include <QStringList>

namespace PortNames
{

QString devicePath(const QString& name);

// The decimal value of a name's digits (COM12 -> 12); 0 for a name without digits.
quint64 portNumber(const QString& name);

// Appends the names of `more` that `list` does not hold yet, keeping their order.
void appendMissing(QStringList& list, const QStringList& more);

// Ascending by port number, so COM2 comes before COM10.
void sortByNumber(QStringList& list);

} // namespace PortNames
