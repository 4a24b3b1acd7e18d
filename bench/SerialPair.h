#pragma once
// A virtual serial pair: socat joins two pseudo-terminals and links them as /dev/COM<n>. The
// host end is what host-sim or a reference server opens, under a name the plug-in's port list
// probes (COM40-COM99); the client end is the benchmark's, linked 100 numbers higher, outside
// the probed names, so up to 60 pairs fit. The links go when socat ends (on destruction).
// Main thread only: numbers in use are kept in a process-wide list until socat has ended.

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

    std::string hostName() const { return "COM" + std::to_string(m_host); }
    std::string clientPath() const { return "/dev/COM" + std::to_string(m_client); }

private:
    ChildProcess m_socat;
    int m_host = -1;
    int m_client = -1;
};
