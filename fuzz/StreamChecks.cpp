#include "StreamChecks.h"

#include "CommandFramer.h"
#include "RadioState.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace
{

constexpr int lastCommandId = 186;
constexpr quint32 lastHostMode = 10;

bool isAnswerCharacter(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() < 0x7f;
}

// The characters a reader sees: no spacing, no control or format characters.
QString visible(const QString& text)
{
    QString shown;
    for (const QChar c : text)
        if (c.isPrint() && !c.isSpace())
            shown.append(c);
    return shown;
}

// A command is logged as its piece and ";", then perhaps a note in brackets (a malformed one).
QString pieceOf(const QString& logged)
{
    return logged.left(logged.indexOf(QLatin1Char(';')));
}

QString commandProblem(const QString& text)
{
    const qsizetype end = text.indexOf(QLatin1Char(';'));
    if (end < 1)
        return QStringLiteral("command logged without its piece or ';'");
    if (end > CommandFramer::maxCommandLength)
        return QStringLiteral("command longer than the framing bound");
    const QStringView note = QStringView(text).sliced(end + 1);
    if (!note.isEmpty() &&
        !(note.startsWith(QLatin1String(" (")) && note.endsWith(QLatin1Char(')'))))
        return QStringLiteral("command followed by something other than a note");
    return {};
}

// A reply is one answer or, for RM;, several in a row: each ends in its ';', none is empty.
QString answerProblem(const QString& text)
{
    if (text.isEmpty())
        return {};
    if (!text.endsWith(QLatin1Char(';')) || text.startsWith(QLatin1Char(';')) ||
        text.contains(QLatin1String(";;")))
        return QStringLiteral("reply that is not whole answers, each with its final ';'");
    for (const QChar c : text)
        if (!isAnswerCharacter(c))
            return QStringLiteral("answer with a byte that is not printable ASCII");
    return {};
}

QString quoted(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toPercentEncoding(" ;?+-"));
}

} // namespace

namespace checks
{

QString read(const QList<LogLine>& lines, const QByteArray& clientBytes)
{
    QByteArray expected;
    bool commandOpen = false; // a command received that has no answer yet
    for (const LogLine& line : lines) {
        const QString problem = line.answer ? answerProblem(line.text) : commandProblem(line.text);
        if (!problem.isEmpty())
            return problem + QStringLiteral(": ") + line.text;
        if (!line.answer) {
            commandOpen = true;
            continue;
        }
        if (!commandOpen)
            return QStringLiteral("answer without a command before it: ") + line.text;
        commandOpen = false;
        expected.append(line.text.toLatin1());
    }
    if (clientBytes != expected)
        return QStringLiteral("client received '%1', answers logged '%2'")
            .arg(quoted(clientBytes), quoted(expected));
    return {};
}

QString framing(const QList<QByteArray>& reads, const QList<QString>& commandsLogged)
{
    QByteArray stream;
    for (const QByteArray& read : reads)
        stream.append(read);
    CommandFramer whole;
    QList<QString> expected;
    for (const QByteArrayView piece : whole.splitCommands(stream))
        expected.append(QString::fromLatin1(piece));
    QList<QString> logged;
    for (const QString& command : commandsLogged)
        logged.append(pieceOf(command));
    if (expected != logged)
        return QStringLiteral("framing depends on the reads: %1 commands in one read, %2 split")
            .arg(expected.size())
            .arg(commandsLogged.size());
    return {};
}

QString keying(const QList<QString>& commandsLogged, const QList<KeyCall>& calls)
{
    // Only TX with nothing, 0 or 1 after its letters keys, and only RX alone releases; line
    // noise may stand before them, spaces anywhere after the letters (and nothing else: "\z",
    // since "$" would let a line feed at the end through). The CW key moves only for KY text
    // (the letters, a space, the text), from the keyer's own thread and in its own time, so it
    // is not counted, only required to have a cause.
    static const QRegularExpression transmit(QStringLiteral("^[^A-Z]*TX *([01] *)?\\z"));
    static const QRegularExpression receive(QStringLiteral("^[^A-Z]*RX *\\z"));
    static const QRegularExpression text(QStringLiteral("^[^A-Z]*KY "));
    QList<KeyCall> expected;
    QList<KeyCall> transmitCalls;
    bool cwText = false;
    for (const QString& command : commandsLogged) {
        const QString piece = pieceOf(command);
        if (transmit.match(piece).hasMatch())
            expected.append(KeyCall::trx(0, 2, true));
        else if (receive.match(piece).hasMatch())
            expected.append(KeyCall::trx(0, 2, false));
        cwText = cwText || text.match(piece).hasMatch();
    }
    for (const KeyCall& call : calls) {
        if (call.kind == KeyCall::SetTrx)
            transmitCalls.append(call);
        else if (!cwText)
            return QStringLiteral("the CW key moved without any KY text");
    }
    if (expected != transmitCalls)
        return QStringLiteral("%1 keying calls for %2 whole TX and RX commands")
            .arg(transmitCalls.size())
            .arg(expected.size());
    return {};
}

QString hostMessage(const QVariant& message)
{
    const QVariantList list = message.toList();
    if (message.typeId() != QMetaType::QVariantList || list.isEmpty())
        return QStringLiteral("host message that is not a list headed by its ID");
    if (list.first().typeId() != QMetaType::Int || list.first().toInt() < 0 ||
        list.first().toInt() > lastCommandId)
        return QStringLiteral("host message with ID ") + list.first().toString();
    for (const QVariant& element : list)
        if (element.typeId() == QMetaType::Double && !std::isfinite(element.toDouble()))
            return QStringLiteral("host message %1 with a number that is not finite")
                .arg(list.first().toInt());
    return {};
}

QString logView(const QTextDocument& document, const QList<LogLine>& lines)
{
    if (document.blockCount() != qMax(1, int(lines.size())))
        return QStringLiteral("log view has %1 paragraphs for %2 lines")
            .arg(document.blockCount())
            .arg(lines.size());
    QTextBlock block = document.begin();
    for (const LogLine& line : lines) {
        if (visible(block.text()) != visible(line.text))
            return QStringLiteral("log view shows '%1' for '%2'").arg(block.text(), line.text);
        block = block.next();
    }
    return {};
}

QString cache(const RadioState& state)
{
    if (!std::isfinite(state.vfoA) || !std::isfinite(state.vfoB))
        return QStringLiteral("a VFO frequency that is not finite");
    if (state.mode > lastHostMode)
        return QStringLiteral("host mode index %1").arg(state.mode);
    return {};
}

} // namespace checks
