#include "Request.h"

#include "Control.h"
#include "SerialPortControl.h"

Request::Request(const CommandEntry& command, QStringView parameter, RadioState& radio,
                 quorvexCommand& bus, Control& channel, SerialPortControl* port)
    : radio(radio), bus(bus), m_command(command), m_parameter(parameter), m_channel(channel),
      m_port(port)
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
    const QByteArray bytes = answer.bytes();
    m_port->write(bytes);
    if (m_channel.isLogWatched())
        emit m_channel.logMessage(QString::fromLatin1(bytes), true);
}

void Request::logEmptyAnswer() const
{
    emit m_channel.logMessage(QString(), true);
}

std::optional<int> Request::number(QStringView text)
{
    bool ok = false;
    const int result = text.toInt(&ok, 10);
    return ok ? std::optional<int>(result) : std::nullopt;
}
