#pragma once
// A TCP client for tests of a channel's TCP server: connects to a loopback port from a chosen
// loopback source address (127.0.0.2 stands for "another machine"), writes, and reads answers
// with a deadline the way PtyPair does. Also finds free ports, so concurrent test runs never
// collide, and counts this process's open descriptors.

#include <QByteArray>
#include <QString>

class TcpClient
{
public:
    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Connects from `from` (port chosen by the system) to `to`:`port`.
    bool connectTo(quint16 port, const QString& from = QStringLiteral("127.0.0.1"),
                   const QString& to = QStringLiteral("127.0.0.1"));
    bool write(const QByteArray& data);
    // As much of `data` as the socket takes now, without waiting.
    qint64 writeSome(const QByteArray& data);
    // What arrives until `count` occurrences of `terminator` or `timeoutMs` without them.
    QByteArray read(int timeoutMs, char terminator = ';', int count = 1);
    // Writes `commands` and reads until `count` answers (";") or `timeoutMs` without them; empty
    // when the write fails.
    QByteArray ask(const QByteArray& commands, int count = 1, int timeoutMs = 3000);
    // Everything that arrives within `ms` milliseconds.
    QByteArray readFor(int ms);
    // Whether the server closes the connection within `timeoutMs` (anything sent first is
    // dropped).
    bool closedByServer(int timeoutMs);
    // The local port, as the server's log names the client.
    quint16 localPort() const;
    void close();

    // A port nobody listens on at the moment of asking.
    static quint16 freePort();
    // Open descriptors of this process.
    static int openDescriptors();

private:
    int m_fd = -1;
};
