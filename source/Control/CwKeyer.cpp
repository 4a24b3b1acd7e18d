#include "CwKeyer.h"

#include "CwKeyControlAbstract.h"
#include "TimingPriority.h"
#include "quorvexCommand.h"

#include <algorithm>

namespace
{

// PARIS: a dot is 1200 / wpm milliseconds. A speed of 0 would stop the clock; it counts as 1.
std::chrono::nanoseconds dotOf(quint32 wpm)
{
    constexpr qint64 dotNanosecondsAtOneWpm = 1200LL * 1000 * 1000;
    return std::chrono::nanoseconds(dotNanosecondsAtOneWpm / std::max<quint32>(wpm, 1));
}

} // namespace

CwKeyer::CwKeyer(quorvexCommand* bus, quint32 channel)
    : m_bus(bus), m_channel(channel), m_thread(&CwKeyer::run, this)
{
}

CwKeyer::~CwKeyer()
{
    stop();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool CwKeyer::append(QStringView text)
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (!m_text.append(text))
            return false;
    }
    m_wake.notify_one();
    return true;
}

bool CwKeyer::hasRoom() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_text.free() >= textLength;
}

bool CwKeyer::stop()
{
    bool wasDown = false;
    bool wasSending = false;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        wasSending = m_busy || !m_text.isEmpty();
        wasDown = m_keyDown;
        m_keyDown = false;
        m_text.clear();
        ++m_generation;
    }
    m_wake.notify_one();
    // A key-down call still under way ends before this key-up starts.
    if (wasDown) {
        const std::lock_guard<std::mutex> keying(m_keying);
        callKey(false);
    }
    return wasSending;
}

void CwKeyer::run()
{
    raiseToTimingPriority();
    std::unique_lock<std::mutex> lock(m_lock);
    quint64 generation = m_generation;
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_text.isEmpty(); });
        if (m_quit)
            return;
        // After a stop the next text starts afresh, without a gap to keep.
        if (generation != m_generation) {
            generation = m_generation;
            m_generator.reset();
        }
        m_busy = true;
        sendCharacter(lock, generation);
        m_busy = false;
    }
}

void CwKeyer::sendCharacter(std::unique_lock<std::mutex>& lock, quint64 generation)
{
    char c = 0;
    m_text.take(c);
    if (m_generator.start(c) != morse::ElementGenerator::Start::Character)
        return;
    // The speed is taken once per character; the gap before it belongs to the character before.
    const Clock::duration dot = dotOf(m_wpm.load(std::memory_order_relaxed));
    Clock::time_point up = m_lastUp;
    bool first = true;
    morse::Element element;
    while (m_generator.next(element)) {
        Clock::time_point down = up + element.gapBefore * (first ? m_lastDot : dot);
        // Text that comes after a pause starts at once.
        if (first)
            down = std::max(down, Clock::now());
        first = false;
        if (!waitUntil(lock, down, generation) || !key(lock, true, generation))
            return;
        up = down + element.length * dot;
        if (!waitUntil(lock, up, generation) || !key(lock, false, generation))
            return;
        m_lastUp = up;
    }
    m_lastDot = dot;
}

bool CwKeyer::waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline,
                        quint64 generation)
{
    return !m_wake.wait_until(lock, deadline, [&] { return m_quit || m_generation != generation; });
}

bool CwKeyer::key(std::unique_lock<std::mutex>& lock, bool down, quint64 generation)
{
    lock.unlock();
    std::unique_lock<std::mutex> keying(m_keying);
    lock.lock();
    if (m_generation != generation)
        return false;
    m_keyDown = down;
    lock.unlock();
    callKey(down);
    keying.unlock();
    lock.lock();
    return true;
}

void CwKeyer::callKey(bool down)
{
    if (CwKeyControlAbstract* key = m_bus->cwKeyObject())
        key->setKey(m_channel, CwKeyControlAbstract::CatPortSource, down);
}
