#include "KeyerCommands.h"

#include "CwKeyer.h"
#include "Modes.h"
#include "MorseCode.h"
#include "Request.h"

namespace
{

// A character as the Morse table knows it; anything beyond ASCII has no pattern.
char ascii(QChar c)
{
    return c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\0';
}

// The characters of `text` that the keyer leaves out, for the log; nothing is built when there
// are none.
void noteLeftOut(const Request& request, QStringView text)
{
    QString leftOut;
    for (const QChar c : text) {
        if (!morse::isSendable(ascii(c)))
            leftOut += c;
    }
    if (!leftOut.isEmpty())
        request.note(QStringLiteral("KY: not sent, no Morse for \"%1\"").arg(leftOut));
}

} // namespace

namespace keyer
{

// "KY;" reads whether the keyer takes another full text (KY0;) or not yet (KY1;). "KY", a
// space and the text (Hamlib pads it to 24 characters, fldigi sends one at a time) queues the
// text and answers nothing. The space is the TS-480's own separator: a rest without it (our
// KY0; come back on an echoing line) is no text. Text is keyed in CW only, and only whole: a
// text that does not fit is dropped, as one that comes in another mode.
void ky(Request& request)
{
    const QStringView rest = request.parameter();
    if (rest.isEmpty())
        return request.reply(request.keyer().hasRoom() ? 0 : 1);
    if (rest.front() != QLatin1Char(' ') || !request.mayTransmit())
        return;
    const QStringView text = rest.mid(1);
    if (modes::groupOf(request.radio.mode) != modes::Group::Cw)
        return request.note(QStringLiteral("KY text dropped, not in CW: \"%1\"").arg(text));
    noteLeftOut(request, text);
    if (!request.keyer().append(text))
        request.note(QStringLiteral("KY text dropped, the keyer is full: \"%1\"").arg(text));
}

} // namespace keyer
