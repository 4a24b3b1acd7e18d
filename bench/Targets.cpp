#include "Targets.h"

#include <algorithm>

#include <cstdio>

namespace
{

// Round trips of one command: p50 within this factor of the floor's, p99 within the limit.
constexpr double latencyP50Factor = 1.3;
constexpr double latencyP99LimitUs = 1000;
constexpr double throughputMinimum = 20000; // commands per second
// Idle CPU per channel against the bare loop's: a quiet port should cost next to nothing; a
// port whose lines are watched every millisecond does the bare loop's work, and no more.
constexpr double idleQuietFactor = 0.1;
constexpr double idleWatchedFactor = 1.1;
// Eight channels at once: p99 within this factor of the floor's serving as many.
constexpr double scaleP99Factor = 1.5;
// One TCP session polling beside another that floods: p99 within this factor of its own alone.
constexpr double floodP99Factor = 1.5;
// CW key edges against the ideal schedule.
constexpr double keyingP99LimitUs = 1000;
constexpr double keyingMaxLimitUs = 2000;
// Memory growth over the flood: up to this much is the allocator's noise, not growth.
constexpr long flatMemoryKiB = 256;
// With the log view on, the view keeps its last lines only: after a warm-up as large as the
// flood, the flood may grow memory by less than one full view's text (a few hundred bytes per
// line); a view that keeps every line grows by far more.
constexpr long boundedLogKiB = 4096;
// Meanwhile the host handles a user's action (a script line) within this, view on or off; and a
// flood with the view on leaves it within this much memory of one with the view off.
constexpr int scriptLimitMs = 100;
constexpr long viewBesideOffKiB = 8192;

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

const ScaleRow* findScale(const ScaleResult& scale, const std::string& server)
{
    for (const ScaleRow& row : scale.rows) {
        if (row.server == server)
            return &row;
    }
    return nullptr;
}

const BuildResults* findBuild(const BenchResults& results, const std::string& label)
{
    for (const BuildResults& build : results.builds) {
        if (build.label == label)
            return &build;
    }
    return nullptr;
}

// A figure in microseconds that must not exceed `limitUs`.
Target withinUs(const std::string& name, double measuredUs, double limitUs)
{
    return {name,
            format("%.0f us", measuredUs),
            format("<= %.0f us", limitUs),
            measuredUs <= limitUs,
            {}};
}

Target notMeasured(const std::string& name, const std::string& limit)
{
    return {name, "not measured", limit, false, {}};
}

// Every answer right, none wrong, none missing, and at least one answer at all.
Target answers(const std::string& name, long right, long wrong, long missing)
{
    return {name,
            "right " + std::to_string(right) + ", wrong " + std::to_string(wrong) + ", missing " +
                std::to_string(missing),
            "wrong 0, missing 0",
            right > 0 && wrong == 0 && missing == 0,
            {}};
}

Target answers(const std::string& name, const TrafficResult& traffic)
{
    return answers(name, traffic.right, traffic.wrong, traffic.missing);
}

// "FA;" and "IF;" round trips of `server` against `floorServer` (named `floorWord` in the
// limits); the names start with `prefix`.
void judgeLatency(const BenchResults& results, const std::string& server,
                  const std::string& floorServer, const std::string& prefix,
                  const std::string& floorWord, std::vector<Target>& targets)
{
    for (const char* command : {"FA;", "IF;"}) {
        const std::string name = prefix + "\"" + command + "\" ";
        const LatencyRow* row = findLatency(results, server, command);
        const LatencyRow* floor = findLatency(results, floorServer, command);
        const std::string p50Limit =
            format("<= %.2f x ", latencyP50Factor) + floorWord +
            (floor ? format(" (%.0f us)", latencyP50Factor * floor->stats.p50) : "");
        const std::string p99Limit = format("<= %.0f us", latencyP99LimitUs);
        if (!row || !floor || row->stats.count == 0 || floor->stats.count == 0) {
            targets.push_back(notMeasured(name + "p50", p50Limit));
            targets.push_back(notMeasured(name + "p99", p99Limit));
            targets.push_back(notMeasured(name + "answers", "wrong 0, missing 0"));
            continue;
        }
        targets.push_back({name + "p50",
                           format("%.0f us", row->stats.p50),
                           p50Limit,
                           row->stats.p50 <= latencyP50Factor * floor->stats.p50,
                           {}});
        targets.push_back(withinUs(name + "p99", row->stats.p99, latencyP99LimitUs));
        targets.push_back(answers(name + "answers", row->right, row->wrong, row->missing));
    }
}

void judgeIdle(const BuildResults& build, std::vector<Target>& targets)
{
    for (const IdleRow& row : build.idle) {
        const double factor = row.linesWatched() ? idleWatchedFactor : idleQuietFactor;
        const double limit = factor * row.barePerChannel();
        targets.push_back(
            {"idle CPU per channel, " + row.setup,
             format("%.2f %%", 100 * row.hostPerChannel()),
             format("<= %.2f %%", 100 * limit) + format(" (%.1f x bare loop)", factor),
             row.hostPerChannel() <= limit,
             {}});
    }
}

void judgeLog(const BuildResults& build, std::vector<Target>& targets)
{
    for (const LogRow& row : build.log) {
        const std::string view = row.viewOn ? "on" : "off";
        const long growth = row.rssAfterKiB - row.rssBeforeKiB;
        const long limit = row.viewOn ? boundedLogKiB : flatMemoryKiB;
        targets.push_back(
            {"memory growth, log view " + view,
             std::to_string(growth) + " KiB",
             "<= " + std::to_string(limit) + (row.viewOn ? " KiB (bounded)" : " KiB (flat)"),
             growth <= limit,
             {}});
        targets.push_back(answers("flood answers, log view " + view, row.traffic));
        targets.push_back(
            {"script line during the flood, log view " + view,
             row.scriptWorstMs < 0 ? std::string("not handled")
                                   : format("%.0f ms, worst of ", row.scriptWorstMs) +
                                         std::to_string(row.scriptLines),
             "<= " + std::to_string(scriptLimitMs) + " ms",
             row.scriptLines > 0 && row.scriptWorstMs >= 0 && row.scriptWorstMs <= scriptLimitMs,
             {}});
    }
    // The view costs the host no more than a few MB beside the same flood without it: what the
    // warm-up flood left behind, view on against view off.
    const auto row = [&build](bool viewOn) {
        return std::find_if(build.log.begin(), build.log.end(),
                            [viewOn](const LogRow& r) { return r.viewOn == viewOn; });
    };
    if (row(true) != build.log.end() && row(false) != build.log.end()) {
        const long beside = row(true)->rssBeforeKiB - row(false)->rssBeforeKiB;
        targets.push_back({"memory, log view on beside off",
                           std::to_string(beside) + " KiB",
                           "<= " + std::to_string(viewBesideOffKiB) + " KiB",
                           beside <= viewBesideOffKiB,
                           {}});
    }
}

const KeyingRow* findKeying(const BuildResults& build, int wpm, const std::string& load)
{
    for (const KeyingRow& row : build.keying) {
        if (row.wpm == wpm && row.load == load)
            return &row;
    }
    return nullptr;
}

void judgeKeying(const BuildResults& build, std::vector<Target>& targets)
{
    const std::string p99Limit = format("<= %.0f us", keyingP99LimitUs);
    const std::string maxLimit = format("<= %.0f us", keyingMaxLimitUs);
    for (const char* load : keyingLoads) {
        for (const int wpm : keyingSpeeds) {
            const std::string name = "CW " + std::to_string(wpm) + " wpm, " + load + ", ";
            const KeyingRow* row = findKeying(build, wpm, load);
            if (!row || row->errorUs.count == 0) {
                targets.push_back(notMeasured(name + "edge error p99", p99Limit));
                targets.push_back(notMeasured(name + "edge error max", maxLimit));
                targets.push_back(notMeasured(name + "edges and answers", "every edge, wrong 0"));
                continue;
            }
            targets.push_back(
                withinUs(name + "edge error p99", row->errorUs.p99, keyingP99LimitUs));
            targets.push_back(
                withinUs(name + "edge error max", row->errorUs.max, keyingMaxLimitUs));
            const TrafficResult& traffic = row->traffic;
            targets.push_back(
                {name + "edges and answers",
                 std::to_string(row->edges) + " of " + std::to_string(row->expectedEdges) +
                     " edges, answers right " + std::to_string(traffic.right) + ", wrong " +
                     std::to_string(traffic.wrong) + ", missing " + std::to_string(traffic.missing),
                 "every edge, wrong 0, missing 0",
                 row->edges == row->expectedEdges && traffic.right > 0 && traffic.wrong == 0 &&
                     traffic.missing == 0,
                 {}});
        }
    }
}

// Many clients at once: the p99 of `server`'s rows against `floorServer`'s.
void judgeScale(const ScaleResult& scale, const std::string& server, const std::string& floorServer,
                const std::string& name, const std::string& floorWord, std::vector<Target>& targets)
{
    const ScaleRow* row = findScale(scale, server);
    const ScaleRow* floor = findScale(scale, floorServer);
    const std::string limit =
        format("<= %.1f x ", scaleP99Factor) + floorWord +
        (floor ? format(" (%.0f us)", scaleP99Factor * floor->stats.p99) : "");
    if (!row || !floor || row->stats.count == 0 || floor->stats.count == 0) {
        targets.push_back(notMeasured(name + "p99", limit));
        targets.push_back(notMeasured(name + "answers", "wrong 0, missing 0"));
        return;
    }
    targets.push_back({name + "p99",
                       format("%.0f us", row->stats.p99),
                       limit,
                       row->stats.p99 <= scaleP99Factor * floor->stats.p99,
                       {}});
    targets.push_back(answers(name + "answers", row->right, row->wrong, row->missing));
}

// A p99 against a limit, or a miss when a series is empty.
Target p99Within(const std::string& name, const Percentiles& measured, double limit,
                 const std::string& limitText)
{
    if (measured.count == 0 || limit <= 0)
        return notMeasured(name, limitText);
    return {name, format("%.0f us", measured.p99), limitText, measured.p99 <= limit, {}};
}

void judgeTcp(const BenchResults& results, const std::string& label, std::vector<Target>& targets)
{
    const TcpResults& tcp = results.tcp;
    const std::string server = tcpLabel(label);
    judgeLatency(results, server, tcpFloorLabel, "TCP ", tcpFloorLabel, targets);
    judgeScale(tcp.sessions, server, tcpFloorLabel,
               std::to_string(tcp.sessions.channels) + " TCP sessions ", tcpFloorLabel, targets);

    const double aloneP99 = tcp.pollerAlone.stats.p99;
    targets.push_back(p99Within("TCP poller beside a flood p99", tcp.pollerBesideFlood.stats,
                                floodP99Factor * aloneP99,
                                format("<= %.1f x alone", floodP99Factor) +
                                    format(" (%.0f us)", floodP99Factor * aloneP99)));
    targets.push_back(answers("TCP poller answers",
                              tcp.pollerAlone.right + tcp.pollerBesideFlood.right,
                              tcp.pollerAlone.wrong + tcp.pollerBesideFlood.wrong,
                              tcp.pollerAlone.missing + tcp.pollerBesideFlood.missing));
    targets.push_back(answers("TCP flood answers", tcp.flood));

    Target push = p99Within("push latency p99", tcp.push.stats, latencyP99LimitUs,
                            format("<= %.0f us", latencyP99LimitUs));
    if (tcp.push.stats.count > 0)
        push.measured =
            format("%.0f us", tcp.push.stats.p99) + format(" (p50 %.0f us)", tcp.push.stats.p50);
    targets.push_back(push);
    targets.push_back(answers("pushes", tcp.push.right, tcp.push.wrong, tcp.push.missing));

    const double idle = tcp.idleHostCpu - tcp.idleHostBaseline;
    const double idleLimit = idleQuietFactor * tcp.idleBareCpu;
    const std::string idleName =
        "idle CPU, " + std::to_string(tcp.quietSessions) + " quiet TCP sessions";
    const std::string idleLimitText =
        format("<= %.2f %%", 100 * idleLimit) + format(" (%.1f x bare loop)", idleQuietFactor);
    targets.push_back(
        tcp.measured
            ? Target{idleName, format("%.2f %%", 100 * idle), idleLimitText, idle <= idleLimit, {}}
            : notMeasured(idleName, idleLimitText));
}

// The references must answer right too, or what the build is compared with means nothing.
void judgeReferences(const BenchResults& results, std::vector<Target>& targets)
{
    long right = 0;
    long wrong = 0;
    long missing = 0;
    for (const LatencyRow& row : results.latency) {
        if (row.server == floorLabel || row.server == bareLabel || row.server == tcpFloorLabel) {
            right += row.right;
            wrong += row.wrong;
            missing += row.missing;
        }
    }
    std::vector<ScaleRow> scaleRows = results.scale.rows;
    scaleRows.insert(scaleRows.end(), results.tcp.sessions.rows.begin(),
                     results.tcp.sessions.rows.end());
    for (const ScaleRow& row : scaleRows) {
        if (row.server == floorLabel || row.server == bareLabel || row.server == tcpFloorLabel) {
            right += row.right;
            wrong += row.wrong;
            missing += row.missing;
        }
    }
    targets.push_back(answers("reference servers' answers", right, wrong, missing));
}

} // namespace

std::vector<Target> judgeTargets(const BenchResults& results, const std::string& label)
{
    std::vector<Target> targets;
    judgeLatency(results, label, floorLabel, "", "floor", targets);
    const BuildResults* build = findBuild(results, label);
    const std::string throughputLimit = format(">= %.0f commands/s", throughputMinimum);
    if (build) {
        const TrafficResult& traffic = build->throughput;
        targets.push_back({"throughput",
                           format("%.0f commands/s", traffic.commandsPerSecond()),
                           throughputLimit,
                           traffic.commandsPerSecond() >= throughputMinimum,
                           {}});
        targets.push_back(answers("throughput answers", traffic));
        targets.push_back(answers("flood with a reading stall, answers", build->stall));
        targets.push_back(
            answers("flood with a reading stall, socat, answers", build->stallRelayed));
        judgeIdle(*build, targets);
        judgeLog(*build, targets);
        judgeKeying(*build, targets);
    } else {
        targets.push_back(notMeasured("throughput", throughputLimit));
    }
    judgeScale(results.scale, label, floorLabel,
               std::to_string(results.scale.channels) + "-channel ", "floor", targets);
    if (build && build == &results.builds.front())
        judgeTcp(results, label, targets);
    judgeReferences(results, targets);
    return targets;
}

void addBefore(std::vector<Target>& targets, const std::vector<Target>& before)
{
    for (Target& target : targets) {
        for (const Target& earlier : before) {
            if (earlier.name == target.name)
                target.before = earlier.measured;
        }
    }
}
