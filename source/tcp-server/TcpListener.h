#pragma once
// The listening side of a channel's TCP server: one socket per address it binds, on one port.
// It binds the loopback addresses (127.0.0.1 and ::1) while the connect list names only this
// machine, and every interface (0.0.0.0 and ::) otherwise, so nothing beyond this machine can
// even reach the port unless the user names it. The channel's worker waits on descriptors()
// and takes connections with accept(); who may stay is the channel's decision.
//
// Threads: open() and close() in the GUI thread while the channel's worker is stopped;
// descriptors() and accept() in the worker. Holds no lock.

#include "SocketCalls.h"

#include <QList>
#include <QString>
#include <QStringList>

class AddressList;

class TcpListener
{
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on `port` (0: a free port, the same on every address) for the addresses that
    // `connectList` calls for. False when an address cannot be bound (the port in use, among
    // others); errorString() says why and nothing stays open.
    bool open(quint16 port, const AddressList& connectList);
    void close();
    bool isOpen() const { return !m_fds.isEmpty(); }

    const QList<int>& descriptors() const { return m_fds; }
    sockets::Accepted accept(int fd) { return sockets::acceptFrom(fd); }

    // The port listened on, and where: "127.0.0.1:4480, [::1]:4480".
    quint16 port() const { return m_port; }
    QStringList boundAddresses() const { return m_bound; }
    QString errorString() const { return m_error; }

private:
    QList<int> m_fds;
    QStringList m_bound;
    quint16 m_port = 0;
    QString m_error;
};

// An address and port as the log names them: 127.0.0.1:40122, [::1]:40122.
QString endpointText(const QHostAddress& address, quint16 port);
