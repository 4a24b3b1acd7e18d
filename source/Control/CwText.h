#pragma once
// The CW text waiting to be keyed: a fixed ring of characters, filled by KY and emptied by the
// keyer one character at a time. It keeps only what the keyer sends: characters with a Morse
// pattern and single spaces (a run of spaces is one word gap anyway, so a text
// padded with spaces takes no more room than its words and one space). Not thread-safe: the
// keyer guards it with its lock.

#include "MorseCode.h"

#include <QStringView>

#include <array>

template <int Capacity> class CwText
{
public:
    // Adds `text` whole; false, changing nothing, when it does not fit.
    bool append(QStringView text)
    {
        char last = m_size > 0 ? at(m_size - 1) : '\0';
        int needed = 0;
        for (const QChar c : text) {
            const char kept = keep(c, last);
            if (kept != '\0') {
                ++needed;
                last = kept;
            }
        }
        if (needed > Capacity - m_size)
            return false;
        last = m_size > 0 ? at(m_size - 1) : '\0';
        for (const QChar c : text) {
            const char kept = keep(c, last);
            if (kept != '\0') {
                m_chars[(m_first + m_size++) % Capacity] = kept;
                last = kept;
            }
        }
        return true;
    }

    // The oldest character, removed; false when there is none.
    bool take(char& c)
    {
        if (m_size == 0)
            return false;
        c = m_chars[m_first];
        m_first = (m_first + 1) % Capacity;
        --m_size;
        return true;
    }

    void clear()
    {
        m_first = 0;
        m_size = 0;
    }

    bool isEmpty() const { return m_size == 0; }
    int free() const { return Capacity - m_size; }

private:
    char at(int offset) const { return m_chars[(m_first + offset) % Capacity]; }

    // What `c` adds after `last`: the character, or nothing ('\0') for a character without a
    // pattern and for a space after a space.
    static char keep(QChar c, char last)
    {
        const char ascii = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\0';
        if (ascii == ' ')
            return last == ' ' ? '\0' : ' ';
        return morse::patternOf(ascii).length > 0 ? ascii : '\0';
    }

    std::array<char, Capacity> m_chars{};
    int m_first = 0;
    int m_size = 0;
};
