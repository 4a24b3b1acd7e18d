#include "SocketCalls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr int listenBacklog = 16;

// The socket address for `address` and `port`; false for an address that is neither family.
bool toSockaddr(const QHostAddress& address, quint16 port, sockaddr_storage& storage,
                socklen_t& length)
{
    std::memset(&storage, 0, sizeof storage);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in;
        return true;
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        length = sizeof *in6;
        return true;
    }
    return false;
}

bool setOption(int fd, int level, int name, int value)
{
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

sockets::ListenResult failure(int fd, int error)
{
    if (fd >= 0)
        ::close(fd);
    sockets::ListenResult result;
    result.error = sockets::errorText(error);
    result.unavailable = error == EAFNOSUPPORT || error == EADDRNOTAVAIL;
    return result;
}

} // namespace

namespace sockets
{

ListenResult listenOn(const QHostAddress& address, quint16 port)
{
    sockaddr_storage storage;
    socklen_t length = 0;
    if (!toSockaddr(address, port, storage, length))
        return failure(-1, EAFNOSUPPORT);
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return failure(-1, errno);
    if (!setOption(fd, SOL_SOCKET, SO_REUSEADDR, 1) ||
        (storage.ss_family == AF_INET6 && !setOption(fd, IPPROTO_IPV6, IPV6_V6ONLY, 1)))
        return failure(fd, errno);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&storage), length) != 0 ||
        ::listen(fd, listenBacklog) != 0)
        return failure(fd, errno);
    ListenResult result;
    result.fd = fd;
    return result;
}

quint16 boundPort(int fd)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return 0;
    if (storage.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
}

Accepted acceptFrom(int listener)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    Accepted accepted;
    const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&storage), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return accepted;
    // Answers are short and each is awaited by the client: none may wait for a full segment.
    setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    accepted.fd = fd;
    accepted.peer.setAddress(reinterpret_cast<const sockaddr*>(&storage));
    accepted.peerPort = storage.ss_family == AF_INET
                            ? ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port)
                            : ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
    return accepted;
}

TransferResult readSome(int fd, char* buffer, qint64 size)
{
    const ssize_t count = ::recv(fd, buffer, size_t(size), 0);
    if (count > 0)
        return {Transfer::Done, count, 0};
    if (count == 0)
        return {Transfer::Closed, 0, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {Transfer::WouldBlock, 0, 0};
    return {Transfer::Failed, 0, errno};
}

TransferResult writeSome(int fd, const char* data, qint64 size)
{
    // MSG_NOSIGNAL: a peer gone between two answers is a failed write, not a SIGPIPE.
    const ssize_t count = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
    if (count >= 0)
        return {Transfer::Done, count, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {Transfer::WouldBlock, 0, 0};
    return {Transfer::Failed, 0, errno};
}

void closeSocket(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace sockets
