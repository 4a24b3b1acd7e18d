#include "CommandFramer.h"

CommandFramer::CommandFramer()
{
    m_pending.reserve(maxCommandLength);
    m_joined.reserve(maxCommandLength);
}

const QList<QByteArrayView>& CommandFramer::splitCommands(const QByteArray& bytes)
{
    m_pieces.clear();
    const qsizetype nul = bytes.indexOf('\0');
    const QByteArrayView text = QByteArrayView(bytes).first(nul < 0 ? bytes.size() : nul);

    qsizetype from = 0;
    for (qsizetype end = text.indexOf(';'); end >= 0; end = text.indexOf(';', from)) {
        const QByteArrayView segment = text.sliced(from, end - from);
        from = end + 1;
        if (m_discarding) {
            m_discarding = false;
        } else if (m_pending.isEmpty()) {
            addPiece(segment);
        } else if (m_pending.size() + segment.size() <= maxCommandLength) {
            m_joined.resize(0);
            m_joined.append(m_pending).append(segment);
            m_pieces.append(m_joined);
        }
        m_pending.resize(0);
    }
    keepTail(text.sliced(from));
    return m_pieces;
}

void CommandFramer::addPiece(QByteArrayView segment)
{
    if (!segment.isEmpty() && segment.size() <= maxCommandLength)
        m_pieces.append(segment);
}

void CommandFramer::keepTail(QByteArrayView tail)
{
    if (m_discarding || tail.isEmpty())
        return;
    if (m_pending.size() + tail.size() > maxCommandLength) {
        m_pending.resize(0);
        m_discarding = true;
        return;
    }
    m_pending.append(tail);
}

quint16 CommandFramer::commandCode(QByteArrayView piece)
{
    quint16 code = 0;
    int letters = 0;
    for (const char c : piece) {
        if (c < 'A' || c > 'Z')
            continue;
        if (++letters > 2)
            return 0;
        code |= static_cast<quint16>(static_cast<uchar>(c) << (letters == 1 ? 0 : 8));
    }
    return letters == 2 ? code : 0;
}

void CommandFramer::parameter(QByteArrayView piece, QString& parameter)
{
    parameter.resize(0);
    for (const char c : piece)
        if ((c >= '0' && c <= '9') || c == '+' || c == '-')
            parameter.append(QLatin1Char(c));
}
