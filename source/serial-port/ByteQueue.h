#pragma once
// Bytes waiting their turn, oldest first: a port's answers that the line has not taken yet
// (SerialBackend, under its lock), or input a worker has read but not executed yet. They go in
// whole and come out in order; the owner works from the front and drops what it used. Not
// thread-safe.
//
// The storage is kept between uses, so a port that answers steadily does not allocate per
// answer once the queue has grown to its working size.

#include <QByteArray>

class ByteQueue
{
public:
    qint64 size() const { return m_bytes.size() - m_head; }
    bool isEmpty() const { return size() == 0; }

    void append(const char* data, qint64 count);
    // The unsent bytes, valid until the next change.
    const char* front() const { return m_bytes.constData() + m_head; }
    // `count` bytes from the front went out.
    void consume(qint64 count);
    void clear();

private:
    QByteArray m_bytes;
    qint64 m_head = 0;
};
