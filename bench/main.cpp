// cat-bench: measures the CAT plug-in inside host-sim over socat pairs against two reference
// servers, and an earlier build beside it if asked, prints one table and writes the results as
// JSON. See BenchOptions.h for the command line and Scenarios.h for what is measured.

#include "BenchOptions.h"
#include "ChildProcess.h"
#include "Report.h"
#include "Scenarios.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace
{

// Runs that serve every build side by side.
struct SharedStep {
    const char* title;
    bool (Scenarios::*run)(BenchResults&, std::string&);
};

// Runs made once per build.
struct BuildStep {
    const char* title;
    bool (Scenarios::*run)(const Build&, BuildResults&, std::string&);
};

constexpr SharedStep firstSteps[] = {{"latency", &Scenarios::latency}};
constexpr BuildStep buildSteps[] = {
    {"throughput", &Scenarios::throughput}, {"flood with a reading stall", &Scenarios::stall},
    {"idle CPU", &Scenarios::idle},         {"log cost", &Scenarios::logCost},
    {"CW keying", &Scenarios::keying},
};
constexpr SharedStep lastSteps[] = {{"8 channels", &Scenarios::scale},
                                    {"TCP sessions", &Scenarios::tcp}};

std::string makeWorkFolder(const std::string& requested)
{
    if (!requested.empty()) {
        std::filesystem::create_directories(requested);
        return requested;
    }
    char pattern[] = "/tmp/cat-bench.XXXXXX";
    const char* folder = ::mkdtemp(pattern);
    return folder ? folder : "";
}

bool failed(const char* title, const std::string& error, const std::string& work)
{
    std::fprintf(stderr, "cat-bench: %s: %s (files in %s)\n", title, error.c_str(), work.c_str());
    return false;
}

bool runShared(Scenarios& scenarios, const SharedStep& step, BenchResults& results,
               const std::string& work)
{
    std::fprintf(stderr, "cat-bench: measuring %s\n", step.title);
    std::string error;
    return (scenarios.*step.run)(results, error) || failed(step.title, error, work);
}

bool runAll(const BenchOptions& options, Scenarios& scenarios, BenchResults& results,
            const std::string& work)
{
    for (const SharedStep& step : firstSteps) {
        if (!runShared(scenarios, step, results, work))
            return false;
    }
    for (const Build& build : options.builds()) {
        results.builds.push_back({});
        results.builds.back().label = build.label;
        for (const BuildStep& step : buildSteps) {
            std::fprintf(stderr, "cat-bench: measuring %s (%s)\n", step.title, build.label.c_str());
            std::string error;
            if (!(scenarios.*step.run)(build, results.builds.back(), error))
                return failed(step.title, error, work);
        }
    }
    for (const SharedStep& step : lastSteps) {
        if (!runShared(scenarios, step, results, work))
            return false;
    }
    return true;
}

int measure(const BenchOptions& options)
{
    const std::string work = makeWorkFolder(options.work);
    if (work.empty()) {
        std::fprintf(stderr, "cat-bench: cannot make a work folder\n");
        return 1;
    }
    Scenarios scenarios(options, work);
    BenchResults results;
    results.loadBefore = loadAverage();
    if (!runAll(options, scenarios, results, work))
        return 1;
    results.loadAfter = loadAverage();

    std::vector<Target> targets = judgeTargets(results, results.builds.front().label);
    if (results.builds.size() > 1)
        addBefore(targets, judgeTargets(results, results.builds[1].label));
    printTable(results, targets);
    const std::filesystem::path resultsPath(options.resultsPath);
    if (resultsPath.has_parent_path())
        std::filesystem::create_directories(resultsPath.parent_path());
    if (!writeJson(results, targets, options.resultsPath)) {
        std::fprintf(stderr, "cat-bench: cannot write %s\n", options.resultsPath.c_str());
        return 1;
    }
    std::printf("\nResults written to %s\n", options.resultsPath.c_str());
    if (options.work.empty())
        std::filesystem::remove_all(work);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // A TCP server that closes a connection makes the next write fail, not end the benchmark.
    std::signal(SIGPIPE, SIG_IGN);
    const ParsedCommandLine parsed = parseCommandLine(argc, argv);
    if (parsed.serve)
        return parsed.serve->kind == ReferenceKind::TcpFloor
                   ? serveTcpFloor(parsed.serve->tcpPort)
                   : serveReference(parsed.serve->kind, parsed.serve->catPorts,
                                    parsed.serve->linePorts);
    if (!parsed.bench) {
        std::fprintf(stderr, "cat-bench: %s\n", parsed.error.c_str());
        return 2;
    }
    return measure(*parsed.bench);
}
