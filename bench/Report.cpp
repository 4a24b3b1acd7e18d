#include "Report.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

namespace
{

double ratio(double a, double b)
{
    return b > 0 ? a / b : 0;
}

void printLatency(const BenchResults& results)
{
    std::printf("Round trips, one command at a time (us)\n");
    std::printf("  %-12s %-4s %6s %8s %8s %8s %8s %6s %6s %8s\n", "server", "cmd", "n", "p50",
                "p90", "p99", "max", "right", "wrong", "missing");
    for (const LatencyRow& row : results.latency)
        std::printf("  %-12s %-4s %6ld %8.0f %8.0f %8.0f %8.0f %6ld %6ld %8ld\n",
                    row.server.c_str(), row.command.c_str(), row.stats.count, row.stats.p50,
                    row.stats.p90, row.stats.p99, row.stats.max, row.right, row.wrong, row.missing);
    std::printf("  against the floor and the bare loop (p50 / p99):\n");
    for (const BuildResults& build : results.builds) {
        for (const char* command : {"FA;", "IF;"}) {
            const LatencyRow* plugin = findLatency(results, build.label, command);
            const LatencyRow* floor = findLatency(results, floorLabel, command);
            const LatencyRow* bare = findLatency(results, bareLabel, command);
            if (!plugin || !floor || !bare)
                continue;
            std::printf("    %-8s %-4s floor %5.2fx / %5.2fx   bare loop %5.2fx / %5.2fx\n",
                        build.label.c_str(), command, ratio(plugin->stats.p50, floor->stats.p50),
                        ratio(plugin->stats.p99, floor->stats.p99),
                        ratio(plugin->stats.p50, bare->stats.p50),
                        ratio(plugin->stats.p99, bare->stats.p99));
        }
    }
}

void printTrafficRow(const char* what, const std::string& label, const TrafficResult& traffic)
{
    std::printf("  %-8s %-16s %7ld %9.0f %8ld %6ld %8ld %8.3f\n", label.c_str(), what,
                traffic.commands, traffic.commandsPerSecond(), traffic.right, traffic.wrong,
                traffic.missing, traffic.seconds);
}

void printTraffic(const std::vector<BuildResults>& builds)
{
    std::printf("\nFloods, writes back to back, every answer checked\n");
    std::printf("  %-8s %-16s %7s %9s %8s %6s %8s %8s\n", "build", "run", "cmds", "cmd/s", "right",
                "wrong", "missing", "seconds");
    for (const BuildResults& build : builds) {
        printTrafficRow("throughput", build.label, build.throughput);
        printTrafficRow("2 s read stall", build.label, build.stall);
        printTrafficRow("stall via socat", build.label, build.stallRelayed);
        for (const LogRow& row : build.log)
            printTrafficRow(row.viewOn ? "log view on" : "log view off", build.label, row.traffic);
    }
}

void printIdle(const std::vector<BuildResults>& builds)
{
    std::printf("\nIdle CPU, ports open and quiet (%% of one CPU)\n");
    std::printf("  %-8s %-26s %5s %9s %9s %9s %10s %10s %6s\n", "build", "setup", "ports",
                "host-sim", "baseline", "bare", "host/chan", "bare/chan", "ratio");
    for (const BuildResults& build : builds) {
        for (const IdleRow& row : build.idle)
            std::printf("  %-8s %-26s %5d %9.2f %9.2f %9.2f %10.2f %10.2f %6.2f\n",
                        build.label.c_str(), row.setup.c_str(), row.ports, 100 * row.hostCpu,
                        100 * row.hostBaseline, 100 * row.bareCpu, 100 * row.hostPerChannel(),
                        100 * row.barePerChannel(),
                        ratio(row.hostPerChannel(), row.barePerChannel()));
    }
    std::printf("  (baseline: host-sim with the same transceivers and no port open; host/chan "
                "is host-sim beyond it)\n");
}

void printLog(const std::vector<BuildResults>& builds)
{
    std::printf(
        "\nLog cost, host-sim memory around the flood (KiB) and its script lines meanwhile\n");
    std::printf("  %-8s %-9s %9s %9s %9s %9s %8s %10s\n", "build", "log view", "commands", "before",
                "after", "growth", "scripts", "worst ms");
    for (const BuildResults& build : builds) {
        for (const LogRow& row : build.log)
            std::printf("  %-8s %-9s %9ld %9ld %9ld %9ld %8d %10.0f\n", build.label.c_str(),
                        row.viewOn ? "on" : "off", row.traffic.commands, row.rssBeforeKiB,
                        row.rssAfterKiB, row.rssAfterKiB - row.rssBeforeKiB, row.scriptLines,
                        row.scriptWorstMs);
    }
}

void printKeying(const std::vector<BuildResults>& builds)
{
    std::printf("\nCW text from KY, key edges against the ideal schedule (us)\n");
    std::printf("  %-8s %4s %-12s %11s %8s %8s %8s %7s %6s %6s %8s\n", "build", "wpm", "load",
                "edges", "p50", "p99", "max", "cmds", "right", "wrong", "missing");
    for (const BuildResults& build : builds) {
        for (const KeyingRow& row : build.keying)
            std::printf("  %-8s %4d %-12s %5ld/%-5ld %8.0f %8.0f %8.0f %7ld %6ld %6ld %8ld\n",
                        build.label.c_str(), row.wpm, row.load.c_str(), row.edges,
                        row.expectedEdges, row.errorUs.p50, row.errorUs.p99, row.errorUs.max,
                        row.traffic.commands, row.traffic.right, row.traffic.wrong,
                        row.traffic.missing);
    }
}

void printScale(const ScaleResult& scale, const char* what = "channels served at once")
{
    std::printf("\nScale, %d %s, \"FA;\" (us)\n", scale.channels, what);
    std::printf("  %-12s %6s %8s %8s %8s %8s %10s %6s %6s %8s\n", "server", "n", "p50", "p90",
                "p99", "max", "worst p99", "right", "wrong", "missing");
    for (const ScaleRow& row : scale.rows)
        std::printf("  %-12s %6ld %8.0f %8.0f %8.0f %8.0f %10.0f %6ld %6ld %8ld\n",
                    row.server.c_str(), row.stats.count, row.stats.p50, row.stats.p90,
                    row.stats.p99, row.stats.max, row.worstP99, row.right, row.wrong, row.missing);
}

void printLatencyRow(const LatencyRow& row)
{
    std::printf("  %-25s %6ld %8.0f %8.0f %8.0f %8.0f %6ld %6ld %8ld\n", row.command.c_str(),
                row.stats.count, row.stats.p50, row.stats.p90, row.stats.p99, row.stats.max,
                row.right, row.wrong, row.missing);
}

void printTcp(const TcpResults& tcp)
{
    if (!tcp.measured)
        return;
    printScale(tcp.sessions, "TCP sessions of one channel polling at once");
    std::printf("\nOne TCP session, alone and beside a flooding session; auto-information pushes; "
                "the TCP floor's poller alone and beside a flood (us)\n");
    std::printf("  %-25s %6s %8s %8s %8s %8s %6s %6s %8s\n", "run", "n", "p50", "p90", "p99", "max",
                "right", "wrong", "missing");
    printLatencyRow(tcp.pollerAlone);
    printLatencyRow(tcp.pollerBesideFlood);
    printLatencyRow(tcp.push);
    printLatencyRow(tcp.floorPollerAlone);
    printLatencyRow(tcp.floorPollerBesideFlood);
    std::printf("  the flood beside it: %ld commands, right %ld, wrong %ld, missing %ld\n",
                tcp.flood.commands, tcp.flood.right, tcp.flood.wrong, tcp.flood.missing);
    std::printf("  the floor's flood: %ld commands, right %ld, wrong %ld, missing %ld\n",
                tcp.floorFlood.commands, tcp.floorFlood.right, tcp.floorFlood.wrong,
                tcp.floorFlood.missing);
    std::printf("  idle, %d quiet sessions: host-sim %.2f %% beyond %.2f %% without a server, "
                "bare loop %.2f %%\n",
                tcp.quietSessions, 100 * (tcp.idleHostCpu - tcp.idleHostBaseline),
                100 * tcp.idleHostBaseline, 100 * tcp.idleBareCpu);
}

using Json = nlohmann::ordered_json;

Json statsJson(const Percentiles& stats)
{
    return {{"count", stats.count},
            {"p50_us", stats.p50},
            {"p90_us", stats.p90},
            {"p99_us", stats.p99},
            {"max_us", stats.max}};
}

Json trafficJson(const TrafficResult& traffic)
{
    return {{"commands", traffic.commands},
            {"answers_expected", traffic.answersExpected},
            {"right", traffic.right},
            {"wrong", traffic.wrong},
            {"missing", traffic.missing},
            {"seconds", traffic.seconds},
            {"commands_per_second", traffic.commandsPerSecond()}};
}

// The runs made per build, under the keys the results file has always had for them.
void addBuildJson(Json& json, const BuildResults& build)
{
    json["throughput"] = trafficJson(build.throughput);
    json["stall"] = trafficJson(build.stall);
    json["stall_socat"] = trafficJson(build.stallRelayed);
    Json& idle = json["idle"] = Json::array();
    for (const IdleRow& row : build.idle)
        idle.push_back({{"setup", row.setup},
                        {"cat_channels", row.channels},
                        {"ports", row.ports},
                        {"cat_line", row.catLine},
                        {"host_sim_cpu", row.hostCpu},
                        {"host_sim_baseline_cpu", row.hostBaseline},
                        {"bare_loop_cpu", row.bareCpu},
                        {"host_sim_cpu_per_channel", row.hostPerChannel()},
                        {"bare_loop_cpu_per_channel", row.barePerChannel()}});
    Json& log = json["log"] = Json::array();
    for (const LogRow& row : build.log)
        log.push_back({{"log_view", row.viewOn},
                       {"script_lines", row.scriptLines},
                       {"script_worst_ms", row.scriptWorstMs},
                       {"rss_before_kib", row.rssBeforeKiB},
                       {"rss_after_kib", row.rssAfterKiB},
                       {"traffic", trafficJson(row.traffic)}});
    Json& keying = json["cw_keying"] = Json::array();
    for (const KeyingRow& row : build.keying)
        keying.push_back({{"wpm", row.wpm},
                          {"load", row.load},
                          {"edges", row.edges},
                          {"expected_edges", row.expectedEdges},
                          {"edge_error", statsJson(row.errorUs)},
                          {"traffic", trafficJson(row.traffic)}});
}

// The eight-channel run: the build under test keeps the keys "plugin", "wrong" and "missing";
// every server is also listed by name.
Json scaleJson(const ScaleResult& scale, const std::string& label)
{
    Json json = {{"channels", scale.channels}};
    Json servers = Json::array();
    for (const ScaleRow& row : scale.rows) {
        servers.push_back({{"server", row.server},
                           {"round_trip", statsJson(row.stats)},
                           {"worst_channel_p99_us", row.worstP99},
                           {"right", row.right},
                           {"wrong", row.wrong},
                           {"missing", row.missing}});
        if (row.server == label) {
            json["plugin"] = statsJson(row.stats);
            json["plugin_worst_channel_p99_us"] = row.worstP99;
            json["right"] = row.right;
            json["wrong"] = row.wrong;
            json["missing"] = row.missing;
        } else if (row.server == floorLabel) {
            json["floor"] = statsJson(row.stats);
        } else if (row.server == bareLabel) {
            json["bare_loop"] = statsJson(row.stats);
        }
    }
    json["servers"] = servers;
    return json;
}

Json latencyJson(const LatencyRow& row)
{
    return {{"server", row.server}, {"command", row.command}, {"round_trip", statsJson(row.stats)},
            {"right", row.right},   {"wrong", row.wrong},     {"missing", row.missing}};
}

Json tcpJson(const TcpResults& tcp, const std::string& label)
{
    return {{"sessions", scaleJson(tcp.sessions, tcpLabel(label))},
            {"poller_alone", latencyJson(tcp.pollerAlone)},
            {"poller_beside_flood", latencyJson(tcp.pollerBesideFlood)},
            {"flood", trafficJson(tcp.flood)},
            {"floor_poller_alone", latencyJson(tcp.floorPollerAlone)},
            {"floor_poller_beside_flood", latencyJson(tcp.floorPollerBesideFlood)},
            {"push", latencyJson(tcp.push)},
            {"idle",
             {{"quiet_sessions", tcp.quietSessions},
              {"host_sim_cpu", tcp.idleHostCpu},
              {"host_sim_baseline_cpu", tcp.idleHostBaseline},
              {"bare_loop_cpu", tcp.idleBareCpu}}}};
}

} // namespace

void printTable(const BenchResults& results, const std::vector<Target>& targets)
{
    std::printf("\nCAT plug-in benchmark   load average before %s, after %s\n\n",
                results.loadBefore.c_str(), results.loadAfter.c_str());
    printLatency(results);
    printTraffic(results.builds);
    printIdle(results.builds);
    printLog(results.builds);
    printKeying(results.builds);
    printScale(results.scale);
    printTcp(results.tcp);
    const bool before = results.builds.size() > 1;
    std::printf("\nTargets (%s%s)\n", results.builds.empty() ? "" : results.builds[0].label.c_str(),
                before ? ", and the same measurement of the build before it" : "");
    std::printf("  %-50s %-34s %-34s %-6s %s\n", "target", "measured", "limit", "",
                before ? "before" : "");
    for (const Target& target : targets)
        std::printf("  %-50s %-34s %-34s %-6s %s\n", target.name.c_str(), target.measured.c_str(),
                    target.limit.c_str(), target.met ? "met" : "MISSED", target.before.c_str());
}

bool writeJson(const BenchResults& results, const std::vector<Target>& targets,
               const std::string& path)
{
    Json json = {{"load_before", results.loadBefore}, {"load_after", results.loadAfter}};
    Json& latency = json["latency"] = Json::array();
    for (const LatencyRow& row : results.latency)
        latency.push_back(latencyJson(row));
    const std::string label = results.builds.empty() ? std::string() : results.builds[0].label;
    if (!results.builds.empty())
        addBuildJson(json, results.builds[0]);
    json["scale"] = scaleJson(results.scale, label);
    if (results.tcp.measured)
        json["tcp"] = tcpJson(results.tcp, label);
    Json& judged = json["targets"] = Json::array();
    for (const Target& target : targets) {
        judged.push_back({{"name", target.name},
                          {"measured", target.measured},
                          {"target", target.limit},
                          {"met", target.met}});
        if (!target.before.empty())
            judged.back()["before"] = target.before;
    }
    if (results.builds.size() > 1) {
        Json& before = json["before"] = {{"label", results.builds[1].label}};
        addBuildJson(before, results.builds[1]);
    }
    std::ofstream file(path);
    file << json.dump(2) << "\n";
    return bool(file);
}
