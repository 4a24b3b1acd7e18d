#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

// The fields of /proc/<pid>/stat after the command name, which may itself hold spaces.
std::vector<std::string> statFields(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    std::vector<std::string> fields;
    if (close == std::string::npos)
        return fields;
    std::istringstream rest(text.substr(close + 2));
    for (std::string field; rest >> field;)
        fields.push_back(field);
    return fields;
}

} // namespace

bool ChildProcess::start(const std::vector<std::string>& argv, const std::string& outputPath,
                         std::string& error)
{
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const int output = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0) {
        error = outputPath + ": " + std::strerror(errno);
        ::close(input[0]);
        ::close(input[1]);
        return false;
    }
    std::vector<char*> args;
    for (const std::string& word : argv)
        args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);

    // The child gets the pipe as its input and the file as its output; every other descriptor
    // of ours is close-on-exec. posix_spawnp reports a program it cannot run (not found, not
    // executable) as its own result, so a wrong path fails here with its reason.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    pid_t pid = -1;
    const int failed = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output);
    if (failed != 0) {
        error = argv.front() + ": " + std::strerror(failed);
        ::close(input[1]);
        return false;
    }
    m_pid = pid;
    m_stdin = input[1];
    m_outputPath = outputPath;
    return true;
}

bool ChildProcess::sendLine(const std::string& line)
{
    const std::string text = line + "\n";
    return m_stdin >= 0 && ::write(m_stdin, text.data(), text.size()) == ssize_t(text.size());
}

bool ChildProcess::isRunning()
{
    return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0;
}

void ChildProcess::stop(int graceMs)
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            break;
        }
        sleepMs(10);
    }
    m_pid = -1;
    if (m_stdin >= 0)
        ::close(m_stdin);
    m_stdin = -1;
}

double cpuSeconds(pid_t pid)
{
    // utime and stime are fields 14 and 15 of the whole line, 12 and 13 after the name.
    const std::vector<std::string> fields = statFields(pid);
    if (fields.size() < 13)
        return 0;
    const double ticks = std::stod(fields[11]) + std::stod(fields[12]);
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

long residentKiB(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

std::vector<std::string> linesStarting(const std::string& path, const std::string& prefix)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

int countLines(const std::string& path, const std::string& prefix)
{
    return int(linesStarting(path, prefix).size());
}

bool waitForLines(ChildProcess& process, const std::string& prefix, int count, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (countLines(process.outputPath(), prefix) >= count)
            return true;
        if (!process.isRunning())
            return false;
        sleepMs(20);
    }
    return false;
}

void waitUntilQuiet(pid_t pid, double share, int timeoutMs)
{
    constexpr int windowMs = 300;
    for (int waited = 0; waited < timeoutMs; waited += windowMs) {
        const double before = cpuSeconds(pid);
        sleepMs(windowMs);
        if (cpuSeconds(pid) - before < share * windowMs / 1000.)
            return;
    }
}

std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void sleepMs(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
