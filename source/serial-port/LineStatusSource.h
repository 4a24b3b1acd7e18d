#pragma once
// Where both backends read the modem input lines from. Normally that is the tty itself
// (TIOCMGET, or the Qt add-on's pinout signals). Pseudo-terminals have no modem lines, so a
// test can install a source process-wide that answers for every open port by its device path,
// including ports that a channel controller creates internally:
//
//     std::atomic<ulong> lines{LS_CTS};
//     LineStatusSource::set([&](const QString& path) {
//         return path == pty.slavePath() ? lines.load() : 0ul;
//     });
//     ...
//     LineStatusSource::set(nullptr);   // back to the hardware
//
// The device path is the name the port was opened with, a bare name put under /dev/
// (COM5 -> /dev/COM5, /dev/pts/3 stays as it is). The answer uses the LS_* bits of SerialTypes.h
// (CTS 0x01, DSR 0x02). Setting, clearing and querying are safe from any thread; the source
// itself is called from the backends' poll timers (the thread that created the ports) while
// other threads may change what it returns, so it should read atomics.

#include <QString>

#include <functional>
#include <optional>

namespace LineStatusSource
{

using Function = std::function<ulong(const QString& devicePath)>;

// Installs `source`; an empty function restores the hardware lines.
void set(Function source);

// The installed source's answer for `devicePath`, or nothing when no source is installed.
std::optional<ulong> query(const QString& devicePath);

} // namespace LineStatusSource
