#include "CommandFramer.h"

namespace
{

constexpr bool isLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

CommandFramer::CommandFramer()
{
    m_pending.reserve(maxCommandLength);
    m_joined.reserve(maxCommandLength);
}

const QList<QByteArrayView>& CommandFramer::splitCommands(const QByteArray& bytes)
{
    m_pieces.clear();
    const QByteArrayView text(bytes);

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

CommandFramer::Command CommandFramer::command(QByteArrayView piece)
{
    qsizetype start = 0;
    while (start < piece.size() && !isLetter(piece[start]))
        ++start;
    const QByteArrayView letters = piece.sliced(start, qMin<qsizetype>(2, piece.size() - start));
    Command result{0, piece.sliced(start + letters.size())};
    if (letters.size() == 2 && isLetter(letters[1]))
        result.code = static_cast<quint16>(uchar(letters[0]) | uchar(letters[1]) << 8);
    return result;
}

bool CommandFramer::parameter(QByteArrayView rest, ParameterKind kind, QString& parameter)
{
    parameter.resize(0);
    if (kind == ParameterKind::Text) {
        parameter.append(QLatin1String(rest));
        return true;
    }
    for (const char c : rest) {
        if (isDigit(c) || (kind == ParameterKind::Signed && (c == '+' || c == '-')))
            parameter.append(QLatin1Char(c));
        else if (c != ' ')
            return false;
    }
    return true;
}
