#pragma once
// A serial port of the plug-in's own for a client on the same machine: a pseudo-terminal whose
// master side the port serves and whose slave side is published as a symbolic link with a
// stable name, $XDG_RUNTIME_DIR/kenwood-ts480/<link> (or /tmp/kenwood-ts480-<uid>/<link>).
// PosixSerialPort makes one when it opens the port name `Virtual port`.
//
// The link leads to /proc/<our pid>/fd/<slave descriptor>, so it leads nowhere ("No such file
// or directory") once this process has died, never to another program's terminal of the same
// number. A name belongs to the host that holds the lock file beside it (<link>.lock, flock):
// a second host that finds a name held does not take it, and a host that starts removes the
// links whose lock nobody holds (removeStaleLinks).
//
// The object keeps a descriptor of the slave side open for as long as the port is open, so the
// master never sees a hang-up (EIO, POLLHUP) while no client has the link open, and a client
// may close and reopen the link as often as it likes. That descriptor also keeps the slave's
// settings alive between clients, exclusive mode (TIOCEXCL) included, and the answers a client
// left unread. So the port watches its clients come and go (ClientWatch): when the last one
// leaves, or dies, its unread answers are dropped and exclusive mode is cleared, and the next
// client starts clean. Not thread-safe; its owner serialises.

#include "ClientWatch.h"

#include <QString>

class VirtualPort
{
public:
    VirtualPort() = default;
    ~VirtualPort();
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    // The port name (and the port list's item) that stands for a virtual port.
    static QString itemName();
    static bool isItem(const QString& portName) { return portName == itemName(); }
    // The folder of the links, and the path a client opens for the link `linkName` (a name
    // without "/" or ".").
    static QString folder();
    static QString linkPath(const QString& linkName);

    // Makes the pseudo-terminal and its link `linkName`, replacing a link of that name. On
    // success the caller takes the master's descriptor (non-blocking, close-on-exec); on
    // failure it is -1 and errorString() says why.
    int open(const QString& linkName);
    // Removes the link, lets go of the slave side and of the name; harmless when not open.
    void close();
    // Removes the links of hosts that are gone (their names' locks are free).
    static void removeStaleLinks();
    bool isOpen() const { return m_slave >= 0; }
    // Readable when a client opened or left the link; -1 while closed.
    int clientWatchHandle() const { return m_clients.handle(); }
    // What happened to the clients since the last call. When the client left, the answers it
    // did not read are dropped and any client may open the link again, whatever exclusive mode
    // the one that left asked for; what it wrote and the port did not read yet is the caller's.
    ClientChange takeClientChanges();
    // Keeps the pseudo-terminal of the port's descriptor `fd` raw: a client that switches echo,
    // line editing or signals on (as a terminal program or "stty sane" does) would have every
    // answer echoed back as a command. Switches them off again; true when it had to.
    static bool keepRaw(int fd);
    QString path() const { return m_link; }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString& what, int error);
    bool makeFolder(const QString& path);
    bool publish(const QString& target, const QString& link);
    // The locked descriptor of `link`'s lock file, or -1 while another host holds it.
    static int lockName(const QString& link, int attempts);
    bool takeName(const QString& link);

    int m_slave = -1;
    int m_lock = -1;
    ClientWatch m_clients;
    QString m_target;
    QString m_link;
    QString m_error;
};
