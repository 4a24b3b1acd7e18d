#pragma once
// The simulator's line-oriented report on stdout, for scripts and tests: one line per host
// command received, per keying call and per device-manager call, flushed at once. Lines are
// plain words and numbers separated by single spaces (see MessageText.h for commands).
// Safe to call from any thread; the simulator calls it from the GUI thread only.

#include <QString>

void printHostLine(const QString& line);
