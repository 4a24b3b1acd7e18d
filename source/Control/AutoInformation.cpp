#include "AutoInformation.h"

#include "Request.h"
#include "Session.h"

#include <algorithm>
#include <limits>

namespace
{

constexpr int highestLevel = 3;

constexpr char pushedLetters[push::itemCount][3] = {"FA", "FB", "MD", "FR", "FT", "IF"};

} // namespace

quint16 push::commandOf(int index)
{
    const char* letters = pushedLetters[index];
    return quint16(uchar(letters[0]) | uchar(letters[1]) << 8);
}

void push::ai(Request& request)
{
    AutoInformation& setting = request.session().autoInformation;
    if (request.isRead())
        return request.reply(setting.level());
    if (request.length() != 1)
        return;
    const auto level = request.value();
    if (!level || *level < 0 || *level > highestLevel)
        return;
    if (setting.setLevel(*level))
        request.rememberPushedReads();
}

bool AutoInformation::setLevel(int level)
{
    const bool switchedOn = m_level == 0 && level != 0;
    m_level = level;
    if (level == 0)
        m_pending = 0;
    return switchedOn;
}

qint64 AutoInformation::nextDue() const
{
    qint64 due = std::numeric_limits<qint64>::max();
    for (int index = 0; index < push::itemCount; ++index)
        if (isWaiting(index))
            due = std::min(due, m_sentAt[index] + intervalMicroseconds);
    return m_pending ? due : -1;
}

bool AutoInformation::take(int index, const Answer& answer, qint64 now)
{
    m_pending &= quint8(~(1u << index));
    if (answer == m_last[index])
        return false;
    m_last[index] = answer;
    m_sentAt[index] = now;
    return true;
}
