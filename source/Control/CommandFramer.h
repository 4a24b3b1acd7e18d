#pragma once
// Cuts the byte stream of a CAT port into Kenwood commands: every ";" ends one, the text after
// the last ";" waits for its ";" over as many reads as it takes. Used by the channel's worker
// thread only, one framer per run of the worker, so a reopened port starts clean.
//
// The pieces are views into the framer's and the caller's buffers, valid until the next call
// or until the caller's bytes go away; the buffers keep their capacity, so framing a batch
// allocates nothing once the first few reads have sized them.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class CommandFramer
{
public:
    // A command is far shorter than this; longer text before a ";" is line noise and is
    // dropped whole, up to and including its ";".
    static constexpr qsizetype maxCommandLength = 64;

    CommandFramer();

    // The complete commands in `bytes`, without their ";", empty ones skipped; the text of a
    // read ends at its first NUL byte. An empty read changes nothing.
    const QList<QByteArrayView>& splitCommands(const QByteArray& bytes);

    // The unfinished command carried to the next read.
    QByteArrayView pending() const { return m_pending; }

    // The command code of a piece: its capital letters A to Z, when there are exactly two of
    // them (first letter in the low byte); 0 otherwise.
    static quint16 commandCode(QByteArrayView piece);
    // The digits, "+" and "-" of a piece, written over `parameter` (its capacity is kept).
    static void parameter(QByteArrayView piece, QString& parameter);

private:
    void addPiece(QByteArrayView segment);
    void keepTail(QByteArrayView tail);

    QList<QByteArrayView> m_pieces;
    QByteArray m_pending;
    QByteArray m_joined; // the pending text completed by the first ";" of a read
    bool m_discarding = false;
};
