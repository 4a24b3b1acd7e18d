#include "TransceiverState.h"

#include <algorithm>
#include <cmath>

namespace
{

struct ModeInfo {
    const char* name;
    FilterEdges filter;
};

constexpr std::array<ModeInfo, 11> modes{{
    {"AM", {-4000.0, 4000.0}},
    {"SAM", {-4000.0, 4000.0}},
    {"DSB", {-3000.0, 3000.0}},
    {"LSB", {-2800.0, -100.0}},
    {"USB", {100.0, 2800.0}},
    {"CW", {-250.0, 250.0}},
    {"FM", {-6000.0, 6000.0}},
    {"WFM", {-6000.0, 6000.0}},
    {"DIGI", {-3000.0, 3000.0}},
    {"FSK", {-500.0, 0.0}},
    {"FSK-R", {0.0, 500.0}},
}};

constexpr double transmitterWatts = 100.0;
constexpr double s9Dbm = -73.0;
constexpr double dbPerSUnit = 6.0;

} // namespace

QString modeName(quint32 mode)
{
    return mode < modes.size() ? QString::fromLatin1(modes[mode].name) : QStringLiteral("?");
}

FilterEdges defaultFilter(quint32 mode)
{
    return mode < modes.size() ? modes[mode].filter : FilterEdges{-3000.0, 3000.0};
}

TransmitMeters transmitMeters(const TransceiverState& state)
{
    if (!state.transmitting)
        return {0.0, 1.0};
    return {state.drive / 100.0 * transmitterWatts, state.swr};
}

QString sUnits(double dbm)
{
    if (dbm > s9Dbm)
        return QStringLiteral("S9+%1").arg(std::lround(dbm - s9Dbm));
    const long units = std::lround(9.0 + (dbm - s9Dbm) / dbPerSUnit);
    return QStringLiteral("S%1").arg(std::max(0L, units));
}
