#include "CwKeying.h"

#include "ChildProcess.h"
#include "Traffic.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

// The standard word, whose 50 dots (with the word gap after it) define the speed.
constexpr std::string_view word = "PARIS ";
constexpr std::string_view parisElements[] = {".--.", ".-", ".-.", "..", "..."};
constexpr int dotsPerWord = 50;
constexpr std::size_t textPerCommand = 24;

const std::string edgePrefix = "key setKey 0 2 ";

constexpr auto pollInterval = std::chrono::milliseconds(50);
constexpr auto answerTimeout = std::chrono::milliseconds(500);
// The flood comes in runs of this many commands, back to back.
constexpr long floodRun = 5000;

// When each edge of `words` standard words is due, in dots after the first.
std::vector<long> idealEdges(int words)
{
    std::vector<long> edges;
    long at = 0;
    for (int w = 0; w < words; ++w) {
        for (std::size_t c = 0; c < std::size(parisElements); ++c) {
            const std::string_view elements = parisElements[c];
            for (std::size_t e = 0; e < elements.size(); ++e) {
                edges.push_back(at);
                at += elements[e] == '-' ? 3 : 1;
                edges.push_back(at);
                const bool lastElement = e + 1 == elements.size();
                const bool lastCharacter = c + 1 == std::size(parisElements);
                at += !lastElement ? 1 : !lastCharacter ? 3 : 7;
            }
        }
    }
    return edges;
}

// The times of host-sim's edges after the first `skip`, in microseconds.
std::vector<double> edgeTimes(const std::string& path, std::size_t skip)
{
    std::vector<double> times;
    const std::vector<std::string> lines = linesStarting(path, edgePrefix);
    for (std::size_t i = skip; i < lines.size(); ++i) {
        const std::size_t at = lines[i].rfind(" at ");
        if (at != std::string::npos)
            times.push_back(std::stod(lines[i].substr(at + 4)));
    }
    return times;
}

bool asked(ClientPort& port, const std::string& commands, const std::string& answer)
{
    std::string received;
    return port.send(commands) && port.receive(received, Clock::now() + answerTimeout) &&
           received == answer;
}

// One poll of the 20 a second, answered or not.
void poll(ClientPort& port, TrafficResult& traffic)
{
    const auto sent = Clock::now();
    std::string answer;
    ++traffic.commands;
    ++traffic.answersExpected;
    if (!port.send("IF;") || !port.receive(answer, sent + answerTimeout))
        ++traffic.missing;
    else if (traffic::matches(answer, {"IF", 38}))
        ++traffic.right;
    else
        ++traffic.wrong;
    traffic.seconds += std::chrono::duration<double>(pollInterval).count();
    std::this_thread::sleep_until(sent + pollInterval);
}

} // namespace

KeyingRow measureKeying(ClientPort& port, const std::string& hostOutput, int wpm,
                        const std::string& load, int seconds)
{
    KeyingRow row;
    row.wpm = wpm;
    row.load = load;
    const int words = std::max(1, wpm * seconds / 60);
    const std::vector<long> ideal = idealEdges(words);
    row.expectedEdges = long(ideal.size());

    char speed[8];
    std::snprintf(speed, sizeof speed, "KS%03d;", wpm);
    port.discardInput();
    if (!asked(port, std::string("MD3;") + speed + "KS;", speed) || !asked(port, "KY;", "KY0;"))
        return row;

    const std::size_t before = linesStarting(hostOutput, edgePrefix).size();
    std::string text;
    for (int w = 0; w < words; ++w)
        text += word;
    std::string commands;
    for (std::size_t i = 0; i < text.size(); i += textPerCommand)
        commands += "KY " + text.substr(i, textPerCommand) + ";";
    if (!port.send(commands))
        return row;

    const double dotUs = 1.2e6 / wpm;
    const auto deadline = Clock::now() + std::chrono::seconds(10) +
                          std::chrono::microseconds(long(2 * words * dotsPerWord * dotUs));
    const bool flood = load == keyingLoads[1];
    while (countLines(hostOutput, edgePrefix) < int(before + ideal.size()) &&
           Clock::now() < deadline) {
        if (flood)
            add(row.traffic,
                runTraffic(port, floodRun, std::chrono::milliseconds(0), traffic::keyingCycle));
        else
            poll(port, row.traffic);
    }

    const std::vector<double> times = edgeTimes(hostOutput, before);
    row.edges = long(times.size());
    const std::size_t count = std::min(times.size(), ideal.size());
    // The schedule is placed where the edges put it (their median offset from it), so that one
    // late edge shows as itself and not as every other edge early.
    std::vector<double> offsets;
    for (std::size_t i = 0; i < count; ++i)
        offsets.push_back(times[i] - double(ideal[i]) * dotUs);
    std::vector<double> sorted = offsets;
    const double start = count > 0 ? percentiles(sorted).p50 : 0;
    std::vector<double> errors;
    for (const double offset : offsets)
        errors.push_back(std::abs(offset - start));
    row.errorUs = percentiles(errors);
    return row;
}
