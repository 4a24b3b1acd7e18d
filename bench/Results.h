#pragma once
// What the benchmark measured. The latency and eight-channel runs serve every build and both
// references side by side, so their rows name the server; the other runs are made once per
// build of host-sim and the plug-in and are kept per build. Filled by Scenarios, read by the
// targets and the report.

#include "Stats.h"
#include "Traffic.h"

#include <string>
#include <vector>

struct LatencyRow {
    std::string server;  // a build's label ("plug-in", "before"), "floor" or "bare loop"
    std::string command; // "FA;", "IF;"
    Percentiles stats;
    long right = 0;
    long wrong = 0;
    long missing = 0;
};

struct IdleRow {
    std::string setup;       // e.g. "4 CAT"
    int channels = 0;        // CAT channels open
    int ports = 0;           // serial ports open in all
    bool catLine = false;    // channel 0's "PTT line" selects a CAT-port line
    double hostCpu = 0;      // host-sim, CPU seconds per second
    double hostBaseline = 0; // host-sim with the same channels and no port open
    double bareCpu = 0;      // the bare loop with the same ports
    // Lines polled every millisecond: a CAT line selected, or PTT and footswitch ports.
    bool linesWatched() const { return catLine || ports > channels; }
    // CPU per open channel: host-sim's beyond its baseline, and the bare loop's.
    double hostPerChannel() const { return (hostCpu - hostBaseline) / channels; }
    double barePerChannel() const { return bareCpu / channels; }
};

struct LogRow {
    bool viewOn = false;
    long rssBeforeKiB = 0;
    long rssAfterKiB = 0;
    TrafficResult traffic;
    // Script lines sent during the measured flood, and the longest host-sim took to handle one
    // (negative: one was not handled at all).
    int scriptLines = 0;
    double scriptWorstMs = 0;
};

// One server of the eight-channel run: every channel's round trips together.
struct ScaleRow {
    std::string server;
    Percentiles stats;
    double worstP99 = 0; // the channel with the highest p99
    long right = 0;
    long wrong = 0;
    long missing = 0;
};

struct ScaleResult {
    int channels = 0;
    std::vector<ScaleRow> rows;
};

// The TCP server of the build under test, against the TCP floor (a poll() responder on a
// loopback socket). Round trips of one session are latency rows ("<build> TCP", "TCP floor").
struct TcpResults {
    bool measured = false;
    ScaleResult sessions; // eight sessions of one channel polling at once, and the floor's eight
    // One session polling alone, and the same while another session floods the channel; and the
    // same two on the TCP floor, for what the machine allows.
    LatencyRow pollerAlone;
    LatencyRow pollerBesideFlood;
    TrafficResult flood;
    LatencyRow floorPollerAlone;
    LatencyRow floorPollerBesideFlood;
    TrafficResult floorFlood;
    // From host-sim's tuning (the time it reported the change) to the FA push at an AI2 session.
    LatencyRow push;
    // Idle CPU with eight quiet sessions connected: host-sim beyond its baseline without a
    // server, and the bare loop on one port.
    int quietSessions = 0;
    double idleHostCpu = 0;
    double idleHostBaseline = 0;
    double idleBareCpu = 0;
};

// CW text sent with KY at one speed, under one load beside it, timed where the host sees it:
// every key edge against the ideal PARIS schedule of the text, placed at the edges' median.
struct KeyingRow {
    int wpm = 0;
    std::string load;       // one of keyingLoads
    Percentiles errorUs;    // |edge - ideal| of every edge after the first
    long edges = 0;         // edges keyed
    long expectedEdges = 0; // edges the text has
    TrafficResult traffic;  // the load's commands and answers
};

// The speeds and the loads of the keying runs: the client polling at 20 commands a second, and
// a flood on the CAT port.
constexpr int keyingSpeeds[] = {20, 40, 60};
constexpr const char* keyingLoads[] = {"polled 20/s", "flood"};

// The runs made once per build.
struct BuildResults {
    std::string label;
    TrafficResult throughput;
    // A flood whose reader stops for a while in the middle, on a direct pair and through socat.
    TrafficResult stall;
    TrafficResult stallRelayed;
    std::vector<IdleRow> idle;
    std::vector<LogRow> log;
    std::vector<KeyingRow> keying;
};

struct BenchResults {
    std::string loadBefore;
    std::string loadAfter;
    std::vector<LatencyRow> latency;
    ScaleResult scale;
    TcpResults tcp;                   // the build under test's
    std::vector<BuildResults> builds; // the build under test first
};

// Labels of the references beside the builds.
constexpr const char* floorLabel = "floor";
constexpr const char* bareLabel = "bare loop";
constexpr const char* tcpFloorLabel = "TCP floor";

// The label of a build's TCP rows.
inline std::string tcpLabel(const std::string& build)
{
    return build + " TCP";
}

// The latency row of `server` for `command`, or nullptr when it was not measured.
inline const LatencyRow* findLatency(const BenchResults& results, const std::string& server,
                                     const std::string& command)
{
    for (const LatencyRow& row : results.latency) {
        if (row.server == server && row.command == command)
            return &row;
    }
    return nullptr;
}
