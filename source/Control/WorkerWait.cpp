#include "WorkerWait.h"

#include <QString>

#include <array>
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
}

WorkerWait::~WorkerWait()
{
    ::close(m_fd);
}

WorkerWait::Result WorkerWait::wait(int portFd, short events, int watchFd, qint64 limitMicroseconds)
{
    // poll() ignores an entry with a negative descriptor.
    std::array<pollfd, 3> fds{
        {{m_fd, POLLIN, 0}, {events != 0 ? portFd : -1, events, 0}, {watchFd, POLLIN, 0}}};
    timespec limit{};
    limit.tv_sec = time_t(limitMicroseconds / 1000000);
    limit.tv_nsec = long(limitMicroseconds % 1000000) * 1000;
    Result result;
    if (::ppoll(fds.data(), fds.size(), limitMicroseconds < 0 ? nullptr : &limit, nullptr) <= 0)
        return result;
    result.portEvents = fds[1].revents;
    result.clientWatch = fds[2].revents != 0;
    if (fds[0].revents & POLLIN) {
        std::uint64_t count = 0;
        result.woken = ::read(m_fd, &count, sizeof count) == ssize_t(sizeof count);
    }
    return result;
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
