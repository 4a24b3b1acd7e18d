#pragma once
// Round trips of one command at a time: write it, wait for its answer, note the time. A
// random pause before each command spreads the commands over the server's polling turn, as
// a client polling on its own clock does; without it the client would fall into step with
// the turn and measure one phase only. The pauses come from a seeded generator, so every
// server sees the same series.

#include "ClientPort.h"

#include <string_view>
#include <vector>

struct LatencySeries {
    std::vector<double> microseconds; // one round trip per answered command
    long right = 0;                   // answers of the right form
    long wrong = 0;                   // answers of the wrong form
    long missing = 0;                 // commands without an answer within 500 ms
};

// Sends `command` `count` times (after a few unmeasured warm-up rounds) and expects answers
// that start with its two letters, are `answerLength` bytes long and hold only numeric fields.
LatencySeries measureLatency(ClientPort& port, std::string_view command, std::size_t answerLength,
                             int count, unsigned seed);
