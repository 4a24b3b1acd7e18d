#include "FakeDeviceManager.h"

#include <QByteArray>
#include <QMutexLocker>
#include <QThread>

#include <cstring>

char* toString(const CatEnableCall& call)
{
    const QByteArray text = "setCatEnable(" + QByteArray::number(call.transceiver) + ", " +
                            (call.state ? "true" : "false") + ")";
    char* out = new char[size_t(text.size()) + 1];
    std::memcpy(out, text.constData(), size_t(text.size()) + 1);
    return out;
}

FakeDeviceManager::FakeDeviceManager(QObject* parent) : DeviceManagerAbstract(parent) {}

void FakeDeviceManager::setCatEnable(quint32 transceiver, bool state)
{
    QMutexLocker lock(&m_mutex);
    m_calls.append(CatEnableCall{transceiver, state, QThread::currentThread()});
}

QList<CatEnableCall> FakeDeviceManager::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

int FakeDeviceManager::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_calls.size());
}

CatEnableCall FakeDeviceManager::last() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls.isEmpty() ? CatEnableCall{} : m_calls.last();
}

void FakeDeviceManager::clear()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}
