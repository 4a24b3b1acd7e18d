#include "Traffic.h"

#include <chrono>
#include <string>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;

// The number of writes of `cycle` that carry at least `commands` commands.
long writesFor(long commands, traffic::Cycle cycle)
{
    long writes = 0;
    for (long sent = 0; sent < commands; ++writes)
        sent += cycle.at(writes).commands;
    return writes;
}

// After the writer is done, an answer later than this counts as missing.
constexpr auto quietLimit = std::chrono::seconds(2);

} // namespace

TrafficResult runTraffic(ClientPort& port, long commands, std::chrono::milliseconds stall,
                         traffic::Cycle cycle)
{
    TrafficResult result;
    const long writes = writesFor(commands, cycle);
    for (long i = 0; i < writes; ++i)
        result.commands += cycle.at(i).commands;
    result.answersExpected = traffic::Checker::answersFor(writes, cycle);

    port.discardInput();
    const auto start = Clock::now();
    std::thread writer([&] {
        for (long i = 0; i < writes; ++i) {
            // A port that fails leaves the rest of the answers missing.
            if (!port.send(cycle.at(i).bytes))
                return;
        }
    });

    traffic::Checker checker(cycle);
    std::string answer;
    auto last = start;
    long received = 0;
    const long stallAt = stall.count() > 0 ? result.answersExpected / 2 : -1;
    while (received < result.answersExpected && port.receive(answer, Clock::now() + quietLimit)) {
        checker.feed(answer);
        if (++received == stallAt)
            std::this_thread::sleep_for(stall);
        last = Clock::now();
    }
    writer.join();
    result.right = checker.right();
    result.wrong = checker.wrong();
    result.missing = result.answersExpected - received;
    result.seconds = std::chrono::duration<double>(last - start).count();
    return result;
}

void add(TrafficResult& into, const TrafficResult& part)
{
    into.commands += part.commands;
    into.answersExpected += part.answersExpected;
    into.right += part.right;
    into.wrong += part.wrong;
    into.missing += part.missing;
    into.seconds += part.seconds;
}
