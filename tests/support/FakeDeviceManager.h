#pragma once
// A fake of the host's device manager: records every setCatEnable call with its arguments and
// the calling thread (mutex-guarded, like FakeKeyControl), and lets a test play the host by
// emitting catEnableChanged through announce().

#include "DeviceManagerAbstract.h"

#include <QList>
#include <QMutex>

class QThread;

struct CatEnableCall {
    quint32 transceiver = 0;
    bool state = false;
    QThread* thread = nullptr;

    // Equal in everything but the thread.
    bool operator==(const CatEnableCall& other) const
    {
        return transceiver == other.transceiver && state == other.state;
    }
    bool operator!=(const CatEnableCall& other) const { return !(*this == other); }
};

// For QCOMPARE's failure messages.
char* toString(const CatEnableCall& call);

class FakeDeviceManager : public DeviceManagerAbstract
{
    Q_OBJECT
public:
    explicit FakeDeviceManager(QObject* parent = nullptr);

    void setCatEnable(quint32 transceiver, bool state) override;

    // The host asks channel `transceiver` to open or close its command port.
    void announce(quint32 transceiver, bool state) { emit catEnableChanged(transceiver, state); }

    QList<CatEnableCall> calls() const;
    int count() const;
    CatEnableCall last() const; // a default call when there is none
    void clear();

private:
    mutable QMutex m_mutex;
    QList<CatEnableCall> m_calls;
};
