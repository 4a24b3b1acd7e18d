#include "SerialBackend.h"

#include "SerialTypes.h"

#include <QMutexLocker>
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
    // A tick queued before close() may still arrive; then nothing is read.
    const std::optional<ulong> status = readLines();
    if (!status)
        return;
    ctsLine.observe(*status & LS_CTS);
    dsrLine.observe(*status & LS_DSR);
}
