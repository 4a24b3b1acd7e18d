#pragma once
// A virtual serial pair, in one of two kinds:
//  - relayed: socat joins two pseudo-terminals and links them as /dev/COM<n>, as users make
//    virtual pairs. The client end is linked 100 numbers above the host end, outside the probed
//    names, so up to 60 pairs fit. socat copies both directions in one thread with blocking
//    writes, so a side that stops reading can hold up the other direction too.
//  - direct: one pseudo-terminal, its terminal side linked as the host end and its master side
//    held by the benchmark as the client end; the two directions are as independent as the two
//    wires of a serial line.
// The host end is what host-sim or a reference server opens, under a name the plug-in's port
// list probes (COM40-COM99). The links go on destruction.
// Main thread only: numbers in use are kept in a process-wide list until their links are gone.

#include "ChildProcess.h"

#include <string>

class SerialPair
{
public:
    SerialPair() = default;
    ~SerialPair();
    SerialPair(const SerialPair&) = delete;
    SerialPair& operator=(const SerialPair&) = delete;

    // Starts socat on two unused COM numbers; `work` is a folder for socat's messages.
    bool open(const std::string& work, std::string& error);
    // Makes a direct pair on an unused COM number; the client end is takeClientFd().
    bool openDirect(std::string& error);

    std::string hostName() const { return "COM" + std::to_string(m_host); }
    // The relayed pair's client end.
    std::string clientPath() const { return "/dev/COM" + std::to_string(m_client); }
    // The direct pair's client end, once; the caller owns it.
    int takeClientFd();

private:
    ChildProcess m_socat;
    int m_host = -1;
    int m_client = -1;
    bool m_direct = false;
    int m_master = -1; // direct pair: the client end until taken
};
