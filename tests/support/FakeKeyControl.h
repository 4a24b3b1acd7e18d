#pragma once
// A fake of the host's key object: records every call with its arguments and the thread that
// made it. Calls arrive from the GUI thread and from channel worker threads, so recording and
// reading are guarded by a mutex; tests wait with QTRY_COMPARE(fake.count(), n).

#include "CwKeyControlAbstract.h"

#include <QList>
#include <QMutex>

class QThread;

struct KeyCall {
    enum Kind { SetKey, SetPaddles, SetTrx };

    Kind kind = SetKey;
    quint32 channel = 0; // transmitter or transceiver
    quint32 source = 0;  // 2 command port, 3 PTT port, 4 footswitch
    bool state = false;  // key down (setKey), transmit on (setTrx), dash (setPaddles)
    bool dot = false;    // setPaddles only
    QThread* thread = nullptr;

    static KeyCall key(quint32 channel, quint32 source, bool down);
    static KeyCall trx(quint32 channel, quint32 source, bool on);

    // Equal in everything but the thread.
    bool operator==(const KeyCall& other) const;
    bool operator!=(const KeyCall& other) const { return !(*this == other); }
};

// For QCOMPARE's failure messages.
char* toString(const KeyCall& call);

class FakeKeyControl : public CwKeyControlAbstract
{
    Q_OBJECT
public:
    explicit FakeKeyControl(QObject* parent = nullptr);

    void setKey(quint32 transmitter, quint32 source, bool down) override;
    void setPaddles(quint32 transmitter, quint32 source, bool dash, bool dot) override;
    void setTrx(quint32 transceiver, quint32 source, bool on) override;

    QList<KeyCall> calls() const;
    QList<KeyCall> calls(KeyCall::Kind kind) const;
    int count() const;
    int count(KeyCall::Kind kind) const;
    KeyCall last() const; // a default KeyCall when there is none
    void clear();

private:
    void record(const KeyCall& call);

    mutable QMutex m_mutex;
    QList<KeyCall> m_calls;
};
