#include "ByteQueue.h"

void ByteQueue::append(const char* data, qint64 count)
{
    // Sent bytes at the front are dropped before the storage would have to grow for them.
    if (m_head > 0 && m_bytes.size() + count > m_bytes.capacity()) {
        m_bytes.remove(0, m_head);
        m_head = 0;
    }
    m_bytes.append(data, count);
}

void ByteQueue::consume(qint64 count)
{
    m_head += count;
    if (m_head >= m_bytes.size())
        clear();
}

void ByteQueue::clear()
{
    // resize keeps the capacity, unlike QByteArray::clear.
    m_bytes.resize(0);
    m_head = 0;
}
