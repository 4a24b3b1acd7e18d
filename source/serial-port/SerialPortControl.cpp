#include "SerialPortControl.h"

#include "ExtSerialPortControl.h"
#include "QtSerialPortControl.h"

#include "CheckedConnect.h"

#include <QThread>

namespace
{
constexpr int bothDirections = 3;
}

SerialPortControl::SerialPortControl(int index, QObject* parent)
    : QObject(parent), selected(index == 1 ? 1 : 0)
{
    backends.append(new ExtSerialPortControl);
    backends.append(new QtSerialPortControl);
    CHECKED_CONNECT(port(), SIGNAL(ctsChanged(bool)), this, SIGNAL(ctsChanged(bool)));
    CHECKED_CONNECT(port(), SIGNAL(dsrChanged(bool)), this, SIGNAL(dsrChanged(bool)));
}

// A backend in this thread is deleted at once: no event of it can be under way here, and the
// event loop may already be gone at shutdown. One in another thread waits for that thread's loop.
// The relayed line signals are cut first: otherwise this object's ~QObject would still walk
// those connections (and call the backend's disconnectNotify) while the backend's own thread
// may already be deleting it.
SerialPortControl::~SerialPortControl()
{
    for (SerialBackend* backend : std::as_const(backends)) {
        QObject::disconnect(backend, nullptr, this, nullptr);
        if (backend->thread() == QThread::currentThread())
            delete backend;
        else
            backend->deleteLater();
    }
}

SerialPortAbstract* SerialPortControl::backend(int index) const
{
    return backends.value(index);
}

QString SerialPortControl::errorString()
{
    return port()->errorString();
}

QStringList SerialPortControl::availablePorts()
{
    return port()->availablePorts();
}

void SerialPortControl::setPortName(const QString& name)
{
    port()->setPortName(name);
}

QString SerialPortControl::portName()
{
    return port()->portName();
}

void SerialPortControl::setVirtualLinkName(const QString& name)
{
    port()->setVirtualLinkName(name);
}

bool SerialPortControl::open(QIODevice::OpenMode mode)
{
    return port()->open(mode);
}

void SerialPortControl::close()
{
    port()->close();
}

bool SerialPortControl::setBaudRate(int index)
{
    return port()->setBaudRate(index, bothDirections);
}

bool SerialPortControl::setDataBits(int index)
{
    return port()->setDataBits(index);
}

bool SerialPortControl::setParity(int index)
{
    return port()->setParity(index);
}

bool SerialPortControl::setStopBits(int index)
{
    return port()->setStopBits(index);
}

bool SerialPortControl::setFlowControl(int index)
{
    return port()->setFlowControl(index);
}

qint64 SerialPortControl::write(const QByteArray& data)
{
    return port()->write(data);
}

QByteArray SerialPortControl::readAll()
{
    return port()->readAll();
}

void SerialPortControl::flush()
{
    port()->flush();
}

bool SerialPortControl::sendQueued()
{
    return port()->sendQueued();
}

qint64 SerialPortControl::queuedOutput()
{
    return port()->queuedOutput();
}

int SerialPortControl::handle()
{
    return port()->handle();
}

int SerialPortControl::clientWatchHandle()
{
    return port()->clientWatchHandle();
}

ClientChange SerialPortControl::takeClientChanges()
{
    return port()->takeClientChanges();
}

void SerialPortControl::setLinePollWanted(bool wanted)
{
    port()->setLinePollWanted(wanted);
}

void SerialPortControl::setLinePollByOwner(bool byOwner)
{
    port()->setLinePollByOwner(byOwner);
}

void SerialPortControl::pollLines()
{
    port()->pollLines();
}

bool SerialPortControl::isLinePolling() const
{
    return port()->isLinePolling();
}

bool SerialPortControl::isCtsChanged()
{
    return port()->isCtsChanged();
}

bool SerialPortControl::isDsrChanged()
{
    return port()->isDsrChanged();
}

bool SerialPortControl::cts()
{
    return port()->cts();
}

bool SerialPortControl::dsr()
{
    return port()->dsr();
}
