#include "Meters.h"

#include "Conversions.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{

// A point the radio's display marks: a reading and the bar it lights.
struct MeterPoint {
    double reading;
    double bar;
};

constexpr std::array<MeterPoint, 7> powerScale{
    {{0.0, 0}, {5.0, 2}, {10.0, 4}, {25.0, 7}, {50.0, 11}, {100.0, 16}, {200.0, 20}}};
constexpr std::array<MeterPoint, 5> swrScale{{{1.0, 0}, {1.5, 4}, {2.0, 8}, {3.0, 12}, {10.0, 20}}};

// Linear between the two marked points around `reading`, rounded to the nearest bar; below
// the first point the first bar, above the last the last. Not a number reads as the first.
template <size_t N> int barFor(const std::array<MeterPoint, N>& scale, double reading)
{
    if (std::isnan(reading) || reading <= scale.front().reading)
        return static_cast<int>(scale.front().bar);
    const auto upper = std::find_if(scale.begin() + 1, scale.end(), [reading](MeterPoint point) {
        return reading <= point.reading;
    });
    if (upper == scale.end())
        return static_cast<int>(scale.back().bar);
    const MeterPoint lower = *(upper - 1);
    const double bar = lower.bar + (reading - lower.reading) / (upper->reading - lower.reading) *
                                       (upper->bar - lower.bar);
    return std::clamp(static_cast<int>(std::lround(bar)), 0, meters::fullScale);
}

} // namespace

namespace meters
{

int sMeterStep(double dbm)
{
    const double x = std::isnan(dbm) ? -130.0 : std::clamp(dbm, -130.0, -23.0);
    const double step = x <= -73.0 ? (x + 130.0) / 54.0 * 11.0 : (x + 73.0) / 50.0 * 9.0 + 11.0;
    return std::min(truncated<int>(step), fullScale);
}

int powerBar(double watts)
{
    return barFor(powerScale, watts);
}

int swrBar(double ratio)
{
    return barFor(swrScale, ratio);
}

} // namespace meters
