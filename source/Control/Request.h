#pragma once
// One Kenwood command under interpretation: its table entry, its parameter text, the
// channel's cache and bus, and the way back to the client. It lives on the worker's stack for
// one command, while the channel mutex is held; handlers use it for everything they touch.

#include "Answer.h"
#include "CommandTable.h"
#include "RadioState.h"

#include <QStringView>

#include <optional>

class Control;
class CwKeyer;
class SerialPortControl;
class quorvexCommand;

class Request
{
public:
    Request(const CommandEntry& command, QStringView parameter, RadioState& radio,
            quorvexCommand& bus, Control& channel, SerialPortControl* port);

    RadioState& radio;
    quorvexCommand& bus;

    // The channel's transceiver index, the first argument of every host command.
    quint32 index() const { return radio.transceiver; }

    // Whether the client that sent the command may key the transmitter (TX, RX and KY ask):
    // the CAT port is the user's own line and always may.
    bool mayTransmit() const { return true; }
    // The channel's CW keyer.
    CwKeyer& keyer() const;
    // A line about what the command did, for the log view (Control::logNote).
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
    // Transmit on or off through the host's key object, remembered as keyed by the CAT port
    // so that it is released when its keyer goes away.
    void keyTransmitter(bool on) const;

private:
    std::optional<int> number(QStringView text) const;

    const CommandEntry& m_command;
    QStringView m_parameter;
    Control& m_channel;
    SerialPortControl* m_port;
};
