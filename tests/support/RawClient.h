#pragma once
// A client's end of a serial line opened as a CAT program opens its port: raw, no echo,
// non-blocking. For tests that talk to a channel through a path (a socat link, the virtual
// port) with bytes of their own instead of a client program.

#include <QByteArray>
#include <QString>

// A raw, non-blocking descriptor on `path`; -1 when it cannot be opened.
int openRawClient(const QString& path);

// A client of its own on `path`: what an earlier one left unread is dropped at the start, as
// a client program flushes its port when it opens it.

class RawClient
{
public:
    explicit RawClient(const QString& path);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Writes all of `bytes`; false when the line takes them not within a few seconds.
    bool write(const QByteArray& bytes);
    // The next answer, ";" included; empty when none is complete within `timeoutMs`.
    QByteArray answer(int timeoutMs = 3000);

private:
    int m_fd;
    QByteArray m_received;
};
