#pragma once
// The raw socket calls a channel's TCP server makes: listening on one address, accepting,
// reading and writing without waiting, closing. Nothing else in the system calls the socket
// API, so another platform replaces this file and keeps the logic around it.
//
// Threads: the calls hold no state and no lock; a descriptor is used by one thread at a time
// (the GUI thread opens and closes listeners while the worker is stopped, the worker does the
// rest).

#include <QHostAddress>
#include <QString>

namespace sockets
{

// A connection taken from a listener: its descriptor (non-blocking, close-on-exec, TCP_NODELAY
// set) and the peer's address and port.
struct Accepted {
    int fd = -1;
    QHostAddress peer;
    quint16 peerPort = 0;
};

// A listening socket on `address` and `port` (0: any free port), non-blocking and
// close-on-exec, with SO_REUSEADDR so a restart does not wait for old connections to time out.
// An IPv6 socket listens for IPv6 only. On failure fd is -1 and `error` gives the reason;
// `unavailable` tells that this machine has no such address family or address (the IPv6
// loopback on a host without IPv6), which a caller may pass over.
struct ListenResult {
    int fd = -1;
    QString error;
    bool unavailable = false;
};
ListenResult listenOn(const QHostAddress& address, quint16 port);

// The port a listening socket is bound to.
quint16 boundPort(int fd);

// The next waiting connection, or fd -1 when none waits (or the accept failed).
Accepted acceptFrom(int listener);

// What one read or write did.
enum class Transfer { Done, WouldBlock, Closed, Failed };
struct TransferResult {
    Transfer state = Transfer::Done;
    qint64 bytes = 0; // with Done: how many
    int error = 0;    // with Failed: errno
};
TransferResult readSome(int fd, char* buffer, qint64 size);
TransferResult writeSome(int fd, const char* data, qint64 size);

void closeSocket(int fd);

// The text of an errno value, as the reason shown to the user.
QString errorText(int error);

} // namespace sockets
