#pragma once
// The measurements of the benchmark, each on fresh serial pairs and fresh processes. Latency
// and eight channels serve every build and both references at once and measure them in turns;
// throughput, a flood with a reading stall, idle CPU, log memory and CW keying are run once per
// build.
// Each fills its part of BenchResults and returns false, with `error`, when its setup fails (a
// measurement that merely misses a target is not a failure).
// Main thread only (the eight-channel and eight-session runs start one client thread per
// client, the flood one writer thread).

#include "BenchOptions.h"
#include "Results.h"

class HostSimRun;

#include <string>

class Scenarios
{
public:
    Scenarios(const BenchOptions& options, std::string work);

    bool latency(BenchResults& results, std::string& error);
    bool scale(BenchResults& results, std::string& error);
    // The build under test's TCP server: one session's round trips and eight sessions' against
    // the TCP floor, a poller beside a flooding session, auto-information pushes, idle CPU.
    bool tcp(BenchResults& results, std::string& error);

    bool throughput(const Build& build, BuildResults& results, std::string& error);
    bool stall(const Build& build, BuildResults& results, std::string& error);
    bool idle(const Build& build, BuildResults& results, std::string& error);
    bool logCost(const Build& build, BuildResults& results, std::string& error);
    bool keying(const Build& build, BuildResults& results, std::string& error);

private:
    struct SideBySide;

    std::string runName(const std::string& what);
    // Starts every build's host-sim, then the floor and the bare loop, on `channels` pairs each.
    bool startSideBySide(int channels, SideBySide& run, std::string& error);
    // The parts of tcp(), on a running host-sim serving TCP on `port`.
    // One session polling `port` alone, then beside another that floods it with reads; the
    // rows' commands start with `prefix`.
    bool pollBesideFlood(int port, const std::string& label, const std::string& prefix,
                         LatencyRow& alone, LatencyRow& beside, TrafficResult& flood,
                         std::string& error);
    bool tcpPush(HostSimRun& host, int port, TcpResults& results, std::string& error);
    bool tcpIdle(const Build& build, TcpResults& results, std::string& error);

    const BenchOptions& options;
    std::string work;
    int runs = 0;
};
