#include "Scenarios.h"

#include "HostSimRun.h"
#include "SerialPair.h"

#include <memory>
#include <thread>

namespace
{

// The serial pairs and client ends of one measurement.
struct Lines {
    std::vector<std::unique_ptr<SerialPair>> pairs;
    std::vector<std::unique_ptr<ClientPort>> clients;

    bool open(int count, const std::string& work, std::string& error)
    {
        for (int i = 0; i < count; ++i) {
            pairs.push_back(std::make_unique<SerialPair>());
            clients.push_back(std::make_unique<ClientPort>());
            if (!pairs.back()->open(work, error) ||
                !clients.back()->open(pairs.back()->clientPath(), error))
                return false;
        }
        return true;
    }
    // Host-end names of pairs [first, first + count).
    std::vector<std::string> hostNames(std::size_t first, std::size_t count) const
    {
        std::vector<std::string> names;
        for (std::size_t i = first; i < first + count && i < pairs.size(); ++i)
            names.push_back(pairs[i]->hostName());
        return names;
    }
};

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ",") + name;
    return text;
}

// A reference server: this program again, in its serving mode.
bool startReference(ChildProcess& process, ReferenceKind kind,
                    const std::vector<std::string>& catPorts,
                    const std::vector<std::string>& linePorts, const std::string& output,
                    std::string& error)
{
    std::vector<std::string> argv = {"/proc/self/exe", "serve",
                                     kind == ReferenceKind::Floor ? "floor" : "bare", "--cat",
                                     joined(catPorts)};
    if (!linePorts.empty()) {
        argv.push_back("--lines");
        argv.push_back(joined(linePorts));
    }
    if (!process.start(argv, output, error))
        return false;
    if (!waitForLines(process, "serving", 1, 5000)) {
        error = "the reference server did not start, see " + output;
        return false;
    }
    return true;
}

// CPU seconds per second each process uses over the same `seconds`, after a moment to settle.
std::vector<double> cpuRates(const std::vector<pid_t>& pids, int seconds)
{
    sleepMs(1000);
    std::vector<double> before;
    for (const pid_t pid : pids)
        before.push_back(cpuSeconds(pid));
    sleepMs(seconds * 1000);
    std::vector<double> rates;
    for (std::size_t i = 0; i < pids.size(); ++i)
        rates.push_back((cpuSeconds(pids[i]) - before[i]) / seconds);
    return rates;
}

struct Probe {
    const char* command;
    std::size_t answerLength;
};
constexpr Probe probes[] = {{"FA;", 14}, {"IF;", 38}};

void addSeries(BenchResults& results, const char* server, const Probe& probe, LatencySeries series)
{
    LatencyRow row;
    row.server = server;
    row.command = probe.command;
    row.stats = percentiles(series.microseconds);
    row.wrong = series.wrong;
    row.missing = series.missing;
    results.latency.push_back(row);
}

constexpr unsigned latencySeed = 480;

// Every channel's latency at once, one client thread per channel, all samples together.
struct ParallelLatency {
    std::vector<double> samples;
    double worstP99 = 0;
    long wrong = 0;
    long missing = 0;
};

ParallelLatency measureInParallel(Lines& lines, int count)
{
    std::vector<LatencySeries> series(lines.clients.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < lines.clients.size(); ++i)
        threads.emplace_back([&, i] {
            series[i] =
                measureLatency(*lines.clients[i], "FA;", 14, count, latencySeed + unsigned(i));
        });
    for (std::thread& thread : threads)
        thread.join();
    ParallelLatency result;
    for (LatencySeries& one : series) {
        result.samples.insert(result.samples.end(), one.microseconds.begin(),
                              one.microseconds.end());
        result.wrong += one.wrong;
        result.missing += one.missing;
        result.worstP99 = std::max(result.worstP99, percentiles(one.microseconds).p99);
    }
    return result;
}

} // namespace

Scenarios::Scenarios(const BenchOptions& options, std::string work)
    : options(options), work(std::move(work))
{
}

std::string Scenarios::runName(const std::string& what)
{
    return std::to_string(++runs) + "-" + what;
}

bool Scenarios::latency(BenchResults& results, std::string& error)
{
    // The plug-in and both references serve side by side on pairs of their own; the client
    // takes turns among them in short blocks, so a burst of other load on the machine falls on
    // all three alike instead of on whichever happened to be measured then.
    Lines lines;
    HostSimRun host;
    ChildProcess floor;
    ChildProcess bare;
    HostSimSetup setup;
    if (!lines.open(3, work, error))
        return false;
    setup.catPorts = lines.hostNames(0, 1);
    if (!host.start(options.hostSim, options.plugin, work, runName("latency"), setup, error) ||
        !startReference(floor, ReferenceKind::Floor, lines.hostNames(1, 1), {},
                        work + "/" + runName("floor") + ".out", error) ||
        !startReference(bare, ReferenceKind::BareLoop, lines.hostNames(2, 1), {},
                        work + "/" + runName("bare") + ".out", error))
        return false;

    constexpr int blocks = 10;
    const char* const servers[] = {"plug-in", "floor", "bare loop"};
    for (const Probe& probe : probes) {
        LatencySeries merged[3];
        for (int block = 0; block < blocks; ++block) {
            for (std::size_t i = 0; i < 3; ++i) {
                const LatencySeries part =
                    measureLatency(*lines.clients[i], probe.command, probe.answerLength,
                                   options.latencyCount() / blocks, latencySeed + unsigned(block));
                merged[i].microseconds.insert(merged[i].microseconds.end(),
                                              part.microseconds.begin(), part.microseconds.end());
                merged[i].wrong += part.wrong;
                merged[i].missing += part.missing;
            }
        }
        for (std::size_t i = 0; i < 3; ++i)
            addSeries(results, servers[i], probe, std::move(merged[i]));
    }
    return true;
}

bool Scenarios::throughput(BenchResults& results, std::string& error)
{
    Lines lines;
    HostSimRun host;
    HostSimSetup setup;
    if (!lines.open(1, work, error))
        return false;
    setup.catPorts = lines.hostNames(0, 1);
    if (!host.start(options.hostSim, options.plugin, work, runName("throughput"), setup, error))
        return false;
    results.throughput = runTraffic(*lines.clients[0], options.throughputCommands());
    return true;
}

bool Scenarios::idle(BenchResults& results, std::string& error)
{
    struct IdleSetup {
        const char* name;
        int channels;
        bool keyingPorts;
    };
    static constexpr IdleSetup setups[] = {
        {"1 CAT", 1, false},
        {"4 CAT", 4, false},
        {"8 CAT", 8, false},
        {"1 CAT + PTT + footswitch", 1, true},
    };
    for (const IdleSetup& idleSetup : setups) {
        IdleRow row;
        row.setup = idleSetup.name;
        row.channels = idleSetup.channels;
        row.ports = idleSetup.channels + (idleSetup.keyingPorts ? 2 : 0);
        const auto catCount = std::size_t(idleSetup.channels);
        const auto portCount = std::size_t(row.ports);

        // The three run side by side and are measured over the same window, so the other
        // programs on the machine weigh on all of them alike: host-sim with its ports open,
        // host-sim with the same transceivers and every port closed (the host's own cost),
        // and the bare loop on as many ports of its own.
        Lines hostLines;
        Lines bareLines;
        if (!hostLines.open(row.ports, work, error) || !bareLines.open(row.ports, work, error))
            return false;
        HostSimSetup setup;
        setup.channels = idleSetup.channels;
        HostSimRun baseline;
        if (!baseline.start(options.hostSim, options.plugin, work, runName("idle-baseline"), setup,
                            error))
            return false;
        setup.catPorts = hostLines.hostNames(0, catCount);
        if (idleSetup.keyingPorts) {
            setup.pttPort = hostLines.pairs[catCount]->hostName();
            setup.footSwitchPort = hostLines.pairs[catCount + 1]->hostName();
        }
        HostSimRun host;
        ChildProcess bare;
        if (!host.start(options.hostSim, options.plugin, work, runName("idle"), setup, error) ||
            !startReference(bare, ReferenceKind::BareLoop, bareLines.hostNames(0, catCount),
                            bareLines.hostNames(catCount, portCount - catCount),
                            work + "/" + runName("idle-bare") + ".out", error))
            return false;
        const std::vector<double> rates =
            cpuRates({host.pid(), baseline.pid(), bare.pid()}, options.idleSeconds());
        row.hostCpu = rates[0];
        row.hostBaseline = rates[1];
        row.bareCpu = rates[2];
        results.idle.push_back(row);
    }
    return true;
}

bool Scenarios::logCost(BenchResults& results, std::string& error)
{
    for (const bool viewOn : {false, true}) {
        Lines lines;
        HostSimRun host;
        HostSimSetup setup;
        if (!lines.open(1, work, error))
            return false;
        setup.catPorts = lines.hostNames(0, 1);
        if (!host.start(options.hostSim, options.plugin, work,
                        runName(viewOn ? "log-on" : "log-off"), setup, error))
            return false;
        if (viewOn && !host.script("logview 0 1", error))
            return false;
        // Warm up first with as many commands as are measured, so the allocator's pools, Qt's
        // caches and the deepest queue such a burst leaves are in the figure before: what
        // grows after that grows with the number of commands. With the view on the log grows
        // by design, and a tenth will do.
        runTraffic(*lines.clients[0], viewOn ? options.logCommands() / 10 : options.logCommands());
        waitUntilQuiet(host.pid(), 0.2, 60000);
        LogRow row;
        row.viewOn = viewOn;
        row.rssBeforeKiB = residentKiB(host.pid());
        row.traffic = runTraffic(*lines.clients[0], options.logCommands());
        // The log lines reach the panel through the GUI thread's queue; let it drain.
        waitUntilQuiet(host.pid(), 0.2, 180000);
        row.rssAfterKiB = residentKiB(host.pid());
        results.log.push_back(row);
    }
    return true;
}

bool Scenarios::scale(BenchResults& results, std::string& error)
{
    constexpr int channels = 8;
    results.scale.channels = channels;
    {
        Lines lines;
        HostSimRun host;
        HostSimSetup setup;
        if (!lines.open(channels, work, error))
            return false;
        setup.channels = channels;
        setup.catPorts = lines.hostNames(0, channels);
        if (!host.start(options.hostSim, options.plugin, work, runName("scale"), setup, error))
            return false;
        ParallelLatency measured = measureInParallel(lines, options.scaleCountPerChannel());
        results.scale.plugin = percentiles(measured.samples);
        results.scale.pluginWorstP99 = measured.worstP99;
        results.scale.wrong = measured.wrong;
        results.scale.missing = measured.missing;
    }
    Lines lines;
    ChildProcess server;
    if (!lines.open(channels, work, error) ||
        !startReference(server, ReferenceKind::BareLoop, lines.hostNames(0, channels), {},
                        work + "/" + runName("scale-bare") + ".out", error))
        return false;
    ParallelLatency measured = measureInParallel(lines, options.scaleCountPerChannel());
    results.scale.bare = percentiles(measured.samples);
    return true;
}
