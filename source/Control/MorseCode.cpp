#include "MorseCode.h"

#include <array>
#include <iterator>
#include <string_view>

namespace morse
{

namespace
{

struct Code {
    char character;
    std::string_view elements; // "." dot, "-" dash
};

// International Morse code. The prosigns that have no character of their own take one that
// loggers use for them: "=" is BT (the break, also the double hyphen), "+" AR (end of
// message), "(" KN (go ahead, named station only), which are the same patterns.
constexpr Code codes[] = {
    {'A', ".-"},      {'B', "-..."},   {'C', "-.-."},   {'D', "-.."},    {'E', "."},
    {'F', "..-."},    {'G', "--."},    {'H', "...."},   {'I', ".."},     {'J', ".---"},
    {'K', "-.-"},     {'L', ".-.."},   {'M', "--"},     {'N', "-."},     {'O', "---"},
    {'P', ".--."},    {'Q', "--.-"},   {'R', ".-."},    {'S', "..."},    {'T', "-"},
    {'U', "..-"},     {'V', "...-"},   {'W', ".--"},    {'X', "-..-"},   {'Y', "-.--"},
    {'Z', "--.."},    {'0', "-----"},  {'1', ".----"},  {'2', "..---"},  {'3', "...--"},
    {'4', "....-"},   {'5', "....."},  {'6', "-...."},  {'7', "--..."},  {'8', "---.."},
    {'9', "----."},   {'.', ".-.-.-"}, {',', "--..--"}, {'?', "..--.."}, {'/', "-..-."},
    {'=', "-...-"},   {'+', ".-.-."},  {'-', "-....-"}, {'(', "-.--."},  {')', "-.--.-"},
    {'\'', ".----."}, {':', "---..."}, {'"', ".-..-."}, {'@', ".--.-."}, {'!', "-.-.--"},
};

constexpr int asciiCount = 128;

constexpr Pattern parse(std::string_view elements)
{
    Pattern pattern;
    pattern.length = static_cast<quint8>(elements.size());
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i] == '-')
            pattern.dashes = static_cast<quint8>(pattern.dashes | 1u << i);
    }
    return pattern;
}

constexpr bool codesAreSound()
{
    for (size_t i = 0; i < std::size(codes); ++i) {
        const Code& code = codes[i];
        if (code.elements.empty() || code.elements.size() > 8 || code.character < ' ' ||
            code.character >= asciiCount || (code.character >= 'a' && code.character <= 'z'))
            return false;
        for (const char element : code.elements) {
            if (element != '.' && element != '-')
                return false;
        }
        for (size_t j = 0; j < i; ++j) {
            if (codes[j].character == code.character || codes[j].elements == code.elements)
                return false;
        }
    }
    return true;
}
static_assert(codesAreSound(), "Morse table: a character twice, a pattern twice or a bad pattern");

constexpr auto patterns = [] {
    std::array<Pattern, asciiCount> table{};
    for (const Code& code : codes)
        table[static_cast<size_t>(code.character)] = parse(code.elements);
    return table;
}();

constexpr char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

Pattern patternOf(char c)
{
    const auto index = static_cast<unsigned char>(upper(c));
    return index < asciiCount ? patterns[index] : Pattern{};
}

bool isSendable(char c)
{
    return c == ' ' || patternOf(c).length > 0;
}

ElementGenerator::Start ElementGenerator::start(char c)
{
    m_pattern = Pattern{};
    m_index = 0;
    if (c == ' ') {
        // A space before anything was sent separates nothing.
        if (m_gap != 0)
            m_gap = wordGapDots;
        return Start::Space;
    }
    const Pattern pattern = patternOf(c);
    if (pattern.length == 0)
        return Start::Skipped;
    m_pattern = pattern;
    return Start::Character;
}

bool ElementGenerator::next(Element& element)
{
    if (m_index >= m_pattern.length)
        return false;
    element.gapBefore = m_index == 0 ? m_gap : elementGapDots;
    element.length = (m_pattern.dashes >> m_index & 1u) ? dashDots : 1;
    if (++m_index == m_pattern.length)
        m_gap = characterGapDots;
    return true;
}

void ElementGenerator::reset()
{
    m_pattern = Pattern{};
    m_index = 0;
    m_gap = 0;
}

} // namespace morse
