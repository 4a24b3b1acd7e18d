#pragma once
// One Kenwood command under interpretation: its table entry, its parameter text, the
// channel's cache and bus, and the session that sent it, to which the answer goes. It lives on
// the worker's stack for one command, while the channel mutex is held; handlers use it for
// everything they touch. A read run to form an auto-information push captures its answer
// instead of sending it.

#include "Answer.h"
#include "CommandTable.h"
#include "RadioState.h"

#include <QStringView>

#include <optional>

class Control;
class CwKeyer;
class Session;
class quorvexCommand;

class Request
{
public:
    Request(const CommandEntry& command, QStringView parameter, RadioState& radio,
            quorvexCommand& bus, Control& channel, Session& session, Answer* capture = nullptr);

    RadioState& radio;
    quorvexCommand& bus;

    // The channel's transceiver index, the first argument of every host command.
    quint32 index() const { return radio.transceiver; }

    // Whether the client that sent the command may key the transmitter (TX, RX and KY ask):
    // the CAT port is the user's own line and always may, a TCP client when the transmit list
    // names it. A refusal is logged with the session's name.
    bool mayTransmit() const;
    // The channel's CW keyer.
    CwKeyer& keyer() const;
    // A line about what the command did, for the log view (Control::notice).
    void note(const QString& text) const;

    // The parameter's number of characters decides between read and set.
    qsizetype length() const { return m_parameter.size(); }
    bool isRead() const { return m_parameter.isEmpty(); }

    // The whole parameter, or its last `count` characters, as a base-10 integer: nothing when
    // it is not a 32-bit number or lies above the largest value the command's field takes.
    // Every set form acts only on such a value.
    std::optional<int> value() const { return number(m_parameter); }
    std::optional<int> lastDigits(qsizetype count) const
    {
        return number(m_parameter.right(count));
    }
    QStringView parameter() const { return m_parameter; }

    // The command's answer template with `value` in its number field.
    void reply(qint64 value) const;
    // The command's answer as it stands in the table.
    void replyFixed() const;
    // An answer formed by the handler from answerTemplate().
    void reply(const Answer& answer) const;
    Answer answerTemplate() const { return Answer(m_command.answer); }
    // A log line with empty text and no bytes on the port (RC's acknowledgement).
    void logEmptyAnswer() const;
    // Transmit on or off through the host's key object, remembered as keyed by the session
    // that asked, so that it is released when that session's keyer goes away.
    void keyTransmitter(bool on) const;

    Session& session() const { return m_session; }
    // The session's auto-information comes on: what it would be pushed now is what it knows.
    void rememberPushedReads() const;

private:
    std::optional<int> number(QStringView text) const;

    const CommandEntry& m_command;
    QStringView m_parameter;
    Control& m_channel;
    Session& m_session;
    Answer* m_capture;
};
