#include "LogFeed.h"

#include <QMutexLocker>

#include <algorithm>
#include <utility>

bool LogFeed::push(Kind kind, QString text)
{
    QMutexLocker lock(&m_mutex);
    if (m_lines.size() >= capacity) {
        // The oldest traffic line goes; notices are few and say what happened to the channel.
        auto oldest = std::find_if(m_lines.begin(), m_lines.end(),
                                   [](const Line& line) { return line.kind != Kind::Notice; });
        m_lines.erase(oldest == m_lines.end() ? m_lines.begin() : oldest);
        ++m_dropped;
    }
    m_lines.append({kind, std::move(text)});
    return !std::exchange(m_asked, true);
}

LogFeed::Batch LogFeed::take()
{
    QMutexLocker lock(&m_mutex);
    Batch batch{std::exchange(m_lines, {}), std::exchange(m_dropped, 0)};
    m_lines.reserve(capacity);
    m_asked = false;
    return batch;
}
