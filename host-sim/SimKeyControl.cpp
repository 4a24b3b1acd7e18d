#include "SimKeyControl.h"

#include "HostOutput.h"

#include <QMetaObject>
#include <QThread>

SimKeyControl::SimKeyControl(QObject* parent) : CwKeyControlAbstract(parent) {}

void SimKeyControl::setKey(quint32 transmitter, quint32 source, bool down)
{
    const bool fromWorker = QThread::currentThread() != thread();
    QMetaObject::invokeMethod(
        this,
        [this, transmitter, source, down, fromWorker] {
            report("setKey", transmitter, source, down, fromWorker);
            emit keyRequested(transmitter, source, down);
        },
        Qt::QueuedConnection);
}

void SimKeyControl::setTrx(quint32 transceiver, quint32 source, bool on)
{
    const bool fromWorker = QThread::currentThread() != thread();
    QMetaObject::invokeMethod(
        this,
        [this, transceiver, source, on, fromWorker] {
            report("setTrx", transceiver, source, on, fromWorker);
            emit trxRequested(transceiver, source, on);
        },
        Qt::QueuedConnection);
}

void SimKeyControl::report(const char* operation, quint32 channel, quint32 source, bool state,
                           bool fromWorker)
{
    printHostLine(QStringLiteral("key %1 %2 %3 %4 %5")
                      .arg(QLatin1String(operation))
                      .arg(channel)
                      .arg(source)
                      .arg(state ? 1 : 0)
                      .arg(fromWorker ? QStringLiteral("worker") : QStringLiteral("gui")));
}
