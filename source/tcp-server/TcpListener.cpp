#include "TcpListener.h"

#include "AddressList.h"

TcpListener::~TcpListener()
{
    close();
}

bool TcpListener::open(quint16 port, const AddressList& connectList)
{
    close();
    const bool local = connectList.isLoopbackOnly();
    const QHostAddress addresses[] = {
        local ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(QHostAddress::AnyIPv4),
        local ? QHostAddress(QHostAddress::LocalHostIPv6) : QHostAddress(QHostAddress::AnyIPv6),
    };
    for (const QHostAddress& address : addresses) {
        const sockets::ListenResult listening = sockets::listenOn(address, port);
        // A machine without IPv6 still serves IPv4, but the first address must be bound.
        if (listening.fd < 0 && listening.unavailable && !m_fds.isEmpty())
            continue;
        if (listening.fd < 0) {
            const QString error = listening.error;
            close();
            m_error = error;
            return false;
        }
        m_fds.append(listening.fd);
        // Port 0 asks for a free port on the first address; the others take the same one.
        port = sockets::boundPort(listening.fd);
        m_bound.append(endpointText(address, port));
    }
    m_port = port;
    m_error.clear();
    return true;
}

void TcpListener::close()
{
    for (const int fd : std::as_const(m_fds))
        sockets::closeSocket(fd);
    m_fds.clear();
    m_bound.clear();
    m_port = 0;
}

QString endpointText(const QHostAddress& address, quint16 port)
{
    const QHostAddress plain = plainAddress(address);
    const QString host = plain.protocol() == QAbstractSocket::IPv4Protocol
                             ? plain.toString()
                             : QLatin1Char('[') + plain.toString() + QLatin1Char(']');
    return host + QLatin1Char(':') + QString::number(port);
}
