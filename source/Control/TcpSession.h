#pragma once
// One TCP client of a channel: a connected socket, whose answers wait in an output queue of
// the session's own until the socket takes them. The worker sends the queue after each slice
// of commands, so a client that sends many at once gets their answers in a few writes rather
// than one system call each. The client's going (end of stream, reset) ends the session;
// closing it drops whatever is still queued either way.
//
// Threads: as Session.

#include "Session.h"

#include <QHostAddress>

class TcpSession : public Session
{
public:
    // Takes over the connected socket `fd`.
    TcpSession(int fd, const QHostAddress& peer, quint16 peerPort, bool mayTransmit);
    ~TcpSession() override;

    int descriptor() override { return m_fd; }
    Input readInput() override;
    bool write(const QByteArray& answer) override;
    QString writeError() override { return m_error; }
    bool sendQueued() override;
    qint64 queuedOutput() override { return m_output.size(); }
    bool isCatPort() const override { return false; }
    bool isGone() const override { return m_failed; }
    // Why the session ended, for the log.
    QString endReason() const { return m_error; }

private:
    // Records a failed socket: nothing more goes out, and the worker ends the session.
    bool fail(const QString& reason);

    int m_fd;
    ByteQueue m_output;
    bool m_failed = false;
    QString m_error;
};
