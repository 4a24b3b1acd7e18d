#pragma once
// The tests' way into a channel: runs one command through the interpreter exactly as the
// worker does, with the channel mutex held, reads the cache fields that have no getter, and
// tells whether the PTT/footswitch line poll runs.
// Production code does not use it.

#include "Control.h"

#include <QMutexLocker>

class ControlTestAccess
{
public:
    static void execute(Control& channel, const QString& letters, const QString& parameter,
                        SerialPortControl* port)
    {
        QMutexLocker lock(&channel.mutex);
        channel.executeCommand(Control::commandCode(letters), parameter, port);
    }

    static bool linePollActive(const Control& channel) { return channel.lineTimer.isActive(); }

    static RadioState cache(Control& channel)
    {
        QMutexLocker lock(&channel.mutex);
        return channel.cache;
    }
};
