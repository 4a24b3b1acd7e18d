#pragma once
// How a channel's worker waits: for its port's descriptor (bytes to read, room to write), for
// the port's client watch (a client came or left) and for a wake-up that any other thread may
// send, with or without a time limit. The worker
// sleeps in the kernel until one of them happens, so an idle channel costs nothing.
//
// Threads: wait() runs in the worker thread only; wake() may be called from any thread, also
// while the worker is not waiting (the next wait then returns at once). Holds no lock.

#include <QtGlobal>

class WorkerWait
{
public:
    WorkerWait();
    ~WorkerWait();
    WorkerWait(const WorkerWait&) = delete;
    WorkerWait& operator=(const WorkerWait&) = delete;

    // What ended a wait: the port's poll() events (POLLIN, POLLOUT, POLLHUP, ...), whether the
    // client watch is readable and whether a wake-up came; all empty when the time limit ran out.
    struct Result {
        short portEvents = 0;
        bool clientWatch = false;
        bool woken = false;
    };

    // Waits for `events` on `portFd` (not at all on the port when `events` is 0 or `portFd` is
    // negative), for `watchFd` to be readable (unless it is negative) or for a wake-up, at most
    // `limitMicroseconds` (negative: no limit). A wake-up is consumed by the wait that sees it.
    Result wait(int portFd, short events, int watchFd, qint64 limitMicroseconds);
    void wake();
    // The poll() events of `fd` now, without waiting: a failed line (POLLHUP, POLLERR) shows
    // whatever `events` asks for.
    static short look(int fd, short events);

private:
    int m_fd = -1; // an eventfd
};
