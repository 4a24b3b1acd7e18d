#include "HostSimRun.h"

#include "ClientPort.h"

#include <chrono>
#include <fstream>

namespace
{

// One channel's group in the settings file: the keys the panel restores, 9600 bit/s 8N1.
void writeChannel(std::ofstream& file, int channel, const HostSimSetup& setup)
{
    const std::string key = "RX" + std::to_string(channel) + "\\";
    if (channel < int(setup.catPorts.size())) {
        file << key << "Name=" << setup.catPorts[std::size_t(channel)] << "\n"
             << key << "BoudRate=3\n"
             << key << "Data=3\n"
             << key << "Parity=0\n"
             << key << "StopBit=0\n"
             << key << "Enable=true\n";
    }
    if (channel != 0)
        return;
    if (setup.tcpPort != 0)
        file << key << "TcpPort=" << setup.tcpPort << "\n" << key << "TcpEnable=true\n";
    if (setup.pttLine != 0)
        file << key << "PttLine=" << setup.pttLine << "\n";
    if (!setup.pttPort.empty())
        file << key << "PttName=" << setup.pttPort << "\n" << key << "EnablePtt=true\n";
    if (!setup.footSwitchPort.empty())
        file << key << "PttNameFootSw=" << setup.footSwitchPort << "\n"
             << key << "EnableFootSw=true\n";
}

} // namespace

bool HostSimRun::start(const std::string& hostSim, const std::string& plugin,
                       const std::string& work, const std::string& name, const HostSimSetup& setup,
                       std::string& error)
{
    const std::string settings = work + "/" + name + ".ini";
    {
        std::ofstream file(settings);
        file << "[CAT_TS480]\n";
        for (int channel = 0; channel < setup.channels; ++channel)
            writeChannel(file, channel, setup);
    }
    const std::vector<std::string> argv = {
        hostSim,         "--headless", "--plugin",   plugin,
        "--settings",    settings,     "--channels", std::to_string(setup.channels),
        "--tx-channels", "1"};
    if (!m_process.start(argv, work + "/" + name + ".out", error))
        return false;
    // The ports the settings open are opened on the turn after the loads, so after "ready".
    if (!waitForLines(m_process, "ready ", 1, 20000) ||
        !waitForLines(m_process, "manager setCatEnable", int(setup.catPorts.size()), 5000)) {
        error = "host-sim did not open its ports, see " + m_process.outputPath();
        return false;
    }
    // A port that fails to open shows its message box; headless, host-sim prints the text.
    if (countLines(m_process.outputPath(), "dialog") > 0) {
        error = "host-sim could not open a port, see " + m_process.outputPath();
        return false;
    }
    return setup.tcpPort == 0 || waitForListener(setup.tcpPort, error);
}

bool HostSimRun::waitForListener(int port, std::string& error)
{
    // The server listens once the settings are restored, by the time "ready" is printed; a
    // moment's grace all the same.
    for (int attempt = 0; attempt < 50; ++attempt) {
        ClientPort probe;
        if (probe.connectTcp(port, error))
            return true;
        sleepMs(100);
    }
    error = "host-sim's TCP server did not listen: " + error;
    return false;
}

bool HostSimRun::script(const std::string& line, std::string& error)
{
    if (!m_process.sendLine(line) || !waitForLines(m_process, "ok " + line, 1, 5000)) {
        error = "host-sim did not take \"" + line + "\"";
        return false;
    }
    return true;
}

double HostSimRun::tunedAt(int channel, long hz, int timeoutMs)
{
    const std::string prefix =
        "tuned RX" + std::to_string(channel + 1) + " " + std::to_string(hz) + " at ";
    if (!waitForLines(m_process, prefix, 1, timeoutMs))
        return -1;
    return std::stod(linesStarting(outputPath(), prefix).front().substr(prefix.size()));
}

double HostSimRun::timedScript(const std::string& line)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto limit = std::chrono::seconds(10);
    const Clock::time_point sent = Clock::now();
    if (!m_process.sendLine(line))
        return -1;
    while (Clock::now() - sent < limit) {
        if (countLines(m_process.outputPath(), "ok " + line) > 0)
            return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        sleepMs(1);
    }
    return -1;
}
