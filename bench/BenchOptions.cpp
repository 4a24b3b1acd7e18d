#include "BenchOptions.h"

#include <sstream>

namespace
{

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

ParsedCommandLine failed(const std::string& error)
{
    ParsedCommandLine parsed;
    parsed.error = error;
    return parsed;
}

ParsedCommandLine parseServe(const std::vector<std::string>& words)
{
    if (words.size() < 2 || (words[1] != "floor" && words[1] != "bare"))
        return failed("serve takes floor or bare");
    ServeOptions serve;
    serve.kind = words[1] == "floor" ? ReferenceKind::Floor : ReferenceKind::BareLoop;
    for (std::size_t i = 2; i + 1 < words.size(); i += 2) {
        if (words[i] == "--cat")
            serve.catPorts = commaList(words[i + 1]);
        else if (words[i] == "--lines")
            serve.linePorts = commaList(words[i + 1]);
        else
            return failed("serve: unknown option " + words[i]);
    }
    if (serve.catPorts.empty())
        return failed("serve needs --cat with at least one port");
    ParsedCommandLine parsed;
    parsed.serve = serve;
    return parsed;
}

} // namespace

ParsedCommandLine parseCommandLine(int argc, char** argv)
{
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (!words.empty() && words[0] == "serve")
        return parseServe(words);

    BenchOptions bench;
    struct Valued {
        const char* name;
        std::string BenchOptions::*field;
    };
    static const Valued valued[] = {
        {"--host-sim", &BenchOptions::hostSim},
        {"--plugin", &BenchOptions::plugin},
        {"--out", &BenchOptions::resultsPath},
        {"--work", &BenchOptions::work},
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--quick") {
            bench.quick = true;
            continue;
        }
        bool known = false;
        for (const Valued& option : valued) {
            if (words[i] == option.name && i + 1 < words.size()) {
                bench.*option.field = words[++i];
                known = true;
                break;
            }
        }
        if (!known)
            return failed("unknown or incomplete option " + words[i]);
    }
    if (bench.hostSim.empty() || bench.plugin.empty())
        return failed("usage: cat-bench --host-sim PATH --plugin PATH [--out FILE] [--work DIR] "
                      "[--quick]");
    ParsedCommandLine parsed;
    parsed.bench = bench;
    return parsed;
}
