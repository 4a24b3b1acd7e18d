#pragma once
// Reads Morse back from the key's edges and their times, as an operator listening to the
// transmitter would, so that what the plug-in keyed can be checked by a test or read by a
// person. Each key-down and key-up comes with its time; the dot length is learnt from the
// timing itself (the gaps inside a character are one dot long), starting from the host's
// keyer speed for the first character of a message, so the speed may change between
// characters. A message ends after a silence of two word gaps (finish()).
// Prosigns come out as the characters loggers write for them: BT "=", AR "+", KN "(".
// Plain data, no threads: SimulatedRadio feeds it in the GUI thread.

#include <QString>
#include <QtGlobal>

#include <array>

class MorseDecoder
{
public:
    // Times in nanoseconds of one monotonic clock; `hintDot` is the dot the host's keyer speed
    // gives, used until the timing tells better.
    void keyDown(qint64 at, qint64 hintDot);
    void keyUp(qint64 at);
    // Decodes what is left, and returns the whole message; the next key-down starts a new one.
    QString finish();
    // The message so far (without the character being keyed).
    const QString& text() const { return m_text; }
    // Whether a message has begun and not been finished.
    bool inMessage() const { return m_count > 0 || !m_text.isEmpty(); }
    // How long after the last key-up the message counts as ended.
    qint64 endOfMessageSilence() const;

private:
    static constexpr int maxElements = 8;

    void finishCharacter();
    // The dot of the character being keyed: its gaps' length, or for a lone element what it
    // is as a dot or a dash at the speed learnt so far.
    qint64 characterDot() const;
    bool isDash(qint64 length, qint64 dot) const;

    QString m_text;
    std::array<qint64, maxElements> m_elements{}; // key-down lengths of the current character
    int m_count = 0;
    qint64 m_gapSum = 0; // the gaps between them
    qint64 m_dot = 0;    // learnt from the characters decoded so far; 0 before any
    qint64 m_downAt = 0;
    qint64 m_upAt = 0;
    bool m_down = false;
};
