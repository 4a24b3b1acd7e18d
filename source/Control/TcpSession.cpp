#include "TcpSession.h"

#include "SocketCalls.h"
#include "TcpListener.h"

namespace
{

// One read takes at most this much; a client with more waiting is read again next turn.
constexpr qint64 readChunk = 16 * 1024;

} // namespace

TcpSession::TcpSession(int fd, const QHostAddress& peer, quint16 peerPort, bool mayTransmit)
    : Session(endpointText(peer, peerPort), mayTransmit), m_fd(fd)
{
}

TcpSession::~TcpSession()
{
    sockets::closeSocket(m_fd);
}

Session::Input TcpSession::readInput()
{
    char buffer[readChunk];
    const sockets::TransferResult read = sockets::readSome(m_fd, buffer, readChunk);
    switch (read.state) {
    case sockets::Transfer::Done:
        input.append(buffer, read.bytes);
        return Input::Some;
    case sockets::Transfer::WouldBlock:
        return Input::None;
    case sockets::Transfer::Closed:
        fail(QStringLiteral("connection closed"));
        return Input::Ended;
    case sockets::Transfer::Failed:
        fail(sockets::errorText(read.error));
        return Input::Ended;
    }
    return Input::None;
}

bool TcpSession::write(const QByteArray& answer)
{
    if (m_failed)
        return false;
    m_output.append(answer.constData(), answer.size());
    return true;
}

bool TcpSession::sendQueued()
{
    while (!m_failed && !m_output.isEmpty()) {
        const sockets::TransferResult result =
            sockets::writeSome(m_fd, m_output.front(), m_output.size());
        if (result.state == sockets::Transfer::Failed)
            return fail(sockets::errorText(result.error));
        if (result.state != sockets::Transfer::Done || result.bytes == 0)
            break;
        m_output.consume(result.bytes);
    }
    return !m_failed;
}

bool TcpSession::fail(const QString& reason)
{
    m_failed = true;
    m_error = reason;
    m_output.clear();
    return false;
}
