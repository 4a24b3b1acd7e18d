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
    // The port queues a whole answer while it is open, so a refusal means the port is closed
    // or its line failed; the log says which and shows the answer as not sent.
    const bool sent = m_port->write(bytes) == bytes.size();
    if (!sent)
        ++m_channel.refusedAnswerCount;
    if (!m_channel.isLogWatched())
        return;
    QString line = QString::fromLatin1(bytes);
    if (!sent)
        line +=
            QStringLiteral(" (answer not sent: %1)")
                .arg(m_port->handle() < 0 ? QStringLiteral("port closed") : m_port->errorString());
    emit m_channel.logMessage(line, true);
}

CwKeyer& Request::keyer() const
{
    return m_channel.keyer;
}

void Request::note(const QString& text) const
{
    m_channel.logNote(text);
}

void Request::logEmptyAnswer() const
{
    emit m_channel.logMessage(QString(), true);
}

void Request::keyTransmitter(bool on) const
{
    m_channel.keyTransmitterFromCat(on);
}

std::optional<int> Request::number(QStringView text) const
{
    bool ok = false;
    const int result = text.toInt(&ok, 10);
    if (!ok || result > m_command.maximum)
        return std::nullopt;
    return result;
}
