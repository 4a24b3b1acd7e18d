#include "SimDeviceManager.h"

#include "HostOutput.h"

#include <QMetaObject>
#include <QThread>

SimDeviceManager::SimDeviceManager(quint32 channels, QObject* parent)
    : DeviceManagerAbstract(parent), enabled(qsizetype(channels), false)
{
}

void SimDeviceManager::setCatEnable(quint32 transceiver, bool state)
{
    if (QThread::currentThread() == thread()) {
        applyCatEnable(transceiver, state);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, transceiver, state] { applyCatEnable(transceiver, state); },
        Qt::QueuedConnection);
}

bool SimDeviceManager::catEnabled(quint32 transceiver) const
{
    return transceiver < quint32(enabled.size()) && enabled.at(transceiver);
}

void SimDeviceManager::requestCat(quint32 transceiver, bool state)
{
    printHostLine(QStringLiteral("manager request %1 %2").arg(transceiver).arg(state ? 1 : 0));
    emit catEnableChanged(transceiver, state);
}

void SimDeviceManager::applyCatEnable(quint32 transceiver, bool state)
{
    printHostLine(QStringLiteral("manager setCatEnable %1 %2").arg(transceiver).arg(state ? 1 : 0));
    if (transceiver < quint32(enabled.size()))
        enabled[transceiver] = state;
    emit catStateChanged(transceiver, state);
}
