// cat-bench: measures the CAT plug-in inside host-sim over socat pairs against two reference
// servers, prints one table and writes the results as JSON. See BenchOptions.h for the command
// line and Scenarios.h for what is measured.

#include "BenchOptions.h"
#include "ChildProcess.h"
#include "Report.h"
#include "Scenarios.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace
{

struct Step {
    const char* title;
    bool (Scenarios::*run)(BenchResults&, std::string&);
};

constexpr Step steps[] = {
    {"latency", &Scenarios::latency},  {"throughput", &Scenarios::throughput},
    {"idle CPU", &Scenarios::idle},    {"log cost", &Scenarios::logCost},
    {"8 channels", &Scenarios::scale},
};

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
    for (const Step& step : steps) {
        std::fprintf(stderr, "cat-bench: measuring %s\n", step.title);
        std::string error;
        if (!(scenarios.*step.run)(results, error)) {
            std::fprintf(stderr, "cat-bench: %s: %s (files in %s)\n", step.title, error.c_str(),
                         work.c_str());
            return 1;
        }
    }
    results.loadAfter = loadAverage();

    const std::vector<Target> targets = judgeTargets(results);
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
    const ParsedCommandLine parsed = parseCommandLine(argc, argv);
    if (parsed.serve)
        return serveReference(parsed.serve->kind, parsed.serve->catPorts, parsed.serve->linePorts);
    if (!parsed.bench) {
        std::fprintf(stderr, "cat-bench: %s\n", parsed.error.c_str());
        return 2;
    }
    return measure(*parsed.bench);
}
