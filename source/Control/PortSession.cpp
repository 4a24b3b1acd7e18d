#include "PortSession.h"

#include "SerialPortControl.h"
#include "VirtualPort.h"

PortSession::PortSession(SerialPortControl* port)
    : Session(QStringLiteral("CAT"), true), m_port(port),
      m_isVirtual(VirtualPort::isItem(port->portName()))
{
}

int PortSession::descriptor()
{
    return m_port->handle();
}

Session::Input PortSession::readInput()
{
    const QByteArray bytes = m_port->readAll();
    input.append(bytes.constData(), bytes.size());
    if (m_isVirtual && VirtualPort::keepRaw(m_port->handle()))
        m_echoSwitchedOff = true;
    return bytes.isEmpty() ? Input::None : Input::Some;
}

bool PortSession::takeEchoSwitchedOff()
{
    if (!m_echoSwitchedOff || m_echoReported)
        return false;
    m_echoReported = true;
    return true;
}

bool PortSession::write(const QByteArray& answer)
{
    // The port queues a whole answer while it is open, so a refusal means the port is closed
    // or its line failed.
    return m_port->write(answer) == answer.size();
}

QString PortSession::writeError()
{
    return m_port->handle() < 0 ? QStringLiteral("port closed") : m_port->errorString();
}

bool PortSession::sendQueued()
{
    return m_port->sendQueued();
}

qint64 PortSession::queuedOutput()
{
    return m_port->queuedOutput();
}
