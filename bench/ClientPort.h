#pragma once
// The benchmark's end of a serial pair, as a CAT client holds it: raw, no echo, non-blocking;
// or a TCP connection to a CAT server, the same way.
// Sends command text and collects the answers, each ending in ";". One thread may send while
// another receives (the throughput run does); each side is used by one thread only.

#include <chrono>
#include <string>
#include <string_view>

class ClientPort
{
public:
    ClientPort() = default;
    ~ClientPort();
    ClientPort(const ClientPort&) = delete;
    ClientPort& operator=(const ClientPort&) = delete;

    bool open(const std::string& path, std::string& error);
    // A TCP connection to 127.0.0.1:`port` instead (TCP_NODELAY, as CAT clients set it); false
    // until something listens there.
    bool connectTcp(int port, std::string& error);
    // Takes over an open descriptor (a pseudo-terminal's master side) and sets it up alike.
    void adopt(int fd);
    // Writes all of `bytes`, in one write where the line takes it; false when the port fails or
    // takes nothing for 10 s (a server that stopped reading for good).
    bool send(std::string_view bytes);
    // The next answer, ";" included; false when none is complete by `deadline`.
    bool receive(std::string& answer, std::chrono::steady_clock::time_point deadline);
    // Drops anything received so far.
    void discardInput();

private:
    int m_fd = -1;
    std::string m_received; // bytes read after the last answer handed out
    size_t m_scanned = 0;   // bytes of m_received already searched for ";"
};
