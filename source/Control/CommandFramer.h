#pragma once
// Cuts the byte stream of a CAT port into Kenwood commands and reads each one as a TS-480 does.
// Every ";" ends a piece; the text after the last ";" waits for its ";" over as many reads as it
// takes. In a piece, the bytes before the first capital letter are line noise (CR LF, the NUL of
// a break, a stray byte from a cable plugged in); the next two characters are the command
// letters when both are A to Z, and what follows is the parameter. Nothing else is removed, so a
// noise byte inside a command makes it malformed instead of turning it into another command.
//
// Used by one worker thread per port, one framer per client connection, so a reopened port
// starts clean. The pieces are views into the framer's and the caller's buffers, valid until the
// next call or until the caller's bytes go away; the buffers keep their capacity, so framing a
// batch allocates nothing once the first few reads have sized them.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// What a command's parameter may hold besides digits and spaces.
enum class ParameterKind : quint8 {
    Digits, // digits only
    Signed, // digits and a sign, where the command's own answer carries one
    Text,   // any text, taken as it stands
};

class CommandFramer
{
public:
    // A command is far shorter than this; longer text before a ";" is line noise and is
    // dropped whole, up to and including its ";".
    static constexpr qsizetype maxCommandLength = 64;

    // One piece read as a command.
    struct Command {
        quint16 code = 0;    // the letters, first in the low byte; 0 when there are none
        QByteArrayView rest; // what follows the letters (or the noise, when there are none)
    };

    CommandFramer();

    // The complete pieces in `bytes`, without their ";", empty ones skipped. A NUL is a byte
    // like any other. An empty read changes nothing.
    const QList<QByteArrayView>& splitCommands(const QByteArray& bytes);

    // The unfinished piece carried to the next read.
    QByteArrayView pending() const { return m_pending; }

    // The command in a piece: the two characters after its leading noise, when both are A to
    // Z. Otherwise the code is 0, and the rest is what follows the one or two characters that
    // stood where the letters belong (empty when the piece is noise alone).
    static Command command(QByteArrayView piece);
    // The parameter of `rest` for a command of `kind`, written over `parameter` (its capacity
    // is kept): spaces dropped from digits and signs, text as it stands. False when `rest`
    // holds a byte its kind does not take: the command is malformed.
    static bool parameter(QByteArrayView rest, ParameterKind kind, QString& parameter);
    // Whether a piece is our own "?;" come back, as on a line that echoes: never answered.
    static bool isRefusalEcho(QByteArrayView piece) { return piece == "?"; }

private:
    void addPiece(QByteArrayView segment);
    void keepTail(QByteArrayView tail);

    QList<QByteArrayView> m_pieces;
    QByteArray m_pending;
    QByteArray m_joined; // the pending text completed by the first ";" of a read
    bool m_discarding = false;
};
