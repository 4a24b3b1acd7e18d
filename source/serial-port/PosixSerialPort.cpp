#include "PosixSerialPort.h"

#include "LineStatusSource.h"
#include "PortNames.h"
#include "TermiosSettings.h"
#include "VirtualPort.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace
{

constexpr std::array<std::pair<int, ulong>, 4> modemInputs{{
    {TIOCM_CTS, LS_CTS},
    {TIOCM_DSR, LS_DSR},
    {TIOCM_CAR, LS_DCD},
    {TIOCM_RNG, LS_RI},
}};

constexpr std::array<std::pair<QIODevice::OpenModeFlag, int>, 3> accessModes{{
    {QIODevice::ReadWrite, O_RDWR},
    {QIODevice::ReadOnly, O_RDONLY},
    {QIODevice::WriteOnly, O_WRONLY},
}};

// How long a write waits for the line to take its bytes. Far longer than a short answer needs
// even at 1200 bit/s, so a client that is slow to read (busy, or starved of CPU) still gets
// every answer whole; bounded, so a client that stopped reading cannot hold the worker.
constexpr int stallLimitMs = 100;

// How long flush() naps between looks at the output queue.
constexpr unsigned long drainNapMicroseconds = 100;

const QString noError = QStringLiteral("No error");

// open() flags for a QIODevice mode, or -1 when the mode neither reads nor writes.
int accessFor(QIODevice::OpenMode mode)
{
    for (const auto& [flag, access] : accessModes) {
        if ((mode & QIODevice::ReadWrite) == flag)
            return access;
    }
    return -1;
}

} // namespace

PosixSerialPort::PosixSerialPort(QueryMode mode) : m_error(noError), m_queryMode(mode) {}

PosixSerialPort::~PosixSerialPort()
{
    close();
}

QString PosixSerialPort::devicePath() const
{
    return PortNames::devicePath(m_name);
}

void PosixSerialPort::setBaudRate(BaudRateType rate)
{
    m_settings.baudRate = rate;
    applySettings();
}

void PosixSerialPort::setDataBits(DataBitsType bits)
{
    m_settings.dataBits = bits;
    applySettings();
}

void PosixSerialPort::setParity(ParityType parity)
{
    m_settings.parity = parity;
    applySettings();
}

void PosixSerialPort::setStopBits(StopBitsType stopBits)
{
    m_settings.stopBits = stopBits;
    applySettings();
}

void PosixSerialPort::setFlowControl(FlowType flow)
{
    m_settings.flowControl = flow;
    applySettings();
}

bool PosixSerialPort::open(QIODevice::OpenMode mode)
{
    if (isOpen())
        return true;
    const int access = accessFor(mode);
    if (access < 0 || m_name.isEmpty()) {
        setSystemError(access < 0 ? EINVAL : ENOENT);
        return false;
    }
    m_outputStalled = false;
    if (VirtualPort::isItem(m_name))
        return openVirtual();
    const QString path = devicePath();
    const int fd =
        ::open(path.toLocal8Bit().constData(), access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setSystemError(errno);
        return false;
    }
    if (!isatty(fd)) {
        ::close(fd);
        m_error = QStringLiteral("Not a tty: %1 is not a serial device").arg(path);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        setSystemError(error);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    return adopt(fd, path);
}

// A pseudo-terminal's master is neither locked nor made exclusive: all masters share one inode,
// so a lock would keep a second channel from its own virtual port.
bool PosixSerialPort::openVirtual()
{
    const int master = m_virtual.open(m_virtualLinkName);
    if (master < 0) {
        m_error = m_virtual.errorString();
        return false;
    }
    return adopt(master, m_virtual.path());
}

bool PosixSerialPort::adopt(int fd, const QString& path)
{
    tcgetattr(fd, &m_saved);
    m_fd = fd;
    m_path = path;
    if (!applySettings()) {
        const QString reason = m_error;
        close();
        m_error = reason;
        return false;
    }
    m_error = noError;
    return true;
}

void PosixSerialPort::close()
{
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, TIOCNXCL);
    tcsetattr(m_fd, TCSANOW, &m_saved);
    ::close(m_fd);
    m_fd = -1;
    m_virtual.close();
}

void PosixSerialPort::setDtr(bool on)
{
    setModemLine(TIOCM_DTR, on);
}

void PosixSerialPort::setRts(bool on)
{
    setModemLine(TIOCM_RTS, on);
}

ulong PosixSerialPort::lineStatus()
{
    if (m_fd < 0)
        return 0;
    if (const auto injected = LineStatusSource::query(m_path))
        return *injected;
    int bits = 0;
    if (::ioctl(m_fd, TIOCMGET, &bits) != 0)
        return 0;
    ulong status = 0;
    for (const auto& [line, bit] : modemInputs) {
        if (bits & line)
            status |= bit;
    }
    return status;
}

qint64 PosixSerialPort::write(const QByteArray& data)
{
    if (m_fd < 0) {
        setSystemError(EBADF);
        return -1;
    }
    // A line that took nothing for a whole stall limit last time gets no further wait for its
    // first byte: a client that stopped reading costs the caller one wait, not one per answer.
    QDeadlineTimer deadline(m_outputStalled ? 0 : stallLimitMs);
    qint64 done = 0;
    while (done < data.size() && waitFor(POLLOUT, deadline)) {
        const qint64 n = writeSome(data.constData() + done, data.size() - done);
        if (n > 0) {
            // Once the first byte is out, the rest follows as soon as the line takes it: an
            // answer cut in half would be read as a different answer by the client.
            if (done == 0)
                deadline = QDeadlineTimer(stallLimitMs);
            done += n;
            continue;
        }
        if (n < 0)
            return done > 0 ? done : -1;
        if (deadline.hasExpired())
            break;
    }
    m_outputStalled = done < data.size();
    return done;
}

qint64 PosixSerialPort::writeSome(const char* data, qint64 size)
{
    if (m_fd < 0) {
        setSystemError(EBADF);
        return -1;
    }
    const ssize_t n = ::write(m_fd, data, size_t(size));
    if (n >= 0)
        return n;
    if (errno == EINTR || errno == EAGAIN)
        return 0;
    setSystemError(errno);
    return -1;
}

QByteArray PosixSerialPort::readAll()
{
    if (m_fd < 0)
        return {};
    if (m_queryMode == EventDriven && bytesAvailable() == 0)
        waitFor(POLLIN, QDeadlineTimer(m_timeoutMs));
    const qint64 available = bytesAvailable();
    if (available <= 0)
        return {};
    QByteArray data(available, Qt::Uninitialized);
    const ssize_t n = ::read(m_fd, data.data(), size_t(available));
    if (n <= 0)
        return {};
    data.truncate(n);
    return data;
}

qint64 PosixSerialPort::bytesAvailable() const
{
    int count = 0;
    if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void PosixSerialPort::flush()
{
    if (m_fd < 0)
        return;
    const QDeadlineTimer deadline(m_timeoutMs);
    int queued = 0;
    while (::ioctl(m_fd, TIOCOUTQ, &queued) == 0 && queued > 0 && !deadline.hasExpired())
        QThread::usleep(drainNapMicroseconds);
}

ClientChange PosixSerialPort::takeClientChanges()
{
    const ClientChange change = m_virtual.takeClientChanges();
    // What the client that left wrote and nobody read yet; unless the next client has written
    // since it came, whose commands must not be lost (the two cannot be told apart).
    if (change.left && !change.nextWrote)
        tcflush(m_fd, TCIFLUSH);
    return change;
}

void PosixSerialPort::reset()
{
    if (m_fd >= 0)
        tcflush(m_fd, TCIOFLUSH);
}

bool PosixSerialPort::applySettings()
{
    if (m_fd < 0)
        return true;
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        setSystemError(errno);
        return false;
    }
    applyPortSettings(m_settings, tio);
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        setSystemError(errno);
        return false;
    }
    return true;
}

void PosixSerialPort::setModemLine(int line, bool on)
{
    if (m_fd >= 0)
        ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

void PosixSerialPort::setSystemError(int error)
{
    m_error = qt_error_string(error);
}

bool PosixSerialPort::waitFor(short events, QDeadlineTimer deadline) const
{
    pollfd p{m_fd, events, 0};
    const int waitMs = int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
    return ::poll(&p, 1, waitMs) > 0 && (p.revents & events);
}
