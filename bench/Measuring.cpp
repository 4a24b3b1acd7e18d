#include "Measuring.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ",") + name;
    return text;
}

constexpr unsigned latencySeed = 480;
// Servers measured side by side take turns in this many blocks, so a burst of other load on
// the machine falls on all of them alike instead of on whichever was measured then.
constexpr int turnBlocks = 10;

// Round trips on every client of one server at once, one thread per client; each client's
// series grows by `count` commands.
void measureClients(const std::vector<ClientPort*>& clients, const Probe& probe, int count,
                    unsigned seed, std::vector<LatencySeries>& series)
{
    std::vector<LatencySeries> parts(clients.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < clients.size(); ++i)
        threads.emplace_back([&, i] {
            parts[i] = measureLatency(*clients[i], probe.command, probe.answerLength, count,
                                      seed + unsigned(i));
        });
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < clients.size(); ++i)
        append(series[i], parts[i]);
}

const char* kindWord(ReferenceKind kind)
{
    switch (kind) {
    case ReferenceKind::Floor:
        return "floor";
    case ReferenceKind::TcpFloor:
        return "tcp-floor";
    case ReferenceKind::BareLoop:
        break;
    }
    return "bare";
}

} // namespace

bool Lines::open(int count, const std::string& work, std::string& error, bool direct)
{
    for (int i = 0; i < count; ++i) {
        pairs.push_back(std::make_unique<SerialPair>());
        clients.push_back(std::make_unique<ClientPort>());
        if (direct) {
            if (!pairs.back()->openDirect(error))
                return false;
            clients.back()->adopt(pairs.back()->takeClientFd());
            continue;
        }
        if (!pairs.back()->open(work, error) ||
            !clients.back()->open(pairs.back()->clientPath(), error))
            return false;
    }
    return true;
}

std::vector<std::string> Lines::hostNames(std::size_t first, std::size_t count) const
{
    std::vector<std::string> names;
    for (std::size_t i = first; i < first + count && i < pairs.size(); ++i)
        names.push_back(pairs[i]->hostName());
    return names;
}

bool startReference(ChildProcess& process, ReferenceKind kind,
                    const std::vector<std::string>& catPorts,
                    const std::vector<std::string>& linePorts, const std::string& output,
                    std::string& error, int tcpPort)
{
    std::vector<std::string> argv = {"/proc/self/exe", "serve", kindWord(kind)};
    if (kind == ReferenceKind::TcpFloor) {
        argv.push_back("--port");
        argv.push_back(std::to_string(tcpPort));
    } else {
        argv.push_back("--cat");
        argv.push_back(joined(catPorts));
    }
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

void append(LatencySeries& into, const LatencySeries& part)
{
    into.microseconds.insert(into.microseconds.end(), part.microseconds.begin(),
                             part.microseconds.end());
    into.right += part.right;
    into.wrong += part.wrong;
    into.missing += part.missing;
}

std::vector<std::vector<LatencySeries>>
measureInTurns(const std::vector<std::vector<ClientPort*>>& servers, const Probe& probe,
               int countPerClient)
{
    std::vector<std::vector<LatencySeries>> series;
    for (const std::vector<ClientPort*>& clients : servers)
        series.emplace_back(clients.size());
    for (int block = 0; block < turnBlocks; ++block) {
        for (std::size_t s = 0; s < servers.size(); ++s)
            measureClients(servers[s], probe, countPerClient / turnBlocks,
                           latencySeed + unsigned(block) * 64, series[s]);
    }
    return series;
}

LatencyRow latencyRow(const std::string& server, const std::string& command, LatencySeries& series)
{
    LatencyRow row;
    row.server = server;
    row.command = command;
    row.stats = percentiles(series.microseconds);
    row.right = series.right;
    row.wrong = series.wrong;
    row.missing = series.missing;
    return row;
}

ScaleRow scaleRow(const std::string& server, const std::vector<LatencySeries>& series)
{
    ScaleRow row;
    row.server = server;
    LatencySeries merged;
    for (LatencySeries client : series) {
        row.worstP99 = std::max(row.worstP99, percentiles(client.microseconds).p99);
        append(merged, client);
    }
    row.stats = percentiles(merged.microseconds);
    row.right = merged.right;
    row.wrong = merged.wrong;
    row.missing = merged.missing;
    return row;
}

int freeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}
