#include "BenchOptions.h"

#include <cstdlib>
#include <getopt.h>
#include <sstream>

namespace
{

constexpr const char* usage =
    "usage: cat-bench --host-sim PATH --plugin PATH [--before DIR] [--out FILE] [--work DIR] "
    "[--quick]\n"
    "       cat-bench serve floor|bare --cat COMa[,COMb...] [--lines COMc[,COMd...]]\n"
    "       cat-bench serve tcp-floor --port N";

std::vector<std::string> commaList(const std::string& text)
{
    std::vector<std::string> items;
    std::istringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        if (!item.empty())
            items.push_back(item);
    }
    return items;
}

ParsedCommandLine failed(const std::string& reason)
{
    ParsedCommandLine parsed;
    parsed.error = reason + "\n" + usage;
    return parsed;
}

// Walks the options of argv[1..argc) with getopt_long; `take` gets each option's value index
// in `options` and its argument. Returns the reason when an option is unknown, lacks its value
// or a word is left over after the options. getopt_long keeps its state in globals: the walk
// starts afresh each time and prints nothing itself.
template <typename Take>
std::string walkOptions(int argc, char** argv, const option* options, Take take)
{
    ::optind = 0;
    ::opterr = 0;
    int index = -1;
    for (int found; (found = ::getopt_long(argc, argv, "+:", options, &index)) != -1; index = -1) {
        if (found == ':')
            return std::string("option ") + argv[::optind - 1] + " needs a value";
        if (found == '?' || index < 0)
            return std::string("unknown option ") + argv[::optind - 1];
        take(index, ::optarg ? std::string(::optarg) : std::string());
    }
    if (::optind < argc)
        return std::string("unexpected argument ") + argv[::optind];
    return {};
}

ParsedCommandLine parseServe(int argc, char** argv)
{
    // argv[0] is "serve", argv[1] the kind; the options follow.
    const std::string kind = argc < 2 ? std::string() : std::string(argv[1]);
    if (kind != "floor" && kind != "bare" && kind != "tcp-floor")
        return failed("serve takes floor, bare or tcp-floor");
    ServeOptions serve;
    serve.kind = kind == "floor"       ? ReferenceKind::Floor
                 : kind == "tcp-floor" ? ReferenceKind::TcpFloor
                                       : ReferenceKind::BareLoop;
    static const option options[] = {
        {"cat", required_argument, nullptr, 0},
        {"lines", required_argument, nullptr, 0},
        {"port", required_argument, nullptr, 0},
        {nullptr, 0, nullptr, 0},
    };
    const std::string error = walkOptions(argc - 1, argv + 1, options, [&](int i, auto value) {
        if (i == 2)
            serve.tcpPort = std::atoi(value.c_str());
        else
            (i == 0 ? serve.catPorts : serve.linePorts) = commaList(value);
    });
    if (!error.empty())
        return failed("serve: " + error);
    if (serve.kind == ReferenceKind::TcpFloor ? serve.tcpPort <= 0 : serve.catPorts.empty())
        return failed(serve.kind == ReferenceKind::TcpFloor
                          ? "serve tcp-floor needs --port"
                          : "serve needs --cat with at least one port");
    ParsedCommandLine parsed;
    parsed.serve = serve;
    return parsed;
}

} // namespace

std::vector<Build> BenchOptions::builds() const
{
    std::vector<Build> list = {{"plug-in", hostSim, plugin}};
    if (!before.empty())
        list.push_back({"before", before + "/host-sim", before + "/libKenwoodTS480.so"});
    return list;
}

ParsedCommandLine parseCommandLine(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "serve")
        return parseServe(argc - 1, argv + 1);

    BenchOptions bench;
    // Valued options and the field each fills, in the order of `options` below.
    static std::string BenchOptions::*const fields[] = {
        &BenchOptions::hostSim, &BenchOptions::plugin, &BenchOptions::before,
        &BenchOptions::resultsPath, &BenchOptions::work};
    static const option options[] = {
        {"host-sim", required_argument, nullptr, 0},
        {"plugin", required_argument, nullptr, 0},
        {"before", required_argument, nullptr, 0},
        {"out", required_argument, nullptr, 0},
        {"work", required_argument, nullptr, 0},
        {"quick", no_argument, nullptr, 0},
        {nullptr, 0, nullptr, 0},
    };
    constexpr int quickIndex = 5;
    const std::string error = walkOptions(argc, argv, options, [&](int i, auto value) {
        if (i == quickIndex)
            bench.quick = true;
        else
            bench.*fields[i] = value;
    });
    if (!error.empty())
        return failed(error);
    if (bench.hostSim.empty() || bench.plugin.empty())
        return failed("--host-sim and --plugin are needed");
    ParsedCommandLine parsed;
    parsed.bench = bench;
    return parsed;
}
