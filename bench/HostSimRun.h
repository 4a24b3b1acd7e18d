#pragma once
// host-sim with the real plug-in, headless, set up through its settings file the way a user
// leaves it: CAT enabled on the host end of one serial pair per channel, and optionally PTT
// and footswitch ports, a CAT-port PTT line and a TCP server on channel 0. Started with the file,
// it restores the panels and opens the ports (on the event loop's turn after the loads); ready
// once it has printed "ready" and a "manager setCatEnable <i> 1" line per CAT channel (and,
// with a TCP server, once the port takes a connection). Script lines (e.g. "logview 0 1") go to
// its standard input. Main thread only.

#include "ChildProcess.h"

#include <string>
#include <vector>

struct HostSimSetup {
    int channels = 1;                  // transceivers host-sim announces
    std::vector<std::string> catPorts; // host ends, one per channel from 0; may be fewer
    std::string pttPort;               // channel 0's PTT port; empty: none
    std::string footSwitchPort;        // channel 0's footswitch port; empty: none
    int pttLine = 0; // row of channel 0's "PTT line" box: 0 none, else a CAT-port line
    int tcpPort = 0; // channel 0's TCP server, for this machine; 0: off
};

class HostSimRun
{
public:
    // `hostSim` and `plugin` are the built files; `work` a folder for the files of this run;
    // `name` tells this run's files apart.
    bool start(const std::string& hostSim, const std::string& plugin, const std::string& work,
               const std::string& name, const HostSimSetup& setup, std::string& error);
    // Sends a script line and waits for host-sim's "ok <line>".
    bool script(const std::string& line, std::string& error);
    // Sends a script line without waiting.
    bool send(const std::string& line) { return m_process.sendLine(line); }
    // Sends a script line that has not been sent before and returns how long host-sim took to
    // say "ok <line>", in milliseconds (to about 1 ms), or a negative number when it did not
    // within 10 s. Any thread, one at a time.
    double timedScript(const std::string& line);
    // When host-sim reported the tuning of a "vfo <channel> <hz>" line: its "tuned" line's time
    // (microseconds of the monotonic clock), or a negative number when it has not printed one
    // within `timeoutMs`.
    double tunedAt(int channel, long hz, int timeoutMs);
    pid_t pid() const { return m_process.pid(); }
    // The file host-sim prints its lines to.
    const std::string& outputPath() const { return m_process.outputPath(); }
    void stop() { m_process.stop(); }

private:
    bool waitForListener(int port, std::string& error);

    ChildProcess m_process;
};
