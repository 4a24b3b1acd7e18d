#include "PortSession.h"

#include "SerialPortControl.h"

PortSession::PortSession(SerialPortControl* port)
    : Session(QStringLiteral("CAT"), true), m_port(port)
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
    return bytes.isEmpty() ? Input::None : Input::Some;
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
