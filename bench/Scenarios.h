#pragma once
// The measurements of the benchmark, each on fresh serial pairs and fresh processes. Latency
// and eight channels serve every build and both references at once and measure them in turns;
// throughput, a flood with a reading stall, idle CPU, log memory and CW keying are run once per
// build.
// Each fills its part of BenchResults and returns false, with `error`, when its setup fails (a
// measurement that merely misses a target is not a failure).
// Main thread only (the eight-channel run starts one client thread per channel).

#include "BenchOptions.h"
#include "Results.h"

#include <string>

class Scenarios
{
public:
    Scenarios(const BenchOptions& options, std::string work);

    bool latency(BenchResults& results, std::string& error);
    bool scale(BenchResults& results, std::string& error);

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

    const BenchOptions& options;
    std::string work;
    int runs = 0;
};
