#pragma once
// Morse code as the channel's keyer sends it: the pattern of every character it can send
// (letters, digits, the usual punctuation, and the prosigns BT, AR and KN written "=", "+" and
// "("), and the element generator that turns text, one character at a time, into key-down
// elements with the silence before each, in dots of the PARIS standard (a dash is three dots,
// one dot between the elements of a character, three between characters, seven between words).
// Pure and allocation-free: the keyer thread runs one generator, the KY command asks which
// characters can be sent. Any thread; a generator belongs to one thread.

#include <QtGlobal>

namespace morse
{

constexpr int dashDots = 3;
constexpr int elementGapDots = 1;
constexpr int characterGapDots = 3;
constexpr int wordGapDots = 7;

// A character's elements, the first in bit 0, a set bit for a dash; length 0 for a character
// without a pattern.
struct Pattern {
    quint8 length = 0;
    quint8 dashes = 0;
};

// Lower case has the pattern of upper case; a space has none (it is a gap, not a character).
Pattern patternOf(char c);
// A character that keys something or separates words.
bool isSendable(char c);

// One key-down element: the silence before it, counted from the end of the element before, and
// its length, both in dots.
struct Element {
    int gapBefore = 0;
    int length = 0;
};

class ElementGenerator
{
public:
    enum class Start {
        Character, // its elements follow from next()
        Space,     // the next character follows a word gap; a run of spaces is one gap
        Skipped,   // no pattern: nothing is keyed, the gaps stay as they were
    };

    // Takes the next character of the text.
    Start start(char c);
    // The next element of the character started last; false after its last one.
    bool next(Element& element);
    // Nothing was sent before: the next character's first element follows no gap.
    void reset();

private:
    Pattern m_pattern;
    int m_index = 0;
    // The silence before the next character: 0 when nothing was sent since reset(), else the
    // character gap, or the word gap after a space.
    int m_gap = 0;
};

} // namespace morse
