#pragma once
// The tests' way into a channel: runs one command, or one read's worth of bytes, through the
// interpreter exactly as the worker does, with the channel mutex held; reads and resets the
// cache fields that have no getter, tells whether the PTT/footswitch and the CAT line polls
// run, counts the worker's turns and the CAT port's queued answer bytes, and tells where the
// TCP server listens.
// Test support only (Control names it a friend): the unit tests and the fuzzer use it.

#include "Control.h"
#include "PortSession.h"
#include "SerialPortControl.h"
#include "TcpListener.h"
#include "TcpSession.h"

#include <QMutexLocker>

class ControlTestAccess
{
public:
    static void execute(Control& channel, const QString& letters, const QString& parameter,
                        Session& session)
    {
        QMutexLocker lock(&channel.mutex);
        channel.executeCommand(Control::commandCode(letters), parameter, session);
    }

    // One read of the worker, framed by the session's framer (which keeps the unfinished tail).
    static void executeBatch(Control& channel, Session& session, const QByteArray& bytes,
                             QString& parameter)
    {
        QMutexLocker lock(&channel.mutex);
        channel.executeBatch(session, bytes, parameter);
    }

    static bool linePollActive(const Control& channel) { return channel.lineTimer.isActive(); }
    // The CAT port's own 1 ms line poll; ask in the thread that created the channel.
    static bool catLinePollActive(const Control& channel)
    {
        return channel.catPort->isLinePolling();
    }

    // How often the worker has come back from waiting since the channel was made.
    static quint64 workerTurns(const Control& channel) { return channel.workerTurns.load(); }
    static qint64 queuedAnswerBytes(const Control& channel)
    {
        return channel.catPort->queuedOutput();
    }
    // The TCP server's port while it listens (0 otherwise), and where it is bound.
    static quint16 tcpPort(const Control& channel)
    {
        return channel.tcpListener ? channel.tcpListener->port() : 0;
    }
    static QStringList tcpAddresses(const Control& channel)
    {
        return channel.tcpListener ? channel.tcpListener->boundAddresses() : QStringList();
    }
    static constexpr qint64 outputQueueLimit = Control::outputQueueLimit;
    static constexpr qint64 heldInputLimit = Control::heldInputLimit;
    static constexpr qint64 hostBacklogLimit = Control::hostBacklogLimit;

    static RadioState cache(Control& channel)
    {
        QMutexLocker lock(&channel.mutex);
        return channel.cache;
    }

    // Back to the values a new channel starts with, keeping its transceiver and panel options;
    // the keyer stopped, at the cache's speed.
    static void resetCache(Control& channel)
    {
        QMutexLocker lock(&channel.mutex);
        RadioState fresh;
        fresh.transceiver = channel.cache.transceiver;
        fresh.antSwEnable = channel.cache.antSwEnable;
        fresh.enableFr = channel.cache.enableFr;
        channel.cache = fresh;
        channel.keyer.stop();
        channel.keyer.setSpeed(fresh.cwWpm);
    }
};
