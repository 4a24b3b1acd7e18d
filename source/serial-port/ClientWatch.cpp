#include "ClientWatch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace
{

// The number a /proc entry's name stands for, or -1 when it is not a number.
long numberIn(const char* name)
{
    char* end = nullptr;
    const long number = std::strtol(name, &end, 10);
    return end != name && *end == '\0' ? number : -1;
}

} // namespace

ClientWatch::~ClientWatch()
{
    stop();
}

bool ClientWatch::start(const QString& devicePath, int ownFd)
{
    stop();
    m_path = devicePath.toLocal8Bit();
    m_ownFd = ownFd;
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    if (::inotify_add_watch(m_fd, m_path.constData(), IN_OPEN | IN_CLOSE | IN_MODIFY) < 0) {
        stop();
        return false;
    }
    return true;
}

void ClientWatch::stop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_clients = 0;
}

ClientChange ClientWatch::take()
{
    ClientChange change;
    if (m_fd < 0)
        return change;
    const bool before = m_clients > 0;
    Tally tally;
    readEvents(tally);
    if (tally.closed) {
        m_clients = countHolders();
        if (m_clients == 0 && (before || tally.opened))
            tally.emptied = true;
        // The count takes a while: a client that came meanwhile must not miss the leave before
        // it. It may be counted twice until the next close counts again.
        readEvents(tally);
    }
    change.left = tally.reopened || (tally.emptied && m_clients == 0);
    change.arrived = m_clients > 0 && (!before || tally.reopened);
    change.nextWrote = tally.reopened && tally.wrote;
    return change;
}

void ClientWatch::readEvents(Tally& tally)
{
    alignas(inotify_event) char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_OPEN) {
                tally.opened = true;
                tally.reopened = tally.reopened || tally.emptied;
                tally.wrote = false;
                ++m_clients;
            }
            if (event->mask & IN_MODIFY)
                tally.wrote = true;
            // Lost reports (a full queue) are settled by the count, as a close is.
            if (event->mask & (IN_CLOSE | IN_Q_OVERFLOW)) {
                tally.closed = true;
                if (m_clients > 0 && --m_clients == 0)
                    tally.emptied = true;
            }
        }
    }
}

int ClientWatch::countHolders() const
{
    DIR* processes = ::opendir("/proc");
    if (!processes)
        return m_clients;
    const long self = ::getpid();
    int holders = 0;
    char target[PATH_MAX];
    while (const dirent* process = ::readdir(processes)) {
        const long pid = numberIn(process->d_name);
        if (pid < 0)
            continue;
        char folder[64];
        std::snprintf(folder, sizeof folder, "/proc/%ld/fd", pid);
        DIR* descriptors = ::opendir(folder);
        if (!descriptors)
            continue;
        while (const dirent* entry = ::readdir(descriptors)) {
            const long fd = numberIn(entry->d_name);
            if (fd < 0 || (pid == self && fd == m_ownFd))
                continue;
            const ssize_t size =
                ::readlinkat(::dirfd(descriptors), entry->d_name, target, sizeof target);
            if (size == m_path.size() && std::memcmp(target, m_path.constData(), size_t(size)) == 0)
                ++holders;
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return holders;
}
