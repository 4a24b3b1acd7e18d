#include "Request.h"

#include "Control.h"
#include "Session.h"

Request::Request(const CommandEntry& command, QStringView parameter, RadioState& radio,
                 quorvexCommand& bus, Control& channel, Session& session, Answer* capture)
    : radio(radio), bus(bus), m_command(command), m_parameter(parameter), m_channel(channel),
      m_session(session), m_capture(capture)
{
}

void Request::reply(qint64 value) const
{
    Answer answer = answerTemplate();
    answer.putNumber(m_command.width, value);
    reply(answer);
}

void Request::replyFixed() const
{
    reply(answerTemplate());
}

void Request::reply(const Answer& answer) const
{
    if (m_capture)
        *m_capture = answer;
    else
        m_channel.sendAnswer(m_session, answer.bytes());
}

CwKeyer& Request::keyer() const
{
    return m_channel.keyer;
}

void Request::note(const QString& text) const
{
    m_channel.notice(text);
}

void Request::logEmptyAnswer() const
{
    if (!m_capture)
        m_channel.logTraffic(m_session, QString(), true);
}

bool Request::mayTransmit() const
{
    if (m_session.mayTransmit())
        return true;
    m_channel.logSessionEvent(
        m_session.name() + QLatin1Char(' ') +
        QLatin1String(m_command.letters.data(), qsizetype(m_command.letters.size())) +
        QStringLiteral(" refused: not in the transmit list"));
    return false;
}

void Request::rememberPushedReads() const
{
    m_channel.rememberPushedReads(m_session);
}

void Request::keyTransmitter(bool on) const
{
    m_channel.keyTransmitterFrom(m_session, on);
}

std::optional<int> Request::number(QStringView text) const
{
    bool ok = false;
    const int result = text.toInt(&ok, 10);
    if (!ok || result > m_command.maximum)
        return std::nullopt;
    return result;
}
