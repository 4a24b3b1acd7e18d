#pragma once
// Lookups between the combo-box rows that cross SerialPortAbstract and a backend's library
// values. Both backends share the bit-rate rows. The other rows are written here in
// QextSerialPort's vocabulary, which the Ext backend uses as it stands and by which the engine
// names a row it needs; the Qt backend keeps the same rows in Qt's enums beside its code.

#include "SerialTypes.h"

#include <array>
#include <cstddef>
#include <optional>

namespace SettingTables
{

constexpr std::array<int, 8> bitRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int fallbackBitRate = 9600;
constexpr std::array<DataBitsType, 4> dataBitsRows{DATA_5, DATA_6, DATA_7, DATA_8};
constexpr std::array<ParityType, 5> parityRows{PAR_NONE, PAR_ODD, PAR_EVEN, PAR_MARK, PAR_SPACE};
constexpr std::array<StopBitsType, 3> stopBitsRows{STOP_1, STOP_1_5, STOP_2};
constexpr std::array<FlowType, 3> flowRows{FLOW_OFF, FLOW_HARDWARE, FLOW_XONXOFF};

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
