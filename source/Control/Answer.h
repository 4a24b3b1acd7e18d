#pragma once
// One Kenwood answer being formed on the stack: a copy of the command's answer template into
// which numbers are put right-aligned over the template's zeros. Used by the interpreter's
// handlers; a numeric field is always formed here, never by hand.

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <string_view>

class Answer
{
public:
    // The longest answer, IF, has 38 characters.
    static constexpr int capacity = 40;

    Answer() = default;
    explicit Answer(std::string_view answerTemplate);

    // Writes `value` in decimal ("-" in front when negative) right-aligned into the `width`
    // characters that end at the 1-based `lastPosition`. A value that does not fit is clamped
    // to the field's largest (or most negative) value, so the text around the field is never
    // overwritten.
    void putNumber(int lastPosition, int width, qint64 value);
    // The same for the field that ends just before the closing ";".
    void putNumber(int width, qint64 value) { putNumber(m_length - 1, width, value); }
    // Replaces the character at the 1-based `position`.
    void putChar(int position, char character);

    QByteArray bytes() const { return QByteArray(m_text.data(), m_length); }

    bool operator==(const Answer& other) const
    {
        return m_length == other.m_length &&
               std::equal(m_text.begin(), m_text.begin() + m_length, other.m_text.begin());
    }

private:
    std::array<char, capacity> m_text{};
    int m_length = 0;
};
