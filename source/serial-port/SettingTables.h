#pragma once
// Lookups between the combo-box rows that cross SerialPortAbstract and a backend's library
// values. Both backends share the bit-rate rows; each keeps its other tables beside its code.

#include <array>
#include <cstddef>
#include <optional>

namespace SettingTables
{

constexpr std::array<int, 8> bitRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int fallbackBitRate = 9600;

// A library value outside its table reads back as this row: 8 data bits, else the first row.
constexpr int dataBitsFallbackRow = 3;
constexpr int otherFallbackRow = 0;

// The entry of `table` at row `index`, or nothing for a row outside the table.
template <typename T, std::size_t N>
constexpr std::optional<T> entryAt(const std::array<T, N>& table, int index)
{
    if (index < 0 || std::size_t(index) >= N)
        return std::nullopt;
    return table[std::size_t(index)];
}

// The row holding `value`, or `fallback` when no row does.
template <typename T, std::size_t N>
constexpr int rowOf(const std::array<T, N>& table, T value, int fallback)
{
    for (std::size_t row = 0; row < N; ++row) {
        if (table[row] == value)
            return int(row);
    }
    return fallback;
}

// A bit-rate row outside the table selects 9600 bit/s.
constexpr int bitRateAt(int index)
{
    return entryAt(bitRates, index).value_or(fallbackBitRate);
}

} // namespace SettingTables
