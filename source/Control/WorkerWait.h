#pragma once
// How a channel's worker waits: for the descriptors of its sessions and listeners (bytes to
// read, room to write, a connection to take), for the CAT port's client watch (a client came or
// left) and for a wake-up that any other thread may send, with or without a time limit. The
// worker sleeps in the kernel until one of them happens, so an idle channel costs nothing,
// however many quiet clients it has. Events are poll()'s (POLLIN, POLLOUT; POLLHUP, POLLERR
// and POLLNVAL come unasked).
//
// Threads: watch(), wait() and ready() run in the worker thread only; wake() may be called from
// any thread, also while the worker is not waiting (the next wait then returns at once). Holds
// no lock.

#include <QtGlobal>

#include <vector>

struct pollfd;

class WorkerWait
{
public:
    WorkerWait();
    ~WorkerWait();
    WorkerWait(const WorkerWait&) = delete;
    WorkerWait& operator=(const WorkerWait&) = delete;

    // Starts the list of descriptors for the next wait (the storage is kept).
    void clear();
    // Adds `fd` for `events` (0 or a negative fd: not looked at) and returns its slot for
    // ready().
    int watch(int fd, short events);
    // Waits for the watched descriptors or a wake-up, at most `limitMicroseconds` (negative:
    // no limit). True when a wake-up came (it is consumed); false as well when the time ran out.
    bool wait(qint64 limitMicroseconds);
    // What the last wait found on the descriptor of `slot`.
    short ready(int slot) const;
    void wake();
    // The poll() events of `fd` now, without waiting: a failed line (POLLHUP, POLLERR) shows
    // whatever `events` asks for.
    static short look(int fd, short events);

private:
    int m_fd = -1; // an eventfd
    std::vector<pollfd> m_fds;
};
