#pragma once
// Auto-information of one session (AI1 to AI3; AI0 is off): while it is on, the session is sent,
// unasked, the answer of each read whose value changed, whoever changed it: FA, FB, MD, FR,
// FT, and IF for the transmit state, RIT, XIT and their offset. The channel raises the items
// a change touches; this object keeps which are waiting, the answer each last carried and when
// each may go out again (at most once per 20 ms), so a push always carries the latest value and
// a value that came back to what was last sent is not sent again.
//
// Threads: the worker, with the channel mutex held (the AI command sets the level from the
// interpreter). Times are microseconds of a monotonic clock.

#include "Answer.h"

#include <QtGlobal>

#include <array>

class Request;

namespace push
{

// The reads that are pushed, as bits of a changed-items mask.
enum Item : quint8 {
    FA = 1 << 0,
    FB = 1 << 1,
    MD = 1 << 2,
    FR = 1 << 3,
    FT = 1 << 4,
    IF = 1 << 5,
};
constexpr int itemCount = 6;
// The command code of item number `index` (bit 1 << index), whose read forms the push.
quint16 commandOf(int index);

// AI: reads the session's own setting; AI0 to AI3 set it, without an answer.
void ai(Request& request);

} // namespace push

class AutoInformation
{
public:
    static constexpr qint64 intervalMicroseconds = 20000;

    int level() const { return m_level; }
    bool isOn() const { return m_level != 0; }
    // Returns whether this switched it on from off: the caller then remembers the present
    // answers, so that only what changes afterwards is pushed. Switching off forgets the
    // waiting items.
    bool setLevel(int level);

    void raise(quint8 items)
    {
        if (isOn())
            m_pending |= items;
    }
    bool isWaiting(int index) const { return m_pending & (1u << index); }
    bool isDue(int index, qint64 now) const
    {
        return now >= m_sentAt[index] + intervalMicroseconds;
    }
    // The earliest time a waiting item may go out, or -1 when none waits.
    qint64 nextDue() const;

    // The present answer of a waiting, due item: true when it differs from the last one and is
    // to be sent now. Either way the item no longer waits.
    bool take(int index, const Answer& answer, qint64 now);
    // The present answer, known to the client without a push.
    void remember(int index, const Answer& answer) { m_last[index] = answer; }

private:
    int m_level = 0;
    quint8 m_pending = 0;
    std::array<Answer, push::itemCount> m_last{};
    std::array<qint64, push::itemCount> m_sentAt{};
};
