#include "FuzzInput.h"

#include <algorithm>

namespace
{

enum OptionBit : std::uint8_t {
    logViewBit = 0x01,
    enableFrBit = 0x02,
    antennaSwitchBit = 0x04,
    hostConfirmsBit = 0x08,
};

constexpr std::size_t longestRead = 256;

} // namespace

FuzzInput FuzzInput::parse(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input;
    if (size == 0)
        return input;
    const std::uint8_t options = data[0];
    input.logView = options & logViewBit;
    input.enableFr = options & enableFrBit;
    input.antennaSwitch = options & antennaSwitchBit;
    input.hostConfirms = options & hostConfirmsBit;

    std::size_t front = 1;
    std::size_t back = size;
    std::size_t streamLeft = maxStream;
    while (front < back && streamLeft > 0) {
        std::size_t length = longestRead;
        if (back - front > 1)
            length = std::size_t(data[--back]) + 1;
        length = std::min({length, back - front, streamLeft});
        input.reads.append(
            QByteArray(reinterpret_cast<const char*>(data + front), qsizetype(length)));
        front += length;
        streamLeft -= length;
    }
    return input;
}
