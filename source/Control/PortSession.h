#pragma once
// The CAT port's session: the serial (or virtual) port the panel opened, served by the
// channel's worker beside the TCP sessions. The port keeps its own output queue; a hang-up
// of the line does not end the session, since a serial line, or the virtual port between two
// clients, may come back. The virtual port's pseudo-terminal is kept raw whatever its client
// does.
//
// Threads: as Session; the port serialises its own calls.

#include "Session.h"

class SerialPortControl;

class PortSession : public Session
{
public:
    explicit PortSession(SerialPortControl* port);

    int descriptor() override;
    Input readInput() override;
    bool write(const QByteArray& answer) override;
    QString writeError() override;
    bool sendQueued() override;
    qint64 queuedOutput() override;
    bool isCatPort() const override { return true; }

    SerialPortControl* port() const { return m_port; }
    // Once per session: the virtual port's client had switched echo on, and it was switched
    // off again (see VirtualPort::keepRaw).
    bool takeEchoSwitchedOff();

private:
    SerialPortControl* m_port; // not owned
    bool m_isVirtual;
    bool m_echoSwitchedOff = false;
    bool m_echoReported = false;
};
