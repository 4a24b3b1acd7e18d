#include "RitCommands.h"

#include "Request.h"

#include "quorvexCommand.h"

#include <algorithm>
#include <optional>

namespace
{

constexpr int offsetDigits = 5;
// CN sets the TS-480's tone numbers 00 to 41 (the command table's limit). The cache takes the
// host's tone indices 0 to 42 (Control::setCtcssTone), one more than CN can set: a host on its
// highest tone reads back as CN42;, but a client cannot choose that tone.

// RT and XT take one digit; anything but 0 switches on.
std::optional<bool> switchValue(const Request& request)
{
    if (const auto value = request.value())
        return *value != 0;
    return std::nullopt;
}

void sendOffset(Request& request)
{
    request.bus.rxRit(request.index(), 0, request.radio.ritOffset);
}

// RU and RD set the offset itself rather than stepping it.
void setOffset(Request& request, int sign)
{
    if (request.isRead())
        return request.replyFixed();
    if (request.length() != offsetDigits)
        return;
    if (const auto offset = request.value()) {
        request.radio.ritOffset = sign * std::min(*offset, rit::offsetLimit);
        sendOffset(request);
    }
}

} // namespace

namespace rit
{

void rt(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.ritEnable);
    if (request.length() != 1)
        return;
    if (const auto state = switchValue(request)) {
        radio.ritEnable = *state;
        request.bus.rxRitEnable(request.index(), 0, radio.ritEnable);
    }
}

void xt(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.xitEnable);
    if (request.length() != 1)
        return;
    if (const auto state = switchValue(request)) {
        radio.xitEnable = *state;
        request.bus.rxXitEnable(request.index(), 0, radio.xitEnable);
    }
}

// RC clears the offset; it writes nothing to the port but leaves an empty line in the log.
void rc(Request& request)
{
    if (!request.isRead())
        return;
    request.radio.ritOffset = 0;
    sendOffset(request);
    request.logEmptyAnswer();
}

void ru(Request& request)
{
    setOffset(request, 1);
}

void rd(Request& request)
{
    setOffset(request, -1);
}

void ct(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.ctcssEnable);
    if (request.length() != 1)
        return;
    const auto value = request.value();
    if (value != 0 && value != 1)
        return;
    radio.ctcssEnable = *value == 1;
    request.bus.ctcssEnable(request.index(), radio.ctcssEnable);
}

void cn(Request& request)
{
    RadioState& radio = request.radio;
    if (request.isRead())
        return request.reply(radio.ctcssTone);
    if (request.length() != 2)
        return;
    const auto tone = request.value();
    if (!tone || *tone < 0)
        return;
    radio.ctcssTone = *tone;
    request.bus.ctcssTone(request.index(), radio.ctcssTone);
}

} // namespace rit
