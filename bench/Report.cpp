#include "Report.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

namespace
{

// Log growth up to this much is the allocator's noise, not growth.
constexpr long flatMemoryKiB = 256;

const LatencyRow* findLatency(const BenchResults& results, const std::string& server,
                              const std::string& command)
{
    for (const LatencyRow& row : results.latency) {
        if (row.server == server && row.command == command)
            return &row;
    }
    return nullptr;
}

double ratio(double a, double b)
{
    return b > 0 ? a / b : 0;
}

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

void printLatency(const BenchResults& results)
{
    std::printf("Round trips, one command at a time (us)\n");
    std::printf("  %-10s %-4s %6s %8s %8s %8s %8s %6s %8s\n", "server", "cmd", "n", "p50", "p90",
                "p99", "max", "wrong", "missing");
    for (const LatencyRow& row : results.latency)
        std::printf("  %-10s %-4s %6ld %8.0f %8.0f %8.0f %8.0f %6ld %8ld\n", row.server.c_str(),
                    row.command.c_str(), row.stats.count, row.stats.p50, row.stats.p90,
                    row.stats.p99, row.stats.max, row.wrong, row.missing);
    std::printf("  plug-in / floor and plug-in / bare loop:\n");
    for (const char* command : {"FA;", "IF;"}) {
        const LatencyRow* plugin = findLatency(results, "plug-in", command);
        const LatencyRow* floor = findLatency(results, "floor", command);
        const LatencyRow* bare = findLatency(results, "bare loop", command);
        if (!plugin || !floor || !bare)
            continue;
        std::printf(
            "    %-4s p50 %5.2fx / %4.2fx   p99 %5.2fx / %4.2fx\n", command,
            ratio(plugin->stats.p50, floor->stats.p50), ratio(plugin->stats.p50, bare->stats.p50),
            ratio(plugin->stats.p99, floor->stats.p99), ratio(plugin->stats.p99, bare->stats.p99));
    }
}

void printThroughput(const TrafficResult& traffic)
{
    std::printf("\nThroughput, writes back to back (%ld commands, %ld answers expected)\n",
                traffic.commands, traffic.answersExpected);
    std::printf("  %.0f commands/s   right %ld   wrong %ld   missing %ld   (%.3f s)\n",
                traffic.commandsPerSecond(), traffic.right, traffic.wrong, traffic.missing,
                traffic.seconds);
}

void printIdle(const std::vector<IdleRow>& rows)
{
    std::printf("\nIdle CPU, ports open and quiet (%% of one CPU)\n");
    std::printf("  %-26s %5s %9s %9s %9s %11s %11s %6s\n", "setup", "ports", "host-sim", "baseline",
                "bare", "host/chan", "bare/chan", "ratio");
    for (const IdleRow& row : rows)
        std::printf("  %-26s %5d %9.2f %9.2f %9.2f %11.2f %11.2f %6.2f\n", row.setup.c_str(),
                    row.ports, 100 * row.hostCpu, 100 * row.hostBaseline, 100 * row.bareCpu,
                    100 * row.hostPerChannel(), 100 * row.barePerChannel(),
                    ratio(row.hostPerChannel(), row.barePerChannel()));
    std::printf("  (baseline: host-sim with the same transceivers and no port open; host/chan "
                "is host-sim beyond it)\n");
}

void printLog(const std::vector<LogRow>& rows)
{
    std::printf("\nLog cost, host-sim memory around the commands (KiB)\n");
    std::printf("  %-9s %9s %9s %9s %9s %9s %7s\n", "log view", "commands", "before", "after",
                "growth", "cmd/s", "wrong");
    for (const LogRow& row : rows)
        std::printf("  %-9s %9ld %9ld %9ld %9ld %9.0f %7ld\n", row.viewOn ? "on" : "off",
                    row.traffic.commands, row.rssBeforeKiB, row.rssAfterKiB,
                    row.rssAfterKiB - row.rssBeforeKiB, row.traffic.commandsPerSecond(),
                    row.traffic.wrong + row.traffic.missing);
}

void printScale(const ScaleResult& scale)
{
    std::printf("\nScale, %d channels served at once, \"FA;\" (us)\n", scale.channels);
    std::printf("  %-10s %6s %8s %8s %8s %8s\n", "server", "n", "p50", "p90", "p99", "max");
    for (const auto& [name, stats] :
         {std::pair{"plug-in", scale.plugin}, {"bare loop", scale.bare}})
        std::printf("  %-10s %6ld %8.0f %8.0f %8.0f %8.0f\n", name, stats.count, stats.p50,
                    stats.p90, stats.p99, stats.max);
    std::printf("  worst channel p99 %.0f us; wrong %ld, missing %ld\n", scale.pluginWorstP99,
                scale.wrong, scale.missing);
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

} // namespace

std::vector<Target> judgeTargets(const BenchResults& results)
{
    std::vector<Target> targets;
    const LatencyRow* fa = findLatency(results, "plug-in", "FA;");
    const LatencyRow* bareFa = findLatency(results, "bare loop", "FA;");
    if (fa && bareFa) {
        targets.push_back(
            {"\"FA;\" p99", format("%.0f us", fa->stats.p99), "<= 1000 us", fa->stats.p99 <= 1000});
        const double limit = 1.15 * bareFa->stats.p50;
        targets.push_back({"\"FA;\" p50", format("%.0f us", fa->stats.p50),
                           format("<= %.0f us (1.15 x bare loop)", limit), fa->stats.p50 <= limit});
    }
    const TrafficResult& traffic = results.throughput;
    targets.push_back({"throughput", format("%.0f commands/s", traffic.commandsPerSecond()),
                       ">= 20000 commands/s", traffic.commandsPerSecond() >= 20000});
    targets.push_back({"wrong or missing answers", std::to_string(traffic.wrong + traffic.missing),
                       "0", traffic.wrong + traffic.missing == 0});
    for (const IdleRow& row : results.idle) {
        const double limit = 1.25 * row.barePerChannel();
        targets.push_back(
            {"idle CPU per channel, " + row.setup, format("%.2f %%", 100 * row.hostPerChannel()),
             format("<= %.2f %% (1.25 x bare loop)", 100 * limit), row.hostPerChannel() <= limit});
    }
    const ScaleResult& scale = results.scale;
    targets.push_back({std::to_string(scale.channels) + "-channel p99",
                       format("%.0f us", scale.plugin.p99), "<= 1500 us",
                       scale.plugin.p99 <= 1500 && scale.plugin.count > 0});
    for (const LogRow& row : results.log) {
        if (row.viewOn)
            continue;
        const long growth = row.rssAfterKiB - row.rssBeforeKiB;
        targets.push_back({"memory growth, log view off", std::to_string(growth) + " KiB",
                           "<= " + std::to_string(flatMemoryKiB) + " KiB (flat)",
                           growth <= flatMemoryKiB});
    }
    return targets;
}

void printTable(const BenchResults& results, const std::vector<Target>& targets)
{
    std::printf("\nCAT plug-in benchmark   load average before %s, after %s\n\n",
                results.loadBefore.c_str(), results.loadAfter.c_str());
    printLatency(results);
    printThroughput(results.throughput);
    printIdle(results.idle);
    printLog(results.log);
    printScale(results.scale);
    std::printf("\nTargets\n");
    for (const Target& target : targets)
        std::printf("  %-48s %-18s %-32s %s\n", target.name.c_str(), target.measured.c_str(),
                    target.limit.c_str(), target.met ? "met" : "MISSED");
}

bool writeJson(const BenchResults& results, const std::vector<Target>& targets,
               const std::string& path)
{
    Json json = {{"load_before", results.loadBefore}, {"load_after", results.loadAfter}};
    Json& latency = json["latency"] = Json::array();
    for (const LatencyRow& row : results.latency)
        latency.push_back({{"server", row.server},
                           {"command", row.command},
                           {"round_trip", statsJson(row.stats)},
                           {"wrong", row.wrong},
                           {"missing", row.missing}});
    json["throughput"] = trafficJson(results.throughput);
    Json& idle = json["idle"] = Json::array();
    for (const IdleRow& row : results.idle)
        idle.push_back({{"setup", row.setup},
                        {"cat_channels", row.channels},
                        {"ports", row.ports},
                        {"host_sim_cpu", row.hostCpu},
                        {"host_sim_baseline_cpu", row.hostBaseline},
                        {"bare_loop_cpu", row.bareCpu},
                        {"host_sim_cpu_per_channel", row.hostPerChannel()},
                        {"bare_loop_cpu_per_channel", row.barePerChannel()}});
    Json& log = json["log"] = Json::array();
    for (const LogRow& row : results.log)
        log.push_back({{"log_view", row.viewOn},
                       {"rss_before_kib", row.rssBeforeKiB},
                       {"rss_after_kib", row.rssAfterKiB},
                       {"traffic", trafficJson(row.traffic)}});
    json["scale"] = {{"channels", results.scale.channels},
                     {"plugin", statsJson(results.scale.plugin)},
                     {"plugin_worst_channel_p99_us", results.scale.pluginWorstP99},
                     {"bare_loop", statsJson(results.scale.bare)},
                     {"wrong", results.scale.wrong},
                     {"missing", results.scale.missing}};
    Json& judged = json["targets"] = Json::array();
    for (const Target& target : targets)
        judged.push_back({{"name", target.name},
                          {"measured", target.measured},
                          {"target", target.limit},
                          {"met", target.met}});
    std::ofstream file(path);
    file << json.dump(2) << "\n";
    return bool(file);
}
