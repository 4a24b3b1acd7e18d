#include "PollTimer.h"

#include <QMetaObject>
#include <QThread>

namespace
{
constexpr int pollIntervalMs = 1;
}

void PollTimer::request(bool run)
{
    m_wanted = run;
    if (m_owner->thread() == QThread::currentThread())
        sync();
    else
        QMetaObject::invokeMethod(
            m_owner, [this] { sync(); }, Qt::QueuedConnection);
}

void PollTimer::sync()
{
    const bool wanted = m_wanted;
    if (wanted && m_id == 0) {
        m_id = m_owner->startTimer(pollIntervalMs, Qt::PreciseTimer);
    } else if (!wanted && m_id != 0) {
        m_owner->killTimer(m_id);
        m_id = 0;
    }
}
