#pragma once
// Tells when clients come to, and leave, a device node that this process itself keeps open:
// the virtual port's pseudo-terminal, whose master never sees a hang-up because the port holds
// the slave side. The system reports every open of the node, every last close of an open (a
// client that dies closes its descriptors too) and the writes; the watch counts the clients.
// Identical reports that follow each other unread are merged into one, so after a close the count
// is checked against the descriptors that processes of this user hold on the node.
//
// Not thread-safe: its owner serialises (the serial backend, under its lock).

#include <QByteArray>
#include <QString>

// What happened to a port's client since the last look. Both may be true: one client left and
// the next one came before anybody looked; `nextWrote` then says that the next one has written
// already, so that the input not read yet may be its own.
struct ClientChange {
    bool left = false;
    bool arrived = false;
    bool nextWrote = false;
};

class ClientWatch
{
public:
    ClientWatch() = default;
    ~ClientWatch();
    ClientWatch(const ClientWatch&) = delete;
    ClientWatch& operator=(const ClientWatch&) = delete;

    // Starts watching `devicePath`, which this process holds open as `ownFd` (not a client).
    bool start(const QString& devicePath, int ownFd);
    void stop();
    // Readable when a client opened or closed the node; -1 while not watching.
    int handle() const { return m_fd; }
    // The change since the last call; never waits.
    ClientChange take();

private:
    // What the reports read so far say.
    struct Tally {
        bool opened = false;
        bool closed = false;
        bool emptied = false;  // nobody left after a close
        bool reopened = false; // and somebody came after that
        bool wrote = false;    // a write since the last open
    };
    // Reads the reports that are there, counting the opens and closes.
    void readEvents(Tally& tally);
    // Descriptors open on the node in every process this user may look into, ours not counted.
    int countHolders() const;

    int m_fd = -1;
    int m_ownFd = -1;
    QByteArray m_path;
    int m_clients = 0;
};
