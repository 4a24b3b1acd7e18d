#pragma once
// Turns one fuzzer input into what a CAT port would see: a few channel options and the byte
// stream cut into reads. The first byte holds the options; the read lengths are taken from the
// end of the input (1 to 256 bytes each, one byte per read), the stream from the front, so the
// fuzzer mutates where reads split as freely as what they carry. A stream that runs out of
// length bytes is cut into 256-byte reads.

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

struct FuzzInput {
    // Longest stream looked at: the answers to this many bytes fit a pseudo-terminal's buffer
    // before anyone reads them.
    static constexpr std::size_t maxStream = 2048;

    bool logView = false;       // the panel's log view on: every line goes through the escaping
    bool enableFr = false;      // FR may switch the sub receiver
    bool antennaSwitch = false; // AN may switch antennas
    bool hostConfirms = false;  // every host message is decoded back into the channel, as a host
                                // reporting the new state would
    QList<QByteArray> reads;

    static FuzzInput parse(const std::uint8_t* data, std::size_t size);
};
