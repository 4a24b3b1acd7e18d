#include "VirtualPort.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr mode_t privateFolderMode = 0700;

QByteArray local(const QString& path)
{
    return path.toLocal8Bit();
}

bool makeRaw(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

// What a terminal program switches on and a raw line has off: echo, line editing, signals,
// and the input and output translations.
constexpr tcflag_t cookedLocal = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN;
constexpr tcflag_t cookedInput = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON;
constexpr tcflag_t cookedOutput = OPOST;

} // namespace

VirtualPort::~VirtualPort()
{
    close();
}

QString VirtualPort::itemName()
{
    return QStringLiteral("Virtual port");
}

QString VirtualPort::folder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/kenwood-ts480");
    return QStringLiteral("/tmp/kenwood-ts480-%1").arg(::getuid());
}

QString VirtualPort::linkPath(const QString& linkName)
{
    return folder() + QLatin1Char('/') + linkName;
}

int VirtualPort::open(const QString& linkName)
{
    close();
    if (linkName.isEmpty() || linkName.contains(QLatin1Char('/'))) {
        fail(QStringLiteral("No link name for the virtual port"), EINVAL);
        return -1;
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        fail(QStringLiteral("Can't make a pseudo-terminal"), errno);
        return -1;
    }
    char slavePath[PATH_MAX] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, slavePath, sizeof slavePath) != 0) {
        fail(QStringLiteral("Can't make a pseudo-terminal"), errno);
        ::close(master);
        return -1;
    }
    // Held open for the life of the port: see the class comment. Raw, so nothing the port
    // writes is echoed back to it before a client has set the line up.
    m_slave = ::open(slavePath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0 || !makeRaw(m_slave)) {
        fail(QString::fromLocal8Bit(slavePath), errno);
        ::close(master);
        close();
        return -1;
    }
    if (!m_clients.start(QString::fromLocal8Bit(slavePath), m_slave)) {
        fail(QStringLiteral("Can't watch the clients of %1").arg(QString::fromLocal8Bit(slavePath)),
             errno);
        ::close(master);
        close();
        return -1;
    }
    const QString link = linkPath(linkName);
    if (!makeFolder(folder()) || !publish(QString::fromLocal8Bit(slavePath), link)) {
        ::close(master);
        close();
        return -1;
    }
    m_link = link;
    m_slavePath = QString::fromLocal8Bit(slavePath);
    m_error.clear();
    return master;
}

void VirtualPort::close()
{
    // Only our own link: another host may have published its port under the name since.
    if (!m_link.isEmpty() && QFile::symLinkTarget(m_link) == m_slavePath)
        ::unlink(local(m_link).constData());
    m_link.clear();
    // Before our own descriptor goes, whose close the watch would report.
    m_clients.stop();
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

ClientChange VirtualPort::takeClientChanges()
{
    const ClientChange change = m_clients.take();
    if (change.left) {
        ::tcflush(m_slave, TCIFLUSH);
        ::ioctl(m_slave, TIOCNXCL);
    }
    return change;
}

bool VirtualPort::keepRaw(int fd)
{
    // On a pseudo-terminal's master side the terminal settings are those of the slave side,
    // where the client changes them.
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    if ((tio.c_lflag & cookedLocal) == 0 && (tio.c_iflag & cookedInput) == 0 &&
        (tio.c_oflag & cookedOutput) == 0)
        return false;
    tio.c_lflag &= ~cookedLocal;
    tio.c_iflag &= ~cookedInput;
    tio.c_oflag &= ~cookedOutput;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool VirtualPort::fail(const QString& what, int error)
{
    m_error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    return false;
}

// The folder is made private to this user; one that exists must already be private and ours,
// since anyone who may write to it could point a client's link at another device.
bool VirtualPort::makeFolder(const QString& path)
{
    const QByteArray name = local(path);
    if (::mkdir(name.constData(), privateFolderMode) != 0 && errno != EEXIST)
        return fail(path, errno);
    struct stat status {
    };
    if (::lstat(name.constData(), &status) != 0)
        return fail(path, errno);
    if (!S_ISDIR(status.st_mode))
        return fail(path, ENOTDIR);
    if (status.st_uid != ::getuid() || (status.st_mode & 077) != 0)
        return fail(path + QStringLiteral(" is not private to this user"), EACCES);
    return true;
}

// Made under a temporary name and renamed over `link`, so a link of that name left behind by
// an earlier run is replaced in one step.
bool VirtualPort::publish(const QString& slavePath, const QString& link)
{
    const QByteArray fresh = local(link + QStringLiteral(".new"));
    ::unlink(fresh.constData());
    if (::symlink(local(slavePath).constData(), fresh.constData()) != 0)
        return fail(link, errno);
    if (::rename(fresh.constData(), local(link).constData()) != 0) {
        const int error = errno;
        ::unlink(fresh.constData());
        return fail(link, error);
    }
    return true;
}
