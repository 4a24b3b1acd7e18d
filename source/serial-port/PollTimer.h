#pragma once
// A backend's 1 ms line-poll timer. Qt timers belong to their object's thread, and the ports
// may be opened or closed from another one (a channel's worker), so the timer is brought in line
// with the wanted state in the owner's thread: at once when called there, else queued to its
// event loop. Whatever the order the requests arrive in, the last one wins.

#include <QObject>

#include <atomic>

class PollTimer
{
public:
    explicit PollTimer(QObject* owner) : m_owner(owner) {}

    void start() { request(true); }
    void stop() { request(false); }
    bool matches(int timerId) const { return m_id != 0 && timerId == m_id; }
    // Whether the timer runs; for the owner's thread.
    bool isRunning() const { return m_id != 0; }

private:
    void request(bool run);
    void sync();

    QObject* m_owner;
    std::atomic<bool> m_wanted{false};
    int m_id = 0; // touched only in the owner's thread
};
