#include "FakeKeyControl.h"

#include <QByteArray>
#include <QMutexLocker>
#include <QThread>

#include <cstring>

namespace
{
const char* kindName(KeyCall::Kind kind)
{
    switch (kind) {
    case KeyCall::SetKey:
        return "setKey";
    case KeyCall::SetPaddles:
        return "setPaddles";
    case KeyCall::SetTrx:
        return "setTrx";
    }
    return "?";
}
} // namespace

KeyCall KeyCall::key(quint32 channel, quint32 source, bool down)
{
    return KeyCall{SetKey, channel, source, down, false, nullptr};
}

KeyCall KeyCall::trx(quint32 channel, quint32 source, bool on)
{
    return KeyCall{SetTrx, channel, source, on, false, nullptr};
}

bool KeyCall::operator==(const KeyCall& other) const
{
    return kind == other.kind && channel == other.channel && source == other.source &&
           state == other.state && dot == other.dot;
}

char* toString(const KeyCall& call)
{
    QByteArray text = QByteArray(kindName(call.kind)) + '(' + QByteArray::number(call.channel) +
                      ", " + QByteArray::number(call.source) + ", " +
                      (call.state ? "true" : "false");
    if (call.kind == KeyCall::SetPaddles)
        text += call.dot ? ", true" : ", false";
    text += ')';
    char* out = new char[size_t(text.size()) + 1];
    std::memcpy(out, text.constData(), size_t(text.size()) + 1);
    return out;
}

FakeKeyControl::FakeKeyControl(QObject* parent) : CwKeyControlAbstract(parent) {}

void FakeKeyControl::setKey(quint32 transmitter, quint32 source, bool down)
{
    record(KeyCall{KeyCall::SetKey, transmitter, source, down, false, QThread::currentThread()});
}

void FakeKeyControl::setPaddles(quint32 transmitter, quint32 source, bool dash, bool dot)
{
    record(KeyCall{KeyCall::SetPaddles, transmitter, source, dash, dot, QThread::currentThread()});
}

void FakeKeyControl::setTrx(quint32 transceiver, quint32 source, bool on)
{
    record(KeyCall{KeyCall::SetTrx, transceiver, source, on, false, QThread::currentThread()});
}

void FakeKeyControl::record(const KeyCall& call)
{
    QMutexLocker lock(&m_mutex);
    m_calls.append(call);
}

QList<KeyCall> FakeKeyControl::calls() const
{
    // A copy of its own: a list sharing its data with m_calls would be released outside the
    // mutex while a keying thread appends to m_calls under it.
    QMutexLocker lock(&m_mutex);
    return QList<KeyCall>(m_calls.cbegin(), m_calls.cend());
}

QList<KeyCall> FakeKeyControl::calls(KeyCall::Kind kind) const
{
    QList<KeyCall> matching;
    for (const KeyCall& call : calls())
        if (call.kind == kind)
            matching.append(call);
    return matching;
}

int FakeKeyControl::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_calls.size());
}

int FakeKeyControl::count(KeyCall::Kind kind) const
{
    return int(calls(kind).size());
}

KeyCall FakeKeyControl::last() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls.isEmpty() ? KeyCall{} : m_calls.last();
}

void FakeKeyControl::clear()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}
