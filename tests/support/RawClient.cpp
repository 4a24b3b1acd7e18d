#include "RawClient.h"

#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace
{
constexpr int writeTimeoutMs = 5000;
} // namespace

int openRawClient(const QString& path)
{
    const int fd =
        ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

RawClient::RawClient(const QString& path) : m_fd(openRawClient(path))
{
    if (m_fd >= 0)
        tcflush(m_fd, TCIFLUSH);
}

RawClient::~RawClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RawClient::write(const QByteArray& bytes)
{
    const QDeadlineTimer deadline(writeTimeoutMs);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(m_fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        pollfd p{m_fd, POLLOUT, 0};
        if (deadline.hasExpired() || ::poll(&p, 1, int(deadline.remainingTime())) < 0)
            return false;
    }
    return true;
}

QByteArray RawClient::answer(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype end = m_received.indexOf(';');
        if (end >= 0) {
            const QByteArray answer = m_received.left(end + 1);
            m_received.remove(0, end + 1);
            return answer;
        }
        pollfd p{m_fd, POLLIN, 0};
        if (deadline.hasExpired() || ::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            return QByteArray();
        char buffer[256];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            m_received.append(buffer, n);
    }
}
