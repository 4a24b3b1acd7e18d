#include "FilterCommands.h"

#include "Modes.h"
#include "Request.h"

#include "quorvexCommand.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

using modes::Group;

namespace
{

// Hz values of the codes, in code order.
constexpr std::array<double, 14> ssbFmHighCut{1000, 1200, 1400, 1600, 1800, 2000, 2200,
                                              2400, 2600, 2800, 3000, 3400, 4000, 5000};
constexpr std::array<double, 4> amHighCut{2500, 3000, 4000, 5000};
constexpr std::array<double, 12> ssbLowCut{0,   50,  100, 200, 300, 400,
                                           500, 600, 700, 800, 900, 1000};
// FW codes 0, 1, 2 of the voice modes, as half widths.
constexpr std::array<double, 3> voiceHalfWidth{2000, 2700, 3000};
// FW answers in CW and FSK: the width itself.
constexpr std::array<double, 11> cwWidth{50, 80, 100, 150, 200, 300, 400, 500, 600, 1000, 2000};
constexpr std::array<double, 4> fskWidth{250, 500, 1000, 1500};

constexpr quint32 fskMode = 9;
constexpr quint32 firstFmMode = 6;

// The code of the first step that `hz` does not exceed; the last code when it exceeds all
// the others. A value exactly on a step takes that step's code.
template <size_t N> int codeFor(const std::array<double, N>& steps, double hz)
{
    const auto last = steps.end() - 1;
    return static_cast<int>(
        std::find_if(steps.begin(), last, [hz](double step) { return hz <= step; }) -
        steps.begin());
}

template <size_t N> std::optional<double> step(const std::array<double, N>& steps, int code)
{
    if (code < 0 || static_cast<size_t>(code) >= N)
        return std::nullopt;
    return steps[static_cast<size_t>(code)];
}

// The edge at `hz` below the carrier; a zero stays +0.0, so the host never sees -0.
double below(double hz)
{
    return 0.0 - hz;
}

double widest(const RadioState& radio)
{
    return std::max(std::fabs(radio.filterLow), std::fabs(radio.filterHigh));
}

void sendFilter(Request& request)
{
    request.bus.rxFilter(request.index(), 0, request.radio.filterLow, request.radio.filterHigh);
}

void setHighCut(RadioState& radio, int code)
{
    const auto ssb = step(ssbFmHighCut, code);
    switch (modes::groupOf(radio.mode)) {
    case Group::Am:
        if (const auto am = step(amHighCut, code)) {
            radio.filterLow = below(*am);
            radio.filterHigh = *am;
        }
        break;
    case Group::Lsb:
        if (ssb)
            radio.filterLow = below(*ssb);
        break;
    case Group::Usb:
        if (ssb)
            radio.filterHigh = *ssb;
        break;
    case Group::Fm:
        if (ssb) {
            radio.filterLow = below(*ssb);
            radio.filterHigh = *ssb;
        }
        break;
    default:
        break;
    }
}

int highCutCode(const RadioState& radio)
{
    switch (modes::groupOf(radio.mode)) {
    case Group::Am:
        return codeFor(amHighCut, widest(radio));
    case Group::Lsb:
        return codeFor(ssbFmHighCut, std::fabs(radio.filterLow));
    case Group::Usb:
        return codeFor(ssbFmHighCut, std::fabs(radio.filterHigh));
    case Group::Fm:
        return codeFor(ssbFmHighCut, widest(radio));
    default:
        return 0;
    }
}

// Low cut is the edge nearer the carrier: the high edge in LSB, the low edge in USB.
void setLowCut(RadioState& radio, int code)
{
    const auto cut = step(ssbLowCut, code);
    if (!cut)
        return;
    switch (modes::groupOf(radio.mode)) {
    case Group::Lsb:
        radio.filterHigh = below(*cut);
        break;
    case Group::Usb:
        radio.filterLow = *cut;
        break;
    default:
        break;
    }
}

int lowCutCode(const RadioState& radio)
{
    switch (modes::groupOf(radio.mode)) {
    case Group::Lsb:
        return codeFor(ssbLowCut, std::fabs(radio.filterHigh));
    case Group::Usb:
        return codeFor(ssbLowCut, std::fabs(radio.filterLow));
    default:
        return 0;
    }
}

void setEdges(RadioState& radio, double low, double high)
{
    radio.filterLow = low;
    radio.filterHigh = high;
}

// The voice modes take only the last digit of the parameter as a width code (0, 1, anything
// else); CW and FSK take the whole parameter as a width in Hz.
void setWidth(Request& request)
{
    RadioState& radio = request.radio;
    const auto code = request.lastDigits(1);
    const auto hz = request.value();
    const double half = code ? voiceHalfWidth[std::clamp(*code, 0, 2)] : 0.0;
    switch (modes::groupOf(radio.mode)) {
    case Group::Am:
        if (code)
            setEdges(radio, below(half), half);
        break;
    case Group::Fm:
        if (code && radio.mode == firstFmMode)
            setEdges(radio, below(half), half);
        break;
    case Group::Lsb:
        if (code)
            setEdges(radio, below(half), 0.0);
        break;
    case Group::Usb:
        if (code)
            setEdges(radio, 0.0, half);
        break;
    case Group::Cw:
        if (hz)
            setEdges(radio, -(*hz / 2), *hz / 2);
        break;
    case Group::Fsk:
        if (hz && radio.mode == fskMode)
            setEdges(radio, below(*hz), 0.0);
        else if (hz)
            setEdges(radio, 0.0, *hz);
        break;
    case Group::Other:
        break;
    }
}

qint64 widthAnswer(const RadioState& radio)
{
    const double width = radio.filterHigh - radio.filterLow;
    switch (modes::groupOf(radio.mode)) {
    case Group::Cw:
        return static_cast<qint64>(cwWidth[codeFor(cwWidth, width)]);
    // FSK keeps its width below the carrier in one mode and above it in the other.
    case Group::Fsk:
        return static_cast<qint64>(fskWidth[codeFor(fskWidth, widest(radio))]);
    case Group::Other:
        return 0;
    default:
        return codeFor(voiceHalfWidth, width * 0.5);
    }
}

} // namespace

namespace filter
{

void sh(Request& request)
{
    if (request.isRead())
        return request.reply(highCutCode(request.radio));
    if (request.length() != 2)
        return;
    if (const auto code = request.value()) {
        setHighCut(request.radio, *code);
        sendFilter(request);
    }
}

// SL's answer has two digits, and clients write the low cut back in that form (SL03;); the
// four-character form (SL0003;) is taken the same way.
void sl(Request& request)
{
    if (request.isRead())
        return request.reply(lowCutCode(request.radio));
    if (request.length() != 2 && request.length() != 4)
        return;
    if (const auto code = request.value()) {
        setLowCut(request.radio, *code);
        sendFilter(request);
    }
}

// FW sends the edges after every set of a width, also one without a table entry.
void fw(Request& request)
{
    if (request.isRead())
        return request.reply(widthAnswer(request.radio));
    if (request.length() != 4 || !request.value())
        return;
    setWidth(request);
    sendFilter(request);
}

} // namespace filter
