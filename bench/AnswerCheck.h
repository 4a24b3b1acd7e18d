#pragma once
// The command traffic of the throughput, log and CW keying runs, and the check of every answer.
// The traffic is a fixed cycle of writes the way Hamlib's TS-480 driver sends them: each set
// command followed by "ID;" in the same write, reads on their own or in pairs. The sets always
// store the values the radio already has, so every read has exactly one right answer however
// the host's confirmations interleave with the commands.
// The checker is fed the answers in arrival order and compares each with the one expected at
// its place in the cycle. Single-threaded: the receiving thread owns its checker.

#include <cstddef>
#include <string_view>

namespace traffic
{

// One expected answer: its text starts with `prefix` and is `length` bytes long with its ";".
struct Expected {
    std::string_view prefix;
    std::size_t length;
};

// One write: its bytes, the number of commands in it, and the answers it must bring.
struct Write {
    std::string_view bytes;
    int commands;
    int answers;
    Expected expected[2];
};

// The frequencies and mode the cycle sets and reads back.
constexpr std::string_view vfoA = "FA00007074000;";
constexpr std::string_view vfoB = "FB00014074000;";

constexpr Write cycle[] = {
    {"FA00007074000;ID;", 2, 1, {{"ID020;", 6}}},
    {"FA;", 1, 1, {{vfoA, 14}}},
    {"MD2;ID;", 2, 1, {{"ID020;", 6}}},
    {"MD;", 1, 1, {{"MD2;", 4}}},
    {"IF;", 1, 1, {{"IF00007074000", 38}}},
    {"FW;", 1, 1, {{"FW", 7}}},
    {"FB00014074000;ID;", 2, 1, {{"ID020;", 6}}},
    {"FB;", 1, 1, {{vfoB, 14}}},
    {"SM0;", 1, 1, {{"SM0", 8}}},
    {"AG0;", 1, 1, {{"AG0", 7}}},
    {"PS;", 1, 1, {{"PS1;", 4}}},
    {"FA;MD;", 2, 2, {{vfoA, 14}, {"MD2;", 4}}},
};
constexpr std::size_t cycleLength = sizeof cycle / sizeof cycle[0];

// The traffic beside a channel keying CW text: reads only. A set would change the mode (and
// leaving CW stops the text), or have the host confirm it: host-sim's GUI thread confirms sets
// more slowly than a flood brings them, and a key object whose thread falls behind by
// millions of events holds up the keyer's calls into it.
constexpr Write keyingWrites[] = {
    {"FA;", 1, 1, {{"FA", 14}}}, {"MD;", 1, 1, {{"MD3;", 4}}},
    {"IF;", 1, 1, {{"IF", 38}}}, {"SM0;", 1, 1, {{"SM0", 8}}},
    {"KY;", 1, 1, {{"KY", 4}}},  {"FA;KS;", 2, 2, {{"FA", 14}, {"KS", 6}}},
};

// A session flooding beside another: reads only, for the same reason. A flood of sets would
// measure how fast host-sim confirms them, not the plug-in; its backlog would also delay the
// host's own reports (tuning) that other sessions are told of. The TCP floor answers these too.
constexpr Write readWrites[] = {
    {"FA;", 1, 1, {{"FA", 14}}},
    {"IF;", 1, 1, {{"IF", 38}}},
    {"ID;", 1, 1, {{"ID020;", 6}}},
    {"FA;IF;", 2, 2, {{"FA", 14}, {"IF", 38}}},
};

// A cycle of writes, repeated for as long as a run lasts.
struct Cycle {
    const Write* writes;
    std::size_t length;
    const Write& at(long i) const { return writes[std::size_t(i) % length]; }
};
constexpr Cycle standardCycle{cycle, cycleLength};
constexpr Cycle keyingCycle{keyingWrites, sizeof keyingWrites / sizeof keyingWrites[0]};
constexpr Cycle readCycle{readWrites, sizeof readWrites / sizeof readWrites[0]};

// Whether `answer` is what `expected` describes: the prefix, the length, the closing ";"
// and nothing but digits, signs and spaces after the prefix.
bool matches(std::string_view answer, const Expected& expected);

class Checker
{
public:
    explicit Checker(Cycle cycle = standardCycle) : m_cycle(cycle) {}
    // Checks the next answer against the one expected at its place in the cycle.
    void feed(std::string_view answer);
    // Expected answers for `writes` writes of the cycle, counted from its start.
    static long answersFor(long writes, Cycle cycle = standardCycle);

    long right() const { return m_right; }
    long wrong() const { return m_wrong; }

private:
    Cycle m_cycle;
    long m_write = 0;
    int m_answer = 0;
    long m_right = 0;
    long m_wrong = 0;
};

} // namespace traffic
