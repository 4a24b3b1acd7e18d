#include "WorkerWait.h"

#include <QString>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

WorkerWait::WorkerWait() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_fd < 0)
        qFatal("WorkerWait: no eventfd (%s)", qPrintable(qt_error_string(errno)));
    clear();
}

WorkerWait::~WorkerWait()
{
    ::close(m_fd);
}

void WorkerWait::clear()
{
    m_fds.resize(1);
    m_fds[0] = {m_fd, POLLIN, 0};
}

int WorkerWait::watch(int fd, short events)
{
    // poll() ignores an entry with a negative descriptor.
    m_fds.push_back({events != 0 ? fd : -1, events, 0});
    return int(m_fds.size() - 1);
}

bool WorkerWait::wait(qint64 limitMicroseconds)
{
    timespec limit{};
    limit.tv_sec = time_t(limitMicroseconds / 1000000);
    limit.tv_nsec = long(limitMicroseconds % 1000000) * 1000;
    if (::ppoll(m_fds.data(), m_fds.size(), limitMicroseconds < 0 ? nullptr : &limit, nullptr) <=
        0) {
        for (pollfd& entry : m_fds)
            entry.revents = 0;
        return false;
    }
    if (!(m_fds[0].revents & POLLIN))
        return false;
    std::uint64_t count = 0;
    return ::read(m_fd, &count, sizeof count) == ssize_t(sizeof count);
}

short WorkerWait::ready(int slot) const
{
    return m_fds[size_t(slot)].revents;
}

short WorkerWait::look(int fd, short events)
{
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, 0) > 0 ? entry.revents : short(0);
}

void WorkerWait::wake()
{
    const std::uint64_t one = 1;
    // The counter cannot overflow in practice; a full one would still wake the worker.
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}
