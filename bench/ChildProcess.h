#pragma once
// A program the benchmark starts: socat, host-sim or a reference server. Its standard output
// and error go to files the benchmark reads; its standard input is a pipe the benchmark keeps
// for script lines. Stopping sends SIGTERM (host-sim and the servers end cleanly on it) and
// falls back to SIGKILL. Also reads what the kernel accounts for the process in /proc.
// Used from the benchmark's main thread only.

#include <string>
#include <vector>

#include <sys/types.h>

class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `argv` (program first, looked up in PATH without a "/"). False at once, with `error`
    // naming the program and the reason, when it cannot be started (missing, not executable).
    bool start(const std::vector<std::string>& argv, const std::string& outputPath,
               std::string& error);
    // Sends one line to the program's standard input.
    bool sendLine(const std::string& line);
    bool isRunning();
    // Ends the program: SIGTERM, then SIGKILL after `graceMs`; does nothing when not started.
    void stop(int graceMs = 5000);

    pid_t pid() const { return m_pid; }
    const std::string& outputPath() const { return m_outputPath; }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    std::string m_outputPath;
};

// CPU time (user + system) the process has used so far, in seconds, from /proc/<pid>/stat.
double cpuSeconds(pid_t pid);
// Resident memory of the process in KiB, from /proc/<pid>/status.
long residentKiB(pid_t pid);
// The lines of a file that start with `prefix`, in order.
std::vector<std::string> linesStarting(const std::string& path, const std::string& prefix);
// Counts the lines of a file that start with `prefix`.
int countLines(const std::string& path, const std::string& prefix);
// Waits until the file has `count` lines starting with `prefix`; false after `timeoutMs` or
// when `process` ends first.
bool waitForLines(ChildProcess& process, const std::string& prefix, int count, int timeoutMs);
// Waits until the process uses less than `share` of a CPU over 300 ms, at most `timeoutMs`.
void waitUntilQuiet(pid_t pid, double share, int timeoutMs);
// The system's load averages as printed in /proc/loadavg (first three fields).
std::string loadAverage();
// Sleeps the calling thread.
void sleepMs(int milliseconds);
