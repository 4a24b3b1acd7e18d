#include "TcpClient.h"

#include <QDeadlineTimer>
#include <QDir>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

sockaddr_in loopback(const QString& address, quint16 port)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    ::inet_pton(AF_INET, address.toLatin1().constData(), &in.sin_addr);
    return in;
}

// Waits until `fd` is readable or the deadline passes.
bool readable(int fd, const QDeadlineTimer& deadline)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, int(qMax<qint64>(0, deadline.remainingTime()))) > 0;
}

} // namespace

TcpClient::~TcpClient()
{
    close();
}

bool TcpClient::connectTo(quint16 port, const QString& from, const QString& to)
{
    close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in source = loopback(from, 0);
    const sockaddr_in target = loopback(to, port);
    return m_fd >= 0 &&
           ::bind(m_fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) == 0 &&
           ::connect(m_fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
}

bool TcpClient::write(const QByteArray& data)
{
    return ::send(m_fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL) == data.size();
}

qint64 TcpClient::writeSome(const QByteArray& data)
{
    const ssize_t taken =
        ::send(m_fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    return taken < 0 ? 0 : taken;
}

QByteArray TcpClient::read(int timeoutMs, char terminator, int count)
{
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    while (received.count(terminator) < count && readable(m_fd, deadline)) {
        char buffer[4096];
        const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got <= 0)
            break;
        received.append(buffer, got);
    }
    return received;
}

QByteArray TcpClient::ask(const QByteArray& commands, int count, int timeoutMs)
{
    return write(commands) ? read(timeoutMs, ';', count) : QByteArray();
}

QByteArray TcpClient::readFor(int ms)
{
    return read(ms, '\0', 1);
}

bool TcpClient::closedByServer(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (readable(m_fd, deadline)) {
        char buffer[4096];
        const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            return true;
    }
    return false;
}

quint16 TcpClient::localPort() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

void TcpClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

quint16 TcpClient::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in any = loopback(QStringLiteral("127.0.0.1"), 0);
    socklen_t length = sizeof any;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&any), &length) == 0;
    ::close(fd);
    return bound ? ntohs(any.sin_port) : 0;
}

int TcpClient::openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                   .size());
}
