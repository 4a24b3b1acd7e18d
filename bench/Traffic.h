#pragma once
// Commands written back to back: one thread writes the traffic cycle (AnswerCheck.h) write
// after write without waiting for answers, while the calling thread reads every answer and
// checks it. Used for the throughput figure, to push many commands through for the log cost,
// and for a client that stops reading for a while in the middle of a flood.

#include "AnswerCheck.h"
#include "ClientPort.h"

#include <chrono>

struct TrafficResult {
    long commands = 0; // commands written
    long answersExpected = 0;
    long right = 0;
    long wrong = 0;     // answers that are not the one expected at their place
    long missing = 0;   // expected answers that never came
    double seconds = 0; // first write to last answer
    double commandsPerSecond() const { return seconds > 0 ? double(commands) / seconds : 0; }
};

// Adds the counts and the time of `part` to `into`, for runs made in several pieces.
void add(TrafficResult& into, const TrafficResult& part);

// Writes whole writes of `cycle` until at least `commands` commands are out. With a `stall`,
// the reader stops for that long once half the answers are in, while the writer goes on
// writing as far as the line takes it.
TrafficResult runTraffic(ClientPort& port, long commands,
                         std::chrono::milliseconds stall = std::chrono::milliseconds(0),
                         traffic::Cycle cycle = traffic::standardCycle);
