#pragma once
// The measurements of the benchmark, each on fresh serial pairs and fresh processes: latency
// of the plug-in and of the two references, throughput, idle CPU, log memory and latency with
// eight channels. Each fills its part of BenchResults and returns false, with `error`, when
// its setup fails (a measurement that merely misses a target is not a failure).
// Main thread only (the scale run starts one client thread per channel).

#include "BenchOptions.h"
#include "LatencyProbe.h"
#include "Stats.h"
#include "Traffic.h"

#include <string>
#include <vector>

struct LatencyRow {
    std::string server;  // "plug-in", "floor", "bare loop"
    std::string command; // "FA;", "IF;"
    Percentiles stats;
    long wrong = 0;
    long missing = 0;
};

struct IdleRow {
    std::string setup;       // e.g. "4 CAT"
    int channels = 0;        // CAT channels open
    int ports = 0;           // serial ports open in all
    double hostCpu = 0;      // host-sim, CPU seconds per second
    double hostBaseline = 0; // host-sim with the same channels and no port open
    double bareCpu = 0;      // the bare loop with the same ports
    // CPU per open channel: host-sim's beyond its baseline, and the bare loop's.
    double hostPerChannel() const { return (hostCpu - hostBaseline) / channels; }
    double barePerChannel() const { return bareCpu / channels; }
};

struct LogRow {
    bool viewOn = false;
    long rssBeforeKiB = 0;
    long rssAfterKiB = 0;
    TrafficResult traffic;
};

struct ScaleResult {
    int channels = 0;
    Percentiles plugin;        // every channel's round trips together
    double pluginWorstP99 = 0; // the channel with the highest p99
    Percentiles bare;          // the bare loop serving as many ports
    long wrong = 0;
    long missing = 0;
};

struct BenchResults {
    std::string loadBefore;
    std::string loadAfter;
    std::vector<LatencyRow> latency;
    TrafficResult throughput;
    std::vector<IdleRow> idle;
    std::vector<LogRow> log;
    ScaleResult scale;
};

class Scenarios
{
public:
    Scenarios(const BenchOptions& options, std::string work);

    bool latency(BenchResults& results, std::string& error);
    bool throughput(BenchResults& results, std::string& error);
    bool idle(BenchResults& results, std::string& error);
    bool logCost(BenchResults& results, std::string& error);
    bool scale(BenchResults& results, std::string& error);

private:
    std::string runName(const std::string& what);

    const BenchOptions& options;
    std::string work;
    int runs = 0;
};
