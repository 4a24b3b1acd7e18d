#include "FrequencyCommands.h"

#include "Conversions.h"
#include "Modes.h"
#include "Request.h"

#include "CwKeyControlAbstract.h"
#include "quorvexCommand.h"

#include <algorithm>
#include <cstdlib>

namespace
{

constexpr int frequencyDigits = 11;
constexpr int ritLimit = 9999;

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
    if (CwKeyControlAbstract* key = request.bus.cwKeyObject())
        key->setTrx(request.index(), CwKeyControlAbstract::CatPortSource, transmit);
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

// The 38-character status answer; positions count from 1 as in the protocol's description.
void ifStatus(Request& request)
{
    if (!request.isRead())
        return;
    const RadioState& radio = request.radio;
    Answer answer = request.answerTemplate();
    answer.putNumber(13, frequencyDigits, truncated<qint64>(radio.vfoA));
    answer.putChar(19, radio.ritOffset < 0 ? '-' : '+');
    answer.putNumber(23, 4, std::min<qint64>(std::llabs(radio.ritOffset), ritLimit));
    answer.putNumber(24, 1, radio.ritEnable);
    answer.putNumber(25, 1, radio.xitEnable);
    answer.putNumber(29, 1, radio.trxMode);
    answer.putNumber(30, 1, modes::hostModeToKenwood(radio.mode));
    answer.putNumber(31, 1, radio.split);
    answer.putNumber(33, 1, radio.split > 0);
    request.reply(answer);
}

// PS reports and switches the host's running state; its parameter is not validated.
void ps(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.started);
    if (request.length() != 1)
        return;
    radio.started = request.valueOrZero() != 0;
    request.bus.quorvexStart(request.index(), radio.started);
}

// RX answers before it switches to receive.
void rx(Request& request)
{
    if (!request.isRead())
        return;
    request.replyFixed();
    switchTransmit(request, false);
}

// TX; and TX with one character (TX0 mic, TX1 data) both transmit; only the second answers.
void tx(Request& request)
{
    if (request.length() > 1)
        return;
    switchTransmit(request, true);
    if (request.length() == 1)
        request.replyFixed();
}

} // namespace frequency
