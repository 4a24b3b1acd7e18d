#include "Scenarios.h"

#include "CwKeying.h"
#include "HostSimRun.h"
#include "Measuring.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace
{

// How long the stalling client stops reading in the middle of its flood.
constexpr auto readingStall = std::chrono::seconds(2);

// host-sim of `build` serving CAT on one fresh pair, through socat or a direct one; `name`
// tells the run's files apart.
bool startOnOnePair(const Build& build, const std::string& work, const std::string& name,
                    Lines& lines, HostSimRun& host, std::string& error, bool direct = false)
{
    if (!lines.open(1, work, error, direct))
        return false;
    HostSimSetup setup;
    setup.catPorts = lines.hostNames(0, 1);
    return host.start(build.hostSim, build.plugin, work, name, setup, error);
}

// How often a script line goes to host-sim while a flood runs, to see its GUI thread keep up.
constexpr int scriptProbeIntervalMs = 200;

// Sends script lines to host-sim every so often from a thread of its own, as a user acting on
// the host while a client floods it, and keeps the longest time one took.
class ScriptProbe
{
public:
    explicit ScriptProbe(HostSimRun& host)
        : m_thread([this, &host] {
              for (int n = 0; !m_stop; ++n) {
                  const double ms = host.timedScript("smeter 0 -" + std::to_string(60 + n % 60) +
                                                     "." + std::to_string(n));
                  ++m_lines;
                  m_worstMs = ms < 0 || m_worstMs < 0 ? -1 : std::max(m_worstMs, ms);
                  sleepMs(scriptProbeIntervalMs);
              }
          })
    {
    }
    ~ScriptProbe() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int lines() const { return m_lines; }
    double worstMs() const { return m_worstMs; }

private:
    std::atomic<bool> m_stop{false};
    int m_lines = 0;
    double m_worstMs = 0;
    std::thread m_thread;
};

} // namespace

// Every build's host-sim and both references, each on pairs of its own.
struct Scenarios::SideBySide {
    Lines lines;
    std::vector<std::unique_ptr<HostSimRun>> hosts;
    ChildProcess floor;
    ChildProcess bare;
    std::vector<std::string> labels;             // per server
    std::vector<std::vector<ClientPort*>> ports; // per server, its client ends
};

Scenarios::Scenarios(const BenchOptions& options, std::string work)
    : options(options), work(std::move(work))
{
}

std::string Scenarios::runName(const std::string& what)
{
    return std::to_string(++runs) + "-" + what;
}

bool Scenarios::startSideBySide(int channels, SideBySide& run, std::string& error)
{
    const std::vector<Build> builds = options.builds();
    const std::size_t width = std::size_t(channels);
    const std::size_t servers = builds.size() + 2;
    if (!run.lines.open(channels * int(servers), work, error))
        return false;
    for (std::size_t s = 0; s < servers; ++s) {
        run.ports.emplace_back();
        for (std::size_t i = s * width; i < (s + 1) * width; ++i)
            run.ports.back().push_back(run.lines.clients[i].get());
    }
    for (std::size_t b = 0; b < builds.size(); ++b) {
        HostSimSetup setup;
        setup.channels = channels;
        setup.catPorts = run.lines.hostNames(b * width, width);
        run.hosts.push_back(std::make_unique<HostSimRun>());
        run.labels.push_back(builds[b].label);
        if (!run.hosts.back()->start(builds[b].hostSim, builds[b].plugin, work,
                                     runName("side-by-side-" + builds[b].label), setup, error))
            return false;
    }
    run.labels.push_back(floorLabel);
    run.labels.push_back(bareLabel);
    return startReference(run.floor, ReferenceKind::Floor,
                          run.lines.hostNames(builds.size() * width, width), {},
                          work + "/" + runName("floor") + ".out", error) &&
           startReference(run.bare, ReferenceKind::BareLoop,
                          run.lines.hostNames((builds.size() + 1) * width, width), {},
                          work + "/" + runName("bare") + ".out", error);
}

bool Scenarios::latency(BenchResults& results, std::string& error)
{
    SideBySide run;
    if (!startSideBySide(1, run, error))
        return false;
    for (const Probe& probe : probes) {
        const auto series = measureInTurns(run.ports, probe, options.latencyCount());
        for (std::size_t s = 0; s < series.size(); ++s) {
            LatencySeries merged = series[s].front();
            results.latency.push_back(latencyRow(run.labels[s], probe.command, merged));
        }
    }
    return true;
}

bool Scenarios::scale(BenchResults& results, std::string& error)
{
    constexpr int channels = 8;
    results.scale.channels = channels;
    SideBySide run;
    if (!startSideBySide(channels, run, error))
        return false;
    const auto series = measureInTurns(run.ports, scaleProbe, options.scaleCountPerChannel());
    for (std::size_t s = 0; s < series.size(); ++s)
        results.scale.rows.push_back(scaleRow(run.labels[s], series[s]));
    return true;
}

bool Scenarios::throughput(const Build& build, BuildResults& results, std::string& error)
{
    Lines lines;
    HostSimRun host;
    if (!startOnOnePair(build, work, runName("throughput-" + build.label), lines, host, error))
        return false;
    results.throughput = runTraffic(*lines.clients[0], options.throughputCommands());
    return true;
}

bool Scenarios::stall(const Build& build, BuildResults& results, std::string& error)
{
    // On a direct pair the plug-in alone decides whether an answer is lost; through socat the
    // relay's own coupling of the two directions takes part as well, as on users' virtual pairs.
    for (const bool direct : {true, false}) {
        Lines lines;
        HostSimRun host;
        const std::string name = std::string(direct ? "stall-direct-" : "stall-socat-");
        if (!startOnOnePair(build, work, runName(name + build.label), lines, host, error, direct))
            return false;
        (direct ? results.stall : results.stallRelayed) =
            runTraffic(*lines.clients[0], options.floodCommands(), readingStall);
    }
    return true;
}

bool Scenarios::idle(const Build& build, BuildResults& results, std::string& error)
{
    struct IdleSetup {
        const char* name;
        int channels;
        bool keyingPorts;
        int pttLine;
    };
    static constexpr IdleSetup setups[] = {
        {"1 CAT", 1, false, 0},
        {"4 CAT", 4, false, 0},
        {"8 CAT", 8, false, 0},
        {"1 CAT, CAT line for PTT", 1, false, 1},
        {"1 CAT + PTT + footswitch", 1, true, 0},
    };
    for (const IdleSetup& idleSetup : setups) {
        IdleRow row;
        row.setup = idleSetup.name;
        row.channels = idleSetup.channels;
        row.ports = idleSetup.channels + (idleSetup.keyingPorts ? 2 : 0);
        row.catLine = idleSetup.pttLine != 0;
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
        if (!baseline.start(build.hostSim, build.plugin, work,
                            runName("idle-baseline-" + build.label), setup, error))
            return false;
        setup.catPorts = hostLines.hostNames(0, catCount);
        setup.pttLine = idleSetup.pttLine;
        if (idleSetup.keyingPorts) {
            setup.pttPort = hostLines.pairs[catCount]->hostName();
            setup.footSwitchPort = hostLines.pairs[catCount + 1]->hostName();
        }
        HostSimRun host;
        ChildProcess bare;
        if (!host.start(build.hostSim, build.plugin, work, runName("idle-" + build.label), setup,
                        error) ||
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

bool Scenarios::logCost(const Build& build, BuildResults& results, std::string& error)
{
    for (const bool viewOn : {false, true}) {
        Lines lines;
        HostSimRun host;
        const std::string name = std::string(viewOn ? "log-on-" : "log-off-") + build.label;
        if (!startOnOnePair(build, work, runName(name), lines, host, error))
            return false;
        if (viewOn && !host.script("logview 0 1", error))
            return false;
        // Warm up first with as many commands as are measured, so the allocator's pools, Qt's
        // caches and the deepest queue such a burst leaves (with the view on, the log lines
        // waiting for the GUI thread) are in the figure before: what grows after that grows
        // with the number of commands, such as a log view that keeps every line.
        runTraffic(*lines.clients[0], options.floodCommands());
        waitUntilQuiet(host.pid(), 0.2, 60000);
        LogRow row;
        row.viewOn = viewOn;
        row.rssBeforeKiB = residentKiB(host.pid());
        ScriptProbe probe(host);
        row.traffic = runTraffic(*lines.clients[0], options.floodCommands());
        probe.stop();
        row.scriptLines = probe.lines();
        row.scriptWorstMs = probe.worstMs();
        // The log lines reach the panel through the GUI thread's queue; let it drain.
        waitUntilQuiet(host.pid(), 0.2, 180000);
        row.rssAfterKiB = residentKiB(host.pid());
        results.log.push_back(row);
    }
    return true;
}

bool Scenarios::keying(const Build& build, BuildResults& results, std::string& error)
{
    Lines lines;
    HostSimRun host;
    if (!startOnOnePair(build, work, runName("keying-" + build.label), lines, host, error))
        return false;
    for (const char* load : keyingLoads) {
        for (const int wpm : keyingSpeeds)
            results.keying.push_back(measureKeying(*lines.clients[0], host.outputPath(), wpm, load,
                                                   options.keyingSeconds()));
    }
    return true;
}
