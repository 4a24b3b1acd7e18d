#include "LinkClient.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr int writeLimitMs = 10000;

bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, int(deadline.remainingTime())) > 0;
}

} // namespace

LinkClient::LinkClient(const QString& path)
    : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
}

LinkClient::~LinkClient()
{
    close();
}

bool LinkClient::takeExclusive()
{
    return ::ioctl(m_fd, TIOCEXCL) == 0 && isExclusive();
}

bool LinkClient::isExclusive() const
{
    int exclusive = 0;
    return ::ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

bool LinkClient::write(const QByteArray& data)
{
    const QDeadlineTimer deadline(writeLimitMs);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_fd, data.constData() + done, size_t(data.size() - done));
        if (n > 0)
            done += n;
        else if ((n == 0 || errno == EAGAIN || errno == EINTR) && !deadline.hasExpired())
            waitFor(m_fd, POLLOUT, deadline);
        else
            return false;
    }
    return true;
}

QByteArray LinkClient::read(int timeoutMs, int count)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray received;
    int answers = 0;
    while (answers < count && waitFor(m_fd, POLLIN, deadline)) {
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        received.append(buffer, n);
        answers += int(std::count(buffer, buffer + n, ';'));
    }
    return received;
}

void LinkClient::discardInput()
{
    ::tcflush(m_fd, TCIFLUSH);
}

void LinkClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
