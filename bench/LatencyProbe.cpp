#include "LatencyProbe.h"

#include "AnswerCheck.h"

#include <chrono>
#include <random>
#include <string>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr int warmUpRounds = 50;
// Pauses are spread evenly over two of the plug-in's turns.
constexpr int longestPauseMicroseconds = 1000;
// A client's answer timeout (Hamlib's is 500 ms).
constexpr auto answerTimeout = std::chrono::milliseconds(500);

} // namespace

LatencySeries measureLatency(ClientPort& port, std::string_view command, std::size_t answerLength,
                             int count, unsigned seed)
{
    LatencySeries series;
    series.microseconds.reserve(std::size_t(count));
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> pause(0, longestPauseMicroseconds);
    std::string answer;
    port.discardInput();
    for (int round = -warmUpRounds; round < count; ++round) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause(generator)));
        const auto sent = Clock::now();
        if (!port.send(command)) {
            ++series.missing;
            continue;
        }
        if (!port.receive(answer, sent + answerTimeout)) {
            ++series.missing;
            port.discardInput();
            continue;
        }
        const auto received = Clock::now();
        if (round < 0)
            continue;
        if (traffic::matches(answer, {command.substr(0, 2), answerLength}))
            ++series.right;
        else
            ++series.wrong;
        series.microseconds.push_back(
            std::chrono::duration<double, std::micro>(received - sent).count());
    }
    return series;
}
