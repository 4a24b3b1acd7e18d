#include "ClientPort.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// A line that takes no byte for this long is not coming back.
constexpr int stuckLineMs = 10000;

} // namespace

ClientPort::~ClientPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ClientPort::open(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    adopt(fd);
    return true;
}

bool ClientPort::connectTcp(int port, std::string& error)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    adopt(fd);
    return true;
}

void ClientPort::adopt(int fd)
{
    m_fd = fd;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    // A terminal raw; a socket has nothing to set.
    termios tio{};
    if (::tcgetattr(m_fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    m_received.reserve(1 << 16);
}

bool ClientPort::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(size_t(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, stuckLineMs);
        if (ready == 0 || (ready < 0 && errno != EINTR))
            return false;
    }
    return true;
}

bool ClientPort::receive(std::string& answer, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const size_t end = m_received.find(';', m_scanned);
        if (end != std::string::npos) {
            answer.assign(m_received, 0, end + 1);
            m_received.erase(0, end + 1);
            m_scanned = 0;
            return true;
        }
        m_scanned = m_received.size();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() < 0)
            return false;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count()) + 1) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            m_received.append(buffer, size_t(n));
    }
}

void ClientPort::discardInput()
{
    // A terminal's input is flushed; a socket's is read and dropped, whatever has arrived.
    ::tcflush(m_fd, TCIFLUSH);
    char buffer[4096];
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
    m_received.clear();
    m_scanned = 0;
}
