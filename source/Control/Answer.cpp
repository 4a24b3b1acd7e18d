#include "Answer.h"

#include <algorithm>

namespace
{

// 10^digits - 1: the largest value that `digits` decimal positions hold.
constexpr qint64 largestFor(int digits)
{
    qint64 largest = 0;
    for (int i = 0; i < digits; ++i)
        largest = largest * 10 + 9;
    return largest;
}

} // namespace

Answer::Answer(std::string_view answerTemplate)
    : m_length(static_cast<int>(std::min<size_t>(answerTemplate.size(), capacity)))
{
    std::copy_n(answerTemplate.begin(), m_length, m_text.begin());
}

void Answer::putNumber(int lastPosition, int width, qint64 value)
{
    // A negative number gives one position to its sign.
    value = std::clamp(value, -largestFor(width - 1), largestFor(width));
    const bool negative = value < 0;
    quint64 magnitude = negative ? static_cast<quint64>(-value) : static_cast<quint64>(value);
    int index = lastPosition - 1;
    do {
        m_text[index--] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        m_text[index] = '-';
}

void Answer::putChar(int position, char character)
{
    m_text[position - 1] = character;
}
