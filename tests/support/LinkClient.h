#pragma once
// A client program on a port it finds by path (the virtual port's link): opens it the way a
// serial program does, writes commands, reads answers, and leaves by closing it, which is also
// what the system does for a client that dies.

#include <QByteArray>
#include <QString>

class LinkClient
{
public:
    explicit LinkClient(const QString& path);
    ~LinkClient();
    LinkClient(const LinkClient&) = delete;
    LinkClient& operator=(const LinkClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Takes the line for itself (TIOCEXCL), as some clients do; true when the mode is set.
    bool takeExclusive();
    // Whether the line is in exclusive mode now.
    bool isExclusive() const;
    // All of `data`, waiting for room as a blocking writer would (at most 10 s in all).
    bool write(const QByteArray& data);
    // What arrives until `count` answers (";") are complete or `timeoutMs` passes.
    QByteArray read(int timeoutMs, int count = 1);
    // Drops what arrived unread, as a client program that flushes its port on opening it (on a
    // socat pair an earlier client's unread answers wait there).
    void discardInput();
    void close();

private:
    int m_fd = -1;
};
