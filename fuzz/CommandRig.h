#pragma once
// One channel whose interpreter answers on a pseudo-terminal, driven the way its worker drives
// it: each read goes through Control::executeBatch with the channel mutex held, for a CAT-port
// session that lives as long as one opening of the port. The rig records, per read, every log line
// and every host message in the order they were emitted, and fetches what the client end of the
// pseudo-terminal received. Everything runs in the fuzzer's one thread.

#include "FakeKeyControl.h"
#include "PtyPair.h"
#include "SerialPortControl.h"
#include "quorvexCommand.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

class Control;
class PortSession;
class QCheckBox;
class QTextDocument;

struct LogLine {
    QString text;        // without the session's name
    bool answer = false; // false: a command received
};

class CommandRig
{
public:
    CommandRig();
    ~CommandRig();

    // The pseudo-terminal exists and the channel's port opened on it.
    bool isReady() const { return m_ready; }

    // A freshly opened port: new session, the cache as a new channel has it, the panel options
    // of `input`, nothing recorded.
    void begin(bool logView, bool enableFr, bool antennaSwitch);
    // One read; with `hostConfirms` every host message it caused is decoded back into the
    // channel afterwards, outside the channel mutex, as a host reports the state it took over.
    void feed(const QByteArray& read, bool hostConfirms);

    // What the last feed logged and sent to the host.
    const QList<LogLine>& lines() const { return m_lines; }
    const QList<QVariant>& messages() const { return m_messages; }
    // The bytes at the client end after the last feed, waiting for `answers` answers at most a
    // second; anything left over from before shows up here too.
    QByteArray clientBytes(int answers);

    Control& channel() { return *m_channel; }
    // The key object's calls since begin().
    QList<KeyCall> keyCalls() const { return m_key.calls(); }
    QTextDocument* logDocument() const;

private:
    quorvexCommand m_bus;
    std::unique_ptr<Control> m_channel;
    FakeKeyControl m_key;
    PtyPair m_pty;
    SerialPortControl m_port{0};
    std::unique_ptr<PortSession> m_session;
    QCheckBox* m_logBox = nullptr;
    QString m_parameter;
    QList<LogLine> m_lines;
    QList<QVariant> m_messages;
    bool m_ready = false;
};
