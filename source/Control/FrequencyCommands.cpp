#include "FrequencyCommands.h"

#include "Conversions.h"
#include "CwKeyer.h"
#include "Modes.h"
#include "Request.h"
#include "RitCommands.h"

#include "quorvexCommand.h"

#include <algorithm>
#include <cstdlib>

namespace
{

constexpr int frequencyDigits = 11;

// The fields of the 38-character IF answer that carry state, by position (counting from 1, as
// the protocol's tables do); every other position keeps the template's digit.
namespace ifField
{
constexpr int frequencyEnd = 13; // 3-13: VFO A in Hz, 11 digits
constexpr int ritSign = 19;      // 19: "+" or "-" of the RIT/XIT offset
constexpr int ritOffsetEnd = 23; // 20-23: RIT/XIT offset in Hz, 4 digits
constexpr int ritOffsetDigits = 4;
constexpr int rit = 24;        // RIT on
constexpr int xit = 25;        // XIT on
constexpr int transmit = 29;   // 1 while transmitting
constexpr int mode = 30;       // the MD digit
constexpr int receiveVfo = 31; // the FR digit: the VFO the client receives on (0 A, 1 B)
constexpr int split = 33;      // 1 while split (FT) is on
} // namespace ifField

// Answers are formed from 64 bits so all 11 digits are usable; the set form keeps the
// protocol's 32-bit parse, so a value above 2147483647 Hz is not a valid integer and ignored.
void vfo(Request& request, double& frequency, quint32 channel)
{
    if (request.isRead())
        return request.reply(truncated<qint64>(frequency));
    if (request.length() != frequencyDigits)
        return;
    if (const auto hz = request.value()) {
        frequency = *hz;
        request.bus.rxVfo(request.index(), channel, frequency);
    }
}

void switchTransmit(Request& request, bool transmit)
{
    request.radio.trxMode = transmit;
    request.keyTransmitter(transmit);
}

} // namespace

namespace frequency
{

void fa(Request& request)
{
    vfo(request, request.radio.vfoA, 0);
}

void fb(Request& request)
{
    vfo(request, request.radio.vfoB, 1);
}

// FR selects the receiver on a real TS-480; here it switches the host's sub receiver, and only
// when the channel's FR option allows it. The digit is remembered either way.
void fr(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.subRx);
    if (request.length() != 1)
        return;
    if (const auto digit = request.value()) {
        radio.subRx = *digit;
        if (radio.enableFr)
            request.bus.catSubRX(request.index(), *digit != 0);
    }
}

// FT selects the transmitter on a real TS-480; here it is the host's split switch.
void ft(Request& request)
{
    if (request.isRead())
        return request.reply(request.radio.split);
    if (request.length() != 1)
        return;
    if (const auto digit = request.value()) {
        request.radio.split = *digit;
        request.bus.catSplit(request.index(), *digit != 0);
    }
}

void md(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(modes::hostModeToKenwood(radio.mode));
    if (request.length() != 1)
        return;
    if (const auto digit = request.value()) {
        radio.mode = modes::kenwoodToHostMode(*digit);
        request.bus.rxMode(request.index(), 0, radio.mode);
    }
}

// The 38-character status answer. Clients take the receive VFO from position 31, so it carries
// the FR digit; split shows only at position 33.
void ifStatus(Request& request)
{
    if (!request.isRead())
        return;
    const RadioState& radio = request.radio;
    Answer answer = request.answerTemplate();
    answer.putNumber(ifField::frequencyEnd, frequencyDigits, truncated<qint64>(radio.vfoA));
    answer.putChar(ifField::ritSign, radio.ritOffset < 0 ? '-' : '+');
    answer.putNumber(ifField::ritOffsetEnd, ifField::ritOffsetDigits,
                     std::min<qint64>(std::llabs(radio.ritOffset), rit::offsetLimit));
    answer.putNumber(ifField::rit, 1, radio.ritEnable);
    answer.putNumber(ifField::xit, 1, radio.xitEnable);
    answer.putNumber(ifField::transmit, 1, radio.trxMode);
    answer.putNumber(ifField::mode, 1, modes::hostModeToKenwood(radio.mode));
    answer.putNumber(ifField::receiveVfo, 1, radio.subRx);
    answer.putNumber(ifField::split, 1, radio.split > 0);
    request.reply(answer);
}

// PS reports and switches the host's running state: PS0; stops it, PS1; starts it.
void ps(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.started);
    if (request.length() != 1)
        return;
    if (const auto state = request.value()) {
        radio.started = *state != 0;
        request.bus.quorvexStart(request.index(), radio.started);
    }
}

// RX answers before it switches to receive; CW text being sent stops at once.
void rx(Request& request)
{
    if (!request.isRead() || !request.mayTransmit())
        return;
    request.replyFixed();
    if (request.keyer().stop())
        request.note(QStringLiteral("CW text stopped by RX"));
    switchTransmit(request, false);
}

// TX;, TX0; (microphone) and TX1; (data input) transmit; nothing else does. None answers, as
// on the radio: clients send "TX1;ID;" and take the next answer for ID's.
void tx(Request& request)
{
    if (!request.isRead() && (request.length() != 1 || !request.value()))
        return;
    if (!request.mayTransmit())
        return;
    switchTransmit(request, true);
}

} // namespace frequency
