#pragma once
// The lines on their way from a channel to its log view: a bounded queue that the worker (or
// any thread) fills and the GUI thread empties a batch at a time. When lines come faster than
// the view takes them, the oldest waiting traffic lines are dropped and counted, so that a
// client polling as fast as it can costs the host neither memory nor GUI time; the channel's
// own notices are kept.
//
// Threads: push() from any thread, take() from the GUI thread; one mutex, held for a few moves.

#include <QList>
#include <QMutex>
#include <QString>

class LogFeed
{
public:
    enum class Kind { Received, Sent, Notice };
    struct Line {
        Kind kind;
        QString text;
    };
    struct Batch {
        QList<Line> lines;
        quint64 dropped = 0; // traffic lines dropped before these
    };

    // The most lines that wait for the view; a batch is never longer.
    static constexpr qsizetype capacity = 200;

    // Adds a line. True when the taker is to be asked for a take: the first line since the last
    // take, so that one request at a time is under way.
    bool push(Kind kind, QString text);
    Batch take();

private:
    QMutex m_mutex;
    QList<Line> m_lines;
    quint64 m_dropped = 0;
    bool m_asked = false;
};
