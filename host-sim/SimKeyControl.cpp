#include "SimKeyControl.h"

#include "HostOutput.h"

#include <QMetaObject>
#include <QThread>

#include <chrono>

SimKeyControl::SimKeyControl(QObject* parent) : CwKeyControlAbstract(parent) {}

void SimKeyControl::setKey(quint32 transmitter, quint32 source, bool down)
{
    const qint64 at = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
    const bool fromWorker = QThread::currentThread() != thread();
    QMetaObject::invokeMethod(
        this,
        [this, transmitter, source, down, fromWorker, at] {
            report("setKey", transmitter, source, down, fromWorker,
                   QStringLiteral(" at %1").arg(at / 1000));
            emit keyRequested(transmitter, source, down, at);
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
                           bool fromWorker, const QString& suffix)
{
    printHostLine(QStringLiteral("key %1 %2 %3 %4 %5")
                      .arg(QLatin1String(operation))
                      .arg(channel)
                      .arg(source)
                      .arg(state ? 1 : 0)
                      .arg(fromWorker ? QStringLiteral("worker") : QStringLiteral("gui")) +
                  suffix);
}
