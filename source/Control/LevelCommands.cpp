#include "LevelCommands.h"

#include "Conversions.h"
#include "CwKeyer.h"
#include "Request.h"

#include "quorvexCommand.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace
{

// Levels with a Kenwood range of three digits.
constexpr int levelDigits = 3;
// The transmitter that ML, PC and PR address, whatever the channel.
constexpr quint32 firstTransmitter = 0;
// RM's reply: each meter's four digits; SWR's end at position 7 ("RM1nnnn;").
constexpr int meterDigits = 4;
constexpr int swrFieldEnd = 7;
// AGC modes as the host numbers them.
constexpr quint32 agcOff = 0;
constexpr quint32 agcFast = 4;
constexpr quint32 agcDefault = 1;

// The value of a validated set form of `digits` characters; nothing for another length or an
// invalid integer.
std::optional<int> setValue(const Request& request, int digits)
{
    if (request.length() != digits)
        return std::nullopt;
    return request.value();
}

// The same for the fields the cache keeps unsigned: a negative value is refused like an
// invalid integer instead of wrapping around.
std::optional<quint32> unsignedSetValue(const Request& request, int digits)
{
    const auto value = setValue(request, digits);
    if (!value || *value < 0)
        return std::nullopt;
    return static_cast<quint32>(*value);
}

// The on/off switches answer 0 or 1 and take a validated digit, anything but 0 switching on.
std::optional<bool> switchCommand(Request& request, bool state)
{
    if (request.isRead()) {
        request.reply(state);
        return std::nullopt;
    }
    if (const auto value = setValue(request, 1))
        return *value != 0;
    return std::nullopt;
}

qint64 scaled(double value)
{
    return truncated<qint64>(value);
}

// A level whose Kenwood number 0 to kenwoodMax spreads linearly over the host's range from
// hostLow to hostHigh (dB).
struct LevelScale {
    double kenwoodMax;
    double hostLow;
    double hostHigh;

    double toKenwood(double host) const
    {
        return (host - hostLow) / (hostHigh - hostLow) * kenwoodMax;
    }
    double toHost(double kenwood) const
    {
        return kenwood / kenwoodMax * (hostHigh - hostLow) + hostLow;
    }
};

// One row per level command: {Kenwood maximum, host low, host high}.
constexpr LevelScale afGainScale{255, -60, 0};   // AG: AF volume
constexpr LevelScale rfGainScale{100, -20, 120}; // RG: AGC gain
constexpr LevelScale micGainScale{100, 0, 70};   // MG: microphone gain
constexpr LevelScale squelchScale{255, -140, 0}; // SQ: squelch level

} // namespace

namespace levels
{

// AF gain: 0 to 255 over -60 to 0 dB. The read form is AG0; (one character), and the set form
// AG0nnn; whose last three characters are the value.
void ag(Request& request)
{
    RadioState& radio = request.radio;
    if (request.length() == 1) {
        radio.volume = std::clamp(radio.volume, static_cast<int>(afGainScale.hostLow),
                                  static_cast<int>(afGainScale.hostHigh));
        return request.reply(scaled(afGainScale.toKenwood(radio.volume)));
    }
    if (request.length() != 4)
        return;
    if (const auto value = request.lastDigits(levelDigits)) {
        radio.volume = truncated<int>(afGainScale.toHost(*value));
        request.bus.rxVolume(request.index(), 0, radio.volume);
    }
}

// RF gain, mapped to the AGC gain: 0 to 100 over -20 to 120 dB.
void rg(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(scaled(rfGainScale.toKenwood(radio.agcGain)));
    if (const auto value = setValue(request, levelDigits)) {
        radio.agcGain = truncated<int>(rfGainScale.toHost(*value));
        request.bus.rxAgcGain(request.index(), 0, radio.agcGain);
    }
}

// Microphone gain: 0 to 100 over 0 to 70 dB.
void mg(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(scaled(micGainScale.toKenwood(radio.micGain)));
    if (const auto value = setValue(request, levelDigits)) {
        radio.micGain = truncated<int>(micGainScale.toHost(*value));
        request.bus.txMicValue(request.index(), radio.micGain);
    }
}

// Squelch: 0 to 255 over -140 to 0 dB; read as SQ0; and set as SQ0nnn; like AG. The read
// shows the magnitude, so a level below the range does not turn into a negative number.
void sq(Request& request)
{
    RadioState& radio = request.radio;
    if (request.length() == 1)
        return request.reply(scaled(std::fabs(squelchScale.toKenwood(radio.sqlLevel))));
    if (request.length() != 4)
        return;
    if (const auto value = request.lastDigits(levelDigits)) {
        radio.sqlLevel = truncated<int>(squelchScale.toHost(*value));
        request.bus.rxSqlValue(request.index(), 0, radio.sqlLevel);
    }
}

// Monitor level: the read scales the host's value, the set passes the number through
// unscaled, so a set followed by a read does not give back the same number.
void ml(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(scaled((radio.monitor + 10.0) / 80 * 100));
    if (const auto value = setValue(request, levelDigits)) {
        radio.monitor = *value;
        request.bus.txMon(firstTransmitter, radio.monitor);
    }
}

// Noise blanker level: the host's level is a quarter of the Kenwood number.
void nl(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(scaled(std::min(radio.nb1Level * 4, 10.0)));
    if (const auto value = setValue(request, levelDigits)) {
        radio.nb1Level = *value * 0.25;
        request.bus.rxNB1Level(request.index(), truncated<int>(radio.nb1Level));
    }
}

// Output power: 0 to 20 over 0 to 100 percent drive.
void pc(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.drive / 5);
    if (const auto value = unsignedSetValue(request, levelDigits)) {
        radio.drive = std::min<quint32>(*value * 5, 100);
        request.bus.txDrive(firstTransmitter, radio.drive);
    }
}

void ks(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.cwWpm);
    if (const auto value = unsignedSetValue(request, levelDigits)) {
        radio.cwWpm = *value;
        request.keyer().setSpeed(radio.cwWpm);
        request.bus.cwSpeed(radio.cwWpm);
    }
}

void sd(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.cwBreakInDelay);
    if (const auto value = unsignedSetValue(request, 4)) {
        radio.cwBreakInDelay = *value;
        request.bus.cwBreakInValue(static_cast<int>(radio.cwBreakInDelay));
    }
}

// AGC: Kenwood 0 off, 1 slow, 2 fast. The set form's last character is the code.
void gt(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead()) {
        const quint32 mode = radio.agcMode;
        return request.reply(mode == agcOff ? 0 : mode <= 3 ? 2 : 1);
    }
    if (request.length() != levelDigits)
        return;
    if (const auto code = request.lastDigits(1)) {
        radio.agcMode = *code == 0 ? agcOff : *code == 1 ? agcFast : agcDefault;
        request.bus.rxAgcMode(request.index(), 0, radio.agcMode);
    }
}

void nb(Request& request)
{
    if (const auto state = switchCommand(request, request.radio.nb1Enable)) {
        request.radio.nb1Enable = *state;
        request.bus.rxNB1(request.index(), *state);
    }
}

void nr(Request& request)
{
    if (const auto state = switchCommand(request, request.radio.nrEnable)) {
        request.radio.nrEnable = *state;
        request.bus.rxNR(request.index(), *state);
    }
}

// Speech processor, mapped to the host's compressor.
void pr(Request& request)
{
    if (const auto state = switchCommand(request, request.radio.compressor)) {
        request.radio.compressor = *state;
        request.bus.txComp(firstTransmitter, *state);
    }
}

// Attenuator: answers RA0100; when on; only a set of 1 switches it on.
void ra(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.attenuator ? 100 : 0);
    if (const auto value = setValue(request, 2)) {
        radio.attenuator = *value == 1;
        request.bus.setCatAttPreAmp(request.index(), radio.attenuator, radio.preamp);
    }
}

// Preamplifier: answers PA10; when on; only a set of 1 switches it on.
void pa(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.preamp ? 10 : 0);
    if (const auto value = setValue(request, 1)) {
        radio.preamp = *value == 1;
        request.bus.setCatAttPreAmp(request.index(), radio.attenuator, radio.preamp);
    }
}

// Antenna 1 or 2. Only channel 0 switches antennas, and only when its panel allows it; a
// digit other than 1 or 2 keeps the antenna but still sends it.
void an(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.antenna);
    if (!radio.antSwEnable || request.index() != 0)
        return;
    const auto digit = setValue(request, 1);
    if (!digit)
        return;
    if (*digit == 1 || *digit == 2)
        radio.antenna = *digit;
    const auto port = static_cast<quint32>(radio.antenna - 1);
    request.bus.rxAntSwitch(port);
    request.bus.txAntSwitch(port);
}

// S-meter, read only, as SM0; (one character). While transmitting the radio shows the forward
// power on the same bar.
void sm(Request& request)
{
    const RadioState& radio = request.radio;
    if (request.length() == 1)
        request.reply(radio.trxMode ? radio.powerMeter : radio.smeter);
}

// RM; reads the three transmit meters in one reply, RM1 SWR, RM2 compression, RM3 ALC, each
// on its 0-20 bar. The host reports neither compression nor ALC, and while receiving every
// meter rests at 0. An RM with a parameter (a meter selection) is ignored.
void rm(Request& request)
{
    if (!request.isRead())
        return;
    const RadioState& radio = request.radio;
    Answer answer = request.answerTemplate();
    answer.putNumber(swrFieldEnd, meterDigits, radio.trxMode ? radio.swrMeter : 0);
    request.reply(answer);
}

} // namespace levels
