#pragma once
// A channel's CW keyer: keys the text that KY hands it as Morse through the host's key object
// (setKey(channel index, 2, down), the host's keyer does break-in and sidetone), at the speed in
// force when each character starts. Every edge is due at an absolute time on the monotonic
// clock, worked out from the edge before it and not from when the thread woke up, so late
// wake-ups never add up. Control owns one, from construction to destruction.
//
// Threads and locks:
// - The keyer's own thread does the timing, at real-time priority where the system grants it
//   (TimingPriority.h). It waits for its deadlines, and without any time limit while there is
//   nothing to send, on a condition variable against steady_clock (an absolute CLOCK_MONOTONIC
//   wait); the wait releases `m_lock`, so it holds no lock while waiting. It allocates nothing
//   per character or element.
// - append, hasRoom, stop and setSpeed run in any thread: the worker with the channel mutex held
//   (KY, KS, RX), the GUI thread from the cache's setters. They hold `m_lock` for a few
//   instructions and never call out while holding it.
// - Key calls are serialised by `m_keying`: whoever calls setKey holds it during the call (the
//   keyer thread for its edges, stop() for the key-up of an element it cuts short), so the host
//   always gets a key-down before the key-up that ends it. Lock order: `m_keying` before
//   `m_lock`; stop() takes `m_lock` and releases it before it takes `m_keying`. Nothing here
//   takes the channel mutex, so it may be held around any call.

#include "CwText.h"
#include "MorseCode.h"

#include <QStringView>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class quorvexCommand;

class CwKeyer
{
public:
    // The longest text one KY command carries; KY reads 0 while another one fits.
    static constexpr int textLength = 24;
    static constexpr int capacity = 4 * textLength;

    // Keys channel `channel` through the key object the bus holds at each edge (none: the text
    // is timed, and nothing is keyed).
    CwKeyer(quorvexCommand* bus, quint32 channel);
    ~CwKeyer();
    CwKeyer(const CwKeyer&) = delete;
    CwKeyer& operator=(const CwKeyer&) = delete;

    // Queues `text` whole (characters without a pattern left out); false, queuing nothing, when
    // it does not fit.
    bool append(QStringView text);
    // Whether another text of textLength characters fits.
    bool hasRoom() const;
    // Empties the queue and, when an element is being keyed, keys up before returning. True
    // when anything was being sent or waited to be.
    bool stop();
    // Words per minute for the characters that start from now on.
    void setSpeed(quint32 wpm) { m_wpm.store(wpm, std::memory_order_relaxed); }

private:
    using Clock = std::chrono::steady_clock;

    void run();
    // Waits until `deadline`; false, at once, when stop() or the end cuts the wait short.
    bool waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline,
                   quint64 generation);
    // Keys `down` unless stop() came after `generation`; false then. Called with `lock` held,
    // returns with it held, and holds no lock but `m_keying` during the key call.
    bool key(std::unique_lock<std::mutex>& lock, bool down, quint64 generation);
    void callKey(bool down);
    // Keys the next character of the text, unless stop() or the end cuts it short.
    void sendCharacter(std::unique_lock<std::mutex>& lock, quint64 generation);

    quorvexCommand* m_bus; // not owned
    const quint32 m_channel;
    std::atomic<quint32> m_wpm{20};

    // Guard the text, the flags and the generation; the keyer thread waits on `m_wake`.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::mutex m_keying;
    CwText<capacity> m_text;
    bool m_keyDown = false;
    bool m_busy = false; // the keyer thread is in a character
    bool m_quit = false;
    // Raised by every stop(): a wait or a key call of an earlier generation is void.
    quint64 m_generation = 0;

    // The keyer thread's own: the element generator and the schedule it follows.
    morse::ElementGenerator m_generator;
    Clock::time_point m_lastUp{}; // when the last element ended, as scheduled
    Clock::duration m_lastDot{};  // the dot of the character that ended then
    std::thread m_thread;         // last: starts once everything above exists
};
