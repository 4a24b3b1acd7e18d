#include "VirtualPort.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr mode_t privateFolderMode = 0700;
constexpr mode_t privateFileMode = 0600;
constexpr int lockAttempts = 10;
constexpr useconds_t lockRetryMicroseconds = 5000;

QByteArray local(const QString& path)
{
    return path.toLocal8Bit();
}

// Where a link points, as written (not followed further): empty when it is no link.
QString linkTarget(const QString& link)
{
    char target[PATH_MAX];
    const ssize_t size = ::readlink(local(link).constData(), target, sizeof target);
    return size > 0 ? QString::fromLocal8Bit(target, size) : QString();
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
constexpr tcflag_t cookedLocal = ECHO | ECHONL | ICANON | ISIG | IEXTEN;
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
    if (linkName.isEmpty() || linkName.contains(QLatin1Char('/')) ||
        linkName.contains(QLatin1Char('.'))) {
        fail(QStringLiteral("No link name for the virtual port"), EINVAL);
        return -1;
    }
    const QString link = linkPath(linkName);
    if (!makeFolder(folder()) || !takeName(link))
        return -1;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        fail(QStringLiteral("Can't make a pseudo-terminal"), errno);
        close();
        return -1;
    }
    char slavePath[PATH_MAX] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, slavePath, sizeof slavePath) != 0) {
        fail(QStringLiteral("Can't make a pseudo-terminal"), errno);
        ::close(master);
        close();
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
    // The link leads to the slave through our own descriptor of it: once this process is gone
    // the link leads nowhere, also when another program has been given the same terminal.
    const QString target = QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(m_slave);
    if (!publish(target, link)) {
        ::close(master);
        close();
        return -1;
    }
    m_link = link;
    m_target = target;
    m_error.clear();
    return master;
}

void VirtualPort::close()
{
    // Only our own link: whatever else stands under the name is left alone.
    if (!m_link.isEmpty() && linkTarget(m_link) == m_target)
        ::unlink(local(m_link).constData());
    m_link.clear();
    // Before our own descriptor goes, whose close the watch would report.
    m_clients.stop();
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    // Last: the name is ours until the link is gone.
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
}

void VirtualPort::removeStaleLinks()
{
    const QString path = folder();
    struct stat status {
    };
    // Only a folder that is ours and private; a missing one has no links.
    if (::lstat(local(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid() || (status.st_mode & 077) != 0)
        return;
    const QStringList links = QDir(path).entryList(QDir::System | QDir::Files);
    for (const QString& name : links) {
        // Link names have no dot; the lock files and the links being made have one.
        const QString link = path + QLatin1Char('/') + name;
        if (name.contains(QLatin1Char('.')) || !QFileInfo(link).isSymLink())
            continue;
        const int lock = lockName(link, 1);
        if (lock >= 0) {
            ::unlink(local(link).constData());
            ::close(lock);
        }
    }
}

// A name is held by the host that holds its lock file (never removed, so that every host locks
// the same file); the lock goes with the host's process. Another host's sweep holds a free
// name's lock for a moment only, so taking a name tries more than once.
int VirtualPort::lockName(const QString& link, int attempts)
{
    const int fd = ::open(local(link + QStringLiteral(".lock")).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, privateFileMode);
    if (fd < 0)
        return -1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0)
            ::usleep(lockRetryMicroseconds);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return fd;
        if (errno != EWOULDBLOCK)
            break;
    }
    ::close(fd);
    return -1;
}

bool VirtualPort::takeName(const QString& link)
{
    m_lock = lockName(link, lockAttempts);
    if (m_lock >= 0)
        return true;
    m_error = QStringLiteral("%1 is in use by another host").arg(link);
    return false;
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
bool VirtualPort::publish(const QString& target, const QString& link)
{
    const QByteArray fresh = local(link + QStringLiteral(".new"));
    ::unlink(fresh.constData());
    if (::symlink(local(target).constData(), fresh.constData()) != 0)
        return fail(link, errno);
    if (::rename(fresh.constData(), local(link).constData()) != 0) {
        const int error = errno;
        ::unlink(fresh.constData());
        return fail(link, error);
    }
    return true;
}
