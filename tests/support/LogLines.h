#pragma once
// A channel's log line names its session first ("CAT FA;", "127.0.0.1:40122 FA;"); tests that
// look at one session's traffic split the two.

#include <QString>

// The session's name at the front of `line`.
inline QString sessionOf(const QString& line)
{
    return line.section(QLatin1Char(' '), 0, 0);
}

// What follows the session's name: the command or answer itself.
inline QString trafficOf(const QString& line)
{
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    return space < 0 ? line : line.mid(space + 1);
}
