#pragma once
// One client of a channel: the CAT port's (serial or virtual), or one TCP connection. Each
// has its own framing and unfinished tail, its own input waiting to be executed and output
// waiting for the line, its own auto-information setting, and its own right to key the
// transmitter. The channel's worker serves every session in turn; answers go back only to the
// session that asked.
//
// Threads: a session is used by the channel's worker while it runs, and by the GUI thread only
// while the worker is stopped. Fields the interpreter reads or writes (autoInformation,
// keyedTransmitter) are touched with the channel mutex held.

#include "AutoInformation.h"
#include "ByteQueue.h"
#include "CommandFramer.h"

#include <QByteArray>
#include <QString>

class Session
{
public:
    Session(const QString& name, bool mayTransmit) : m_name(name), m_mayTransmit(mayTransmit) {}
    virtual ~Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // How the log names it: "CAT", or the TCP peer's address and port.
    const QString& name() const { return m_name; }
    // Whether its TX, RX (and the like) may reach the transmitter.
    bool mayTransmit() const { return m_mayTransmit; }

    // What a look at the session's descriptor found.
    enum class Input { Some, None, Ended };

    // The descriptor to wait on, -1 when there is none.
    virtual int descriptor() = 0;
    // Appends what the client sent to `input`: Ended when the client has gone.
    virtual Input readInput() = 0;
    // Takes a whole answer into the output queue (a port sends what the line takes at once, a
    // socket when the worker calls sendQueued); false when the session cannot send any more,
    // with the reason in writeError().
    virtual bool write(const QByteArray& answer) = 0;
    virtual QString writeError() = 0;
    // Sends more of the output queue; false when the line failed.
    virtual bool sendQueued() = 0;
    virtual qint64 queuedOutput() = 0;
    // The CAT port's session, whose line may hang up and come back (a serial line, the virtual
    // port between clients) and whose keying is the CAT port's; a TCP session ends when its
    // line hangs up.
    virtual bool isCatPort() const = 0;
    // Whether the client is known to be gone (a failed read or write).
    virtual bool isGone() const { return false; }

    CommandFramer framer;
    // Read and not executed yet: only while the answers wait at the output limit.
    ByteQueue input;
    AutoInformation autoInformation;
    // A TCP session keyed the transmitter and has not released it (the CAT port's keying is
    // the channel's catKeyed).
    bool keyedTransmitter = false;

private:
    QString m_name;
    bool m_mayTransmit;
};
