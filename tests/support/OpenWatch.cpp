#include "OpenWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

OpenWatch::OpenWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

OpenWatch::~OpenWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OpenWatch::watch(const QString& path)
{
    return m_fd >= 0 && ::inotify_add_watch(m_fd, path.toLocal8Bit().constData(), IN_OPEN) >= 0;
}

int OpenWatch::takeOpens()
{
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            opens += (event->mask & IN_OPEN) ? 1 : 0;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return opens;
}
