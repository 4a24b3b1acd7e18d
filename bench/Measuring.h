#pragma once
// What the scenarios share: the serial pairs and client ends of one measurement, starting a
// reference server, CPU rates over one window, and round trips on many clients measured in
// turns. Main thread only (round trips on many clients start one thread per client).

#include "ChildProcess.h"
#include "ClientPort.h"
#include "LatencyProbe.h"
#include "ReferenceServer.h"
#include "Results.h"
#include "SerialPair.h"

#include <memory>
#include <string>
#include <vector>

// The serial pairs and client ends of one measurement.
struct Lines {
    std::vector<std::unique_ptr<SerialPair>> pairs;
    std::vector<std::unique_ptr<ClientPort>> clients;

    // `count` relayed pairs (socat), or direct ones.
    bool open(int count, const std::string& work, std::string& error, bool direct = false);
    // Host-end names of pairs [first, first + count).
    std::vector<std::string> hostNames(std::size_t first, std::size_t count) const;
};

// A reference server: this program again, in its serving mode, on `catPorts` (and `linePorts`)
// or, for the TCP floor, on `tcpPort`.
bool startReference(ChildProcess& process, ReferenceKind kind,
                    const std::vector<std::string>& catPorts,
                    const std::vector<std::string>& linePorts, const std::string& output,
                    std::string& error, int tcpPort = 0);

// CPU seconds per second each process uses over the same `seconds`, after a moment to settle.
std::vector<double> cpuRates(const std::vector<pid_t>& pids, int seconds);

struct Probe {
    const char* command;
    std::size_t answerLength;
};
constexpr Probe probes[] = {{"FA;", 14}, {"IF;", 38}};
constexpr Probe scaleProbe = probes[0];

void append(LatencySeries& into, const LatencySeries& part);
// A latency row of `server` for `command` from a finished series.
LatencyRow latencyRow(const std::string& server, const std::string& command, LatencySeries& series);

// The row of `server` whose clients measured `series` at once: all merged, and the worst p99
// of any one client.
ScaleRow scaleRow(const std::string& server, const std::vector<LatencySeries>& series);

// A loopback TCP port nobody listens on at the moment of asking, or 0.
int freeTcpPort();

// Every server's clients measured in turns of short blocks: per server, one series per client.
std::vector<std::vector<LatencySeries>>
measureInTurns(const std::vector<std::vector<ClientPort*>>& servers, const Probe& probe,
               int countPerClient);
