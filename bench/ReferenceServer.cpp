#include "ReferenceServer.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{

std::atomic<bool> stopRequested{false};

void requestStop(int)
{
    stopRequested = true;
}

struct Canned {
    std::string_view command;
    std::string_view answer;
};

// Answers of the plug-in's length for the commands the latency runs send.
constexpr Canned cannedAnswers[] = {
    {"FA", "FA00007074000;"},
    {"IF", "IF0000707400000000+000000000020000000;"},
    {"ID", "ID020;"},
};

std::string_view answerFor(std::string_view command)
{
    for (const Canned& canned : cannedAnswers) {
        if (command == canned.command)
            return canned.answer;
    }
    return "?;";
}

int openPort(const std::string& name)
{
    const std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "serve: %s: %s\n", path.c_str(), std::strerror(errno));
        return -1;
    }
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// The text of one port after its last ";"; answers every complete command in `bytes`.
class Answerer
{
public:
    explicit Answerer(int fd) : m_fd(fd) {}

    void take(const char* bytes, ssize_t count)
    {
        for (ssize_t i = 0; i < count; ++i) {
            if (bytes[i] != ';') {
                if (m_pending.size() < 64)
                    m_pending.push_back(bytes[i]);
                continue;
            }
            const std::string_view answer = answerFor(m_pending);
            // The answer is a few bytes on an otherwise idle line: it fits.
            [[maybe_unused]] const ssize_t written = ::write(m_fd, answer.data(), answer.size());
            m_pending.clear();
        }
    }

private:
    int m_fd;
    std::string m_pending;
};

void serveFloor(const std::vector<int>& fds)
{
    std::vector<pollfd> polled;
    std::vector<Answerer> answerers;
    for (const int fd : fds) {
        polled.push_back({fd, POLLIN, 0});
        answerers.emplace_back(fd);
    }
    char buffer[4096];
    while (!stopRequested) {
        if (::poll(polled.data(), polled.size(), 100) <= 0)
            continue;
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (!(polled[i].revents & POLLIN))
                continue;
            const ssize_t n = ::read(polled[i].fd, buffer, sizeof buffer);
            if (n > 0)
                answerers[i].take(buffer, n);
        }
    }
}

int listenOnLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0) {
        std::fprintf(stderr, "serve: port %d: %s\n", port, std::strerror(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

// The floor on sockets: the listener first in the poll set, then every client it took.
void serveTcp(int listener)
{
    std::vector<pollfd> polled{{listener, POLLIN, 0}};
    std::vector<Answerer> answerers;
    char buffer[4096];
    while (!stopRequested) {
        if (::poll(polled.data(), polled.size(), 100) <= 0)
            continue;
        for (std::size_t i = 1; i < polled.size(); ++i) {
            if (!(polled[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(polled[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                answerers[i - 1].take(buffer, n);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                ::close(polled[i].fd);
                polled[i].fd = -1; // poll() passes over it from now on
            }
        }
        if (polled[0].revents & POLLIN) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (client >= 0) {
                const int on = 1;
                ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                polled.push_back({client, POLLIN, 0});
                answerers.emplace_back(client);
            }
        }
    }
}

// The worker's turn at its barest: read what is there, answer it, wait for the output queue
// to empty, nap.
void bareLoop(int fd)
{
    Answerer answerer(fd);
    char buffer[4096];
    while (!stopRequested) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            answerer.take(buffer, n);
        int queued = 0;
        while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && !stopRequested)
            ::usleep(50);
        ::usleep(500);
    }
}

// Every port's modem lines, each millisecond on a fixed schedule, like a 1 ms precise timer.
void pollLines(const std::vector<int>& fds)
{
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    while (!stopRequested) {
        next.tv_nsec += 1000000;
        if (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        for (const int fd : fds) {
            int lines = 0;
            ::ioctl(fd, TIOCMGET, &lines);
        }
    }
}

bool openAll(const std::vector<std::string>& names, std::vector<int>& fds)
{
    for (const std::string& name : names) {
        const int fd = openPort(name);
        if (fd < 0)
            return false;
        fds.push_back(fd);
    }
    return true;
}

} // namespace

int serveTcpFloor(int port)
{
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    const int listener = listenOnLoopback(port);
    if (listener < 0)
        return 1;
    std::printf("serving\n");
    std::fflush(stdout);
    serveTcp(listener);
    ::close(listener);
    return 0;
}

int serveReference(ReferenceKind kind, const std::vector<std::string>& catPorts,
                   const std::vector<std::string>& linePorts)
{
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    std::vector<int> catFds;
    std::vector<int> lineFds;
    if (!openAll(catPorts, catFds) || !openAll(linePorts, lineFds))
        return 1;
    std::printf("serving\n");
    std::fflush(stdout);

    if (kind == ReferenceKind::Floor) {
        serveFloor(catFds);
    } else {
        std::vector<int> polled = catFds;
        polled.insert(polled.end(), lineFds.begin(), lineFds.end());
        std::vector<std::thread> threads;
        for (const int fd : catFds)
            threads.emplace_back(bareLoop, fd);
        threads.emplace_back(pollLines, polled);
        for (std::thread& thread : threads)
            thread.join();
    }
    for (const int fd : catFds)
        ::close(fd);
    for (const int fd : lineFds)
        ::close(fd);
    return 0;
}
