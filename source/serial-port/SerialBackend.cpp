#include "SerialBackend.h"

#include "SerialTypes.h"

#include <QTimerEvent>

SerialBackend::SerialBackend(bool linesStartAsserted)
    : ctsLine{linesStartAsserted}, dsrLine{linesStartAsserted}
{
}

bool SerialBackend::isCtsChanged()
{
    QMutexLocker locker(&lock);
    return ctsLine.changed;
}

bool SerialBackend::isDsrChanged()
{
    QMutexLocker locker(&lock);
    return dsrLine.changed;
}

bool SerialBackend::cts()
{
    QMutexLocker locker(&lock);
    return ctsLine.take();
}

bool SerialBackend::dsr()
{
    QMutexLocker locker(&lock);
    return dsrLine.take();
}

qint64 SerialBackend::write(const QByteArray& data)
{
    QMutexLocker locker(&lock);
    if (descriptor() < 0)
        return -1;
    qint64 sent = 0;
    if (output.isEmpty()) {
        sent = writeNow(data.constData(), data.size());
        if (sent < 0)
            return -1;
    }
    output.append(data.constData() + sent, data.size() - sent);
    return sendQueuedLocked() ? data.size() : -1;
}

bool SerialBackend::sendQueued()
{
    QMutexLocker locker(&lock);
    return sendQueuedLocked();
}

qint64 SerialBackend::queuedOutput()
{
    QMutexLocker locker(&lock);
    return output.size();
}

int SerialBackend::handle()
{
    QMutexLocker locker(&lock);
    return descriptor();
}

int SerialBackend::clientWatchHandle()
{
    QMutexLocker locker(&lock);
    return clientWatchDescriptor();
}

ClientChange SerialBackend::takeClientChanges()
{
    QMutexLocker locker(&lock);
    const ClientChange change = takeDeviceClientChanges();
    if (change.left)
        output.clear();
    return change;
}

void SerialBackend::setLinePollWanted(bool wanted)
{
    if (pollWanted.exchange(wanted) == wanted)
        return;
    QMutexLocker locker(&lock);
    const std::optional<ulong> status = readLines();
    if (!status)
        return;
    if (wanted) {
        ctsLine.settle(*status & LS_CTS);
        dsrLine.settle(*status & LS_DSR);
        if (!pollByOwner)
            pollTimer.start();
    } else {
        pollTimer.stop();
    }
}

void SerialBackend::startLinePoll()
{
    if (pollWanted && !pollByOwner)
        pollTimer.start();
}

void SerialBackend::timerEvent(QTimerEvent* event)
{
    if (pollTimer.matches(event->timerId()))
        poll();
    else
        SerialPortAbstract::timerEvent(event);
}

void SerialBackend::poll()
{
    QMutexLocker locker(&lock);
    pollLocked();
}

void SerialBackend::pollLines()
{
    QMutexLocker locker(&lock);
    if (pollWanted)
        pollLocked();
}

void SerialBackend::pollLocked()
{
    // A tick queued before close() may still arrive; then nothing is read.
    const std::optional<ulong> status = readLines();
    if (!status)
        return;
    ctsLine.observe(*status & LS_CTS);
    dsrLine.observe(*status & LS_DSR);
}

bool SerialBackend::sendQueuedLocked()
{
    while (!output.isEmpty() && descriptor() >= 0) {
        const qint64 sent = writeNow(output.front(), output.size());
        if (sent < 0) {
            output.clear();
            return false;
        }
        if (sent == 0)
            break;
        output.consume(sent);
    }
    return true;
}
