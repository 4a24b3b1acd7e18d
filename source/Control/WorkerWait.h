#pragma once
// How a channel's worker waits: for its port's descriptor (bytes to read, room to write) and
// for a wake-up that any other thread may send, with or without a time limit. The worker
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

    // What ended a wait: the port's poll() events (POLLIN, POLLOUT, POLLHUP, ...) and whether a
    // wake-up came; both empty when the time limit ran out.
    struct Result {
        short portEvents = 0;
        bool woken = false;
    };

    // Waits for `events` on `portFd` (not at all on the port when `events` is 0 or `portFd` is
    // negative) or a wake-up, at most `limitMicroseconds` (negative: no limit). A wake-up is
    // consumed by the wait that sees it.
    Result wait(int portFd, short events, qint64 limitMicroseconds);
    void wake();

private:
    int m_fd = -1; // an eventfd
};
