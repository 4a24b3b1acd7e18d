#include "PtyPair.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    termios raw{};
    tcgetattr(m_master, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_master, TCSANOW, &raw);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    hangUp();
}

void PtyPair::hangUp()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

bool PtyPair::write(const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_master, data.constData() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                // The test's thread is the host's too: while the port takes no more, the host
                // goes on taking the channel's messages, which the channel may be waiting for.
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                pollfd p{m_master, POLLOUT, 0};
                ::poll(&p, 1, 1);
                continue;
            }
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray PtyPair::read(int timeoutMs, char terminator, int count)
{
    QByteArray result;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs && result.count(terminator) < count) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, int(qMax<qint64>(1, timeoutMs - clock.elapsed()))) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            result.append(buf, n);
    }
    return result;
}

QByteArray PtyPair::readFor(int ms)
{
    return read(ms, '\0', 1 << 30);
}

bool PtyPair::slaveAttributes(termios* out) const
{
    return m_slave >= 0 && tcgetattr(m_slave, out) == 0;
}

int PtyPair::slaveHolders() const
{
    struct stat own {
    };
    if (m_slave < 0 || ::fstat(m_slave, &own) != 0)
        return 0;
    int holders = 0;
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : fds) {
        const int fd = entry.toInt();
        struct stat st {
        };
        if (fd != m_slave && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == own.st_rdev)
            ++holders;
    }
    return holders;
}

bool PtyPair::isHeldElsewhere() const
{
    const QByteArray path = m_slavePath.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}
