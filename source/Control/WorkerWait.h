#pragma once
// How a channel's worker waits: for the descriptors of its sessions and listeners (bytes to
// read, room to write, a connection to take) and for a wake-up that any other thread may send,
// with or without a time limit. The worker sleeps in the kernel until one of them happens, so
// an idle channel costs nothing, however many quiet clients it has.
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
    // What to wait for on a descriptor, and what a wait found (any mix).
    enum Events : short {
        Readable = 0x1,
        Writable = 0x2,
        // The line hung up or failed; reported whether asked for or not.
        Failed = 0x4,
    };

    WorkerWait();
    ~WorkerWait();
    WorkerWait(const WorkerWait&) = delete;
    WorkerWait& operator=(const WorkerWait&) = delete;

    // Starts the list of descriptors for the next wait (the storage is kept).
    void clear();
    // Adds `fd` for `events` (Readable, Writable; 0 or a negative fd: not looked at) and
    // returns its slot for ready().
    int watch(int fd, short events);
    // Waits for the watched descriptors or a wake-up, at most `limitMicroseconds` (negative:
    // no limit). True when a wake-up came (it is consumed); false as well when the time ran out.
    bool wait(qint64 limitMicroseconds);
    // What the last wait found on the descriptor of `slot`.
    short ready(int slot) const;
    void wake();

private:
    int m_fd = -1; // an eventfd
    std::vector<pollfd> m_fds;
};
