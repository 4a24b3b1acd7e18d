#pragma once
// The two references the plug-in is measured against, run as "cat-bench serve ..." in a child
// process of their own so their CPU time can be read like host-sim's. Both open the host ends
// of serial pairs the way the plug-in does (raw, non-blocking) and answer every ";" with an
// answer as long as the plug-in's ("FA;", "IF;", "ID;"; anything else "?;").
//  - floor: one poll() loop over every port that answers at once, the least latency possible;
//  - bare loop: per port, the design's worker at its barest (a non-blocking read, a drain of
//    the output queue and a 500 µs sleep per turn), plus one thread polling every port's
//    modem lines each millisecond, as the plug-in's backends do;
//  - TCP floor: the floor on a loopback TCP port instead, answering every client it accepts.
// Threads: the floor runs in the calling thread; the bare loop starts one thread per CAT port
// and one line-poll thread. Both run until SIGTERM or SIGINT.

#include <string>
#include <vector>

enum class ReferenceKind { Floor, BareLoop, TcpFloor };

// `catPorts` are answered; `linePorts` (PTT or footswitch stand-ins) only have their modem
// lines polled. Prints "serving" once every port is open. Returns the exit status.
int serveReference(ReferenceKind kind, const std::vector<std::string>& catPorts,
                   const std::vector<std::string>& linePorts);
// The TCP floor on 127.0.0.1:`port`; prints "serving" once it listens.
int serveTcpFloor(int port);
