#pragma once
// The benchmark's command line. Measuring (the default):
//   cat-bench --host-sim PATH --plugin PATH [--before DIR] [--out FILE] [--work DIR] [--quick]
// Serving as a reference, started by the benchmark itself:
//   cat-bench serve floor|bare --cat COMa[,COMb...] [--lines COMc[,COMd...]]
//   cat-bench serve tcp-floor --port N
// An unknown option, a missing value or a word left over is an error with the usage text.

#include "ReferenceServer.h"

#include <optional>
#include <string>
#include <vector>

// One build of host-sim and the plug-in to measure.
struct Build {
    std::string label; // "plug-in" for the build under test, "before" for the one compared
    std::string hostSim;
    std::string plugin;
};

struct BenchOptions {
    std::string hostSim;
    std::string plugin;
    std::string before; // bin folder of an earlier build measured in the same run; empty: none
    std::string resultsPath = "build/bench/results.json";
    std::string work;   // folder for settings, outputs and logs; a fresh one under /tmp if empty
    bool quick = false; // fewer samples and shorter windows, for trying the benchmark out

    // The build under test first, then the earlier one if any.
    std::vector<Build> builds() const;

    // Sample counts and windows (the figures the targets are judged on need the full ones).
    int latencyCount() const { return quick ? 500 : 5000; }
    long throughputCommands() const { return quick ? 5000 : 20000; }
    long floodCommands() const { return quick ? 10000 : 100000; }
    int scaleCountPerChannel() const { return quick ? 500 : 5000; }
    int idleSeconds() const { return quick ? 2 : 10; }
    int pushCount() const { return quick ? 50 : 500; }
    int keyingSeconds() const { return quick ? 3 : 12; } // of CW text per speed and load
};

struct ServeOptions {
    ReferenceKind kind = ReferenceKind::BareLoop;
    std::vector<std::string> catPorts;
    std::vector<std::string> linePorts;
    int tcpPort = 0; // the TCP floor's
};

struct ParsedCommandLine {
    std::optional<BenchOptions> bench;
    std::optional<ServeOptions> serve;
    std::string error; // the reason and the usage text, when neither could be parsed
};

ParsedCommandLine parseCommandLine(int argc, char** argv);
