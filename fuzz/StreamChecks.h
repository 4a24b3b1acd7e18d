#pragma once
// What must hold whatever bytes arrive on a CAT port, checked by the fuzzer after each read and
// each input. Every check returns an empty string when it holds, otherwise what went wrong.

#include "CommandRig.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

class QTextDocument;
struct RadioState;

namespace checks
{

// One read's log: every command received is a piece of at most 64 characters without ";",
// logged with its ";" (and a note in brackets when it was malformed); each command has at most one
// reply, logged after it; a reply is printable ASCII made of whole answers, each ending in its ";"
// (RM; replies with three), or empty (nothing written); the client end got exactly the replies, in
// order.
QString read(const QList<LogLine>& lines, const QByteArray& clientBytes);

// Framing does not depend on where reads split: the commands logged over all reads are those
// one framer finds in the whole stream at once.
QString framing(const QList<QByteArray>& reads, const QList<QString>& commandsLogged);

// The key object was called for exactly the whole TX and RX commands logged, in order: no line
// noise keys the transmitter, none keeps a release from releasing it.
QString keying(const QList<QString>& commandsLogged, const QList<KeyCall>& calls);

// A host message is a list headed by a known command ID whose numbers are finite.
QString hostMessage(const QVariant& message);

// The log view holds one paragraph per line logged, and each shows the line's visible text:
// bytes from the port never become markup.
QString logView(const QTextDocument& document, const QList<LogLine>& lines);

// The cache stays within what the radio can report: finite frequencies, a host mode index.
QString cache(const RadioState& state);

} // namespace checks
