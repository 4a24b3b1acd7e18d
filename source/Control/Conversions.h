#pragma once
// Safe numeric conversions for values that come from the host or from a client: a double is
// never converted to an integer type it does not fit (that would be undefined behaviour).

#include <QtGlobal>

#include <cmath>
#include <limits>

// Truncates toward zero and clamps into the range of T; NaN gives 0.
template <typename T> T truncated(double value)
{
    constexpr T lowest = std::numeric_limits<T>::min();
    constexpr T highest = std::numeric_limits<T>::max();
    if (std::isnan(value))
        return 0;
    if (value <= static_cast<double>(lowest))
        return lowest;
    if (value >= static_cast<double>(highest))
        return highest;
    return static_cast<T>(value);
}
