// The TCP server's measurements (Scenarios::tcp and its parts): one host-sim serving TCP on a
// loopback port beside the TCP floor, clients of the benchmark's own connected to both.

#include "Scenarios.h"

#include "HostSimRun.h"
#include "Measuring.h"
#include "Traffic.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

namespace
{

constexpr int sessionCount = 8;
constexpr unsigned pollerSeed = 4480;
// Pushes of one kind go out at most every 20 ms: changes are this far apart, and a little more
// at random, so that each push is measured, not the hold-back.
constexpr int pushSpacingMs = 25;
constexpr auto pushTimeout = std::chrono::milliseconds(500);
// host-sim prints its "tuned" line just after reporting the change, so it may come after the push.
constexpr int tunedLineMs = 2000;

// `count` clients connected to `port`.
bool connectAll(int port, int count, std::vector<std::unique_ptr<ClientPort>>& clients,
                std::vector<ClientPort*>& ports, std::string& error)
{
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<ClientPort>());
        if (!clients.back()->connectTcp(port, error))
            return false;
        ports.push_back(clients.back().get());
    }
    return true;
}

// The FA answer for `hz`: 11 digits.
std::string faAnswer(long hz)
{
    char text[32];
    std::snprintf(text, sizeof text, "FA%011ld;", hz);
    return text;
}

} // namespace

bool Scenarios::tcp(BenchResults& results, std::string& error)
{
    const Build build = options.builds().front();
    const int port = freeTcpPort();
    const int floorPort = freeTcpPort();
    HostSimRun host;
    HostSimSetup setup;
    setup.tcpPort = port;
    ChildProcess floor;
    if (port == 0 || floorPort == 0 || floorPort == port) {
        error = "no free TCP ports";
        return false;
    }
    if (!host.start(build.hostSim, build.plugin, work, runName("tcp-" + build.label), setup,
                    error) ||
        !startReference(floor, ReferenceKind::TcpFloor, {}, {},
                        work + "/" + runName("tcp-floor") + ".out", error, floorPort))
        return false;
    const std::vector<std::string> labels = {tcpLabel(build.label), tcpFloorLabel};

    {
        std::vector<std::unique_ptr<ClientPort>> clients;
        std::vector<std::vector<ClientPort*>> servers(2);
        if (!connectAll(port, 1, clients, servers[0], error) ||
            !connectAll(floorPort, 1, clients, servers[1], error))
            return false;
        for (const Probe& probe : probes) {
            auto series = measureInTurns(servers, probe, options.latencyCount());
            for (std::size_t s = 0; s < series.size(); ++s)
                results.latency.push_back(latencyRow(labels[s], probe.command, series[s][0]));
        }
    }
    {
        std::vector<std::unique_ptr<ClientPort>> clients;
        std::vector<std::vector<ClientPort*>> servers(2);
        if (!connectAll(port, sessionCount, clients, servers[0], error) ||
            !connectAll(floorPort, sessionCount, clients, servers[1], error))
            return false;
        results.tcp.sessions.channels = sessionCount;
        const auto series = measureInTurns(servers, scaleProbe, options.scaleCountPerChannel());
        for (std::size_t s = 0; s < series.size(); ++s)
            results.tcp.sessions.rows.push_back(scaleRow(labels[s], series[s]));
    }
    TcpResults& tcp = results.tcp;
    if (!pollBesideFlood(port, labels[0], "", tcp.pollerAlone, tcp.pollerBesideFlood, tcp.flood,
                         error) ||
        !pollBesideFlood(floorPort, labels[1], "floor: ", tcp.floorPollerAlone,
                         tcp.floorPollerBesideFlood, tcp.floorFlood, error) ||
        !tcpPush(host, port, tcp, error))
        return false;
    host.stop();
    floor.stop();
    if (!tcpIdle(build, results.tcp, error))
        return false;
    results.tcp.measured = true;
    return true;
}

bool Scenarios::pollBesideFlood(int port, const std::string& label, const std::string& prefix,
                                LatencyRow& alone, LatencyRow& beside, TrafficResult& flood,
                                std::string& error)
{
    ClientPort poller;
    ClientPort flooder;
    if (!poller.connectTcp(port, error) || !flooder.connectTcp(port, error))
        return false;
    LatencySeries aloneSeries = measureLatency(poller, scaleProbe.command, scaleProbe.answerLength,
                                               options.latencyCount(), pollerSeed);
    alone = latencyRow(label, prefix + "FA; alone", aloneSeries);

    std::atomic<bool> polling{true};
    std::thread flooding([&] {
        while (polling)
            add(flood, runTraffic(flooder, options.floodCommands() / 10,
                                  std::chrono::milliseconds(0), traffic::readCycle));
    });
    LatencySeries besideSeries = measureLatency(poller, scaleProbe.command,
                                                scaleProbe.answerLength, options.latencyCount(),
                                                pollerSeed);
    polling = false;
    flooding.join();
    beside = latencyRow(label, prefix + "FA; beside a flood", besideSeries);
    return true;
}

bool Scenarios::tcpPush(HostSimRun& host, int port, TcpResults& results, std::string& error)
{
    ClientPort listener;
    // The host has taken every line before (a script round trip), so the first change is not
    // held up behind earlier work.
    if (!host.script("vfo 0 7000000", error) || !listener.connectTcp(port, error) ||
        !listener.send("AI2;"))
        return false;
    std::mt19937 random(pollerSeed);
    std::uniform_int_distribution<int> extra(0, 10);
    LatencySeries series;
    for (int i = 1; i <= options.pushCount(); ++i) {
        const long hz = 7000000 + i * 10;
        sleepMs(pushSpacingMs + extra(random));
        listener.discardInput();
        const auto sent = std::chrono::steady_clock::now();
        if (!host.send("vfo 0 " + std::to_string(hz))) {
            error = "host-sim took no script line";
            return false;
        }
        std::string answer;
        if (!listener.receive(answer, sent + pushTimeout)) {
            ++series.missing;
            continue;
        }
        const double arrived = std::chrono::duration<double, std::micro>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
        const double tuned = host.tunedAt(0, hz, tunedLineMs);
        if (answer != faAnswer(hz) || tuned < 0) {
            ++series.wrong;
            continue;
        }
        ++series.right;
        series.microseconds.push_back(arrived - tuned);
    }
    results.push = latencyRow(results.pollerAlone.server, "FA push", series);
    return true;
}

bool Scenarios::tcpIdle(const Build& build, TcpResults& results, std::string& error)
{
    // As for quiet CAT ports: host-sim with its quiet clients, host-sim without a server (its
    // own cost) and the bare loop on one port, side by side over the same window.
    const int port = freeTcpPort();
    if (port == 0) {
        error = "no free TCP port";
        return false;
    }
    Lines bareLines;
    if (!bareLines.open(1, work, error))
        return false;
    HostSimSetup setup;
    HostSimRun baseline;
    if (!baseline.start(build.hostSim, build.plugin, work, runName("tcp-idle-baseline"), setup,
                        error))
        return false;
    setup.tcpPort = port;
    HostSimRun host;
    ChildProcess bare;
    std::vector<std::unique_ptr<ClientPort>> clients;
    std::vector<ClientPort*> quiet;
    if (!host.start(build.hostSim, build.plugin, work, runName("tcp-idle"), setup, error) ||
        !connectAll(port, sessionCount, clients, quiet, error) ||
        !startReference(bare, ReferenceKind::BareLoop, bareLines.hostNames(0, 1), {},
                        work + "/" + runName("tcp-idle-bare") + ".out", error))
        return false;
    const std::vector<double> rates =
        cpuRates({host.pid(), baseline.pid(), bare.pid()}, options.idleSeconds());
    results.quietSessions = sessionCount;
    results.idleHostCpu = rates[0];
    results.idleHostBaseline = rates[1];
    results.idleBareCpu = rates[2];
    return true;
}
