#include "MorseDecoder.h"

#include <cmath>
#include <string_view>

namespace
{

struct Sign {
    std::string_view elements;
    char character;
};

// What a receiving station hears, written down as text.
constexpr Sign signs[] = {
    {".-", 'A'},      {"-...", 'B'},   {"-.-.", 'C'},   {"-..", 'D'},    {".", 'E'},
    {"..-.", 'F'},    {"--.", 'G'},    {"....", 'H'},   {"..", 'I'},     {".---", 'J'},
    {"-.-", 'K'},     {".-..", 'L'},   {"--", 'M'},     {"-.", 'N'},     {"---", 'O'},
    {".--.", 'P'},    {"--.-", 'Q'},   {".-.", 'R'},    {"...", 'S'},    {"-", 'T'},
    {"..-", 'U'},     {"...-", 'V'},   {".--", 'W'},    {"-..-", 'X'},   {"-.--", 'Y'},
    {"--..", 'Z'},    {".----", '1'},  {"..---", '2'},  {"...--", '3'},  {"....-", '4'},
    {".....", '5'},   {"-....", '6'},  {"--...", '7'},  {"---..", '8'},  {"----.", '9'},
    {"-----", '0'},   {".-.-.-", '.'}, {"--..--", ','}, {"..--..", '?'}, {"-..-.", '/'},
    {"-...-", '='},   {".-.-.", '+'},  {"-....-", '-'}, {"-.--.", '('},  {"-.--.-", ')'},
    {".----.", '\''}, {"---...", ':'}, {".-..-.", '"'}, {".--.-.", '@'}, {"-.-.--", '!'},
};

// A pattern nobody sends.
constexpr char unknownSign = '*';

// Between one and three dots, and between three and seven, the boundary is the geometric
// middle: a speed change between two characters moves a length by a factor, not by a sum.
const double dotOrDash = std::sqrt(3.0);
const double characterOrWord = std::sqrt(21.0);

constexpr int wordGapDots = 7;

} // namespace

void MorseDecoder::keyDown(qint64 at, qint64 hintDot)
{
    if (m_down)
        return;
    if (m_dot == 0)
        m_dot = hintDot;
    if (m_count > 0) {
        const qint64 gap = at - m_upAt;
        const qint64 dot = characterDot();
        if (gap >= dotOrDash * double(dot)) {
            finishCharacter();
            if (gap >= characterOrWord * double(dot))
                m_text += QLatin1Char(' ');
        } else {
            m_gapSum += gap;
        }
    }
    m_down = true;
    m_downAt = at;
}

void MorseDecoder::keyUp(qint64 at)
{
    if (!m_down)
        return;
    m_down = false;
    m_upAt = at;
    if (m_count < maxElements)
        m_elements[std::size_t(m_count)] = at - m_downAt;
    ++m_count;
}

QString MorseDecoder::finish()
{
    finishCharacter();
    const QString message = m_text;
    m_text.clear();
    m_down = false;
    return message;
}

qint64 MorseDecoder::endOfMessageSilence() const
{
    return 2 * wordGapDots * m_dot;
}

qint64 MorseDecoder::characterDot() const
{
    if (m_count > 1)
        return m_gapSum / (m_count - 1);
    const qint64 length = m_elements[0];
    return isDash(length, m_dot) ? length / 3 : length;
}

bool MorseDecoder::isDash(qint64 length, qint64 dot) const
{
    return double(length) >= dotOrDash * double(dot);
}

void MorseDecoder::finishCharacter()
{
    if (m_count == 0)
        return;
    const qint64 dot = characterDot();
    char character = unknownSign;
    if (m_count <= maxElements) {
        char elements[maxElements];
        for (int i = 0; i < m_count; ++i)
            elements[i] = isDash(m_elements[std::size_t(i)], dot) ? '-' : '.';
        const std::string_view pattern(elements, std::size_t(m_count));
        for (const Sign& sign : signs) {
            if (sign.elements == pattern)
                character = sign.character;
        }
    }
    m_text += QLatin1Char(character);
    m_dot = dot;
    m_count = 0;
    m_gapSum = 0;
}
