#pragma once
// What both serial backends share: the lock that serialises every use of a backend's device,
// the 1 ms poll of CTS and DSR with a level and a sticky change flag per line, and the reads
// of those lines for the interface. A backend supplies one look at both input lines at once;
// the poll turns it into the two lines' levels, so both always come from the same moment.
//
// Threads: the poll timer fires in the thread that created the backend; any thread may call
// the operations. `lock` is non-recursive; nothing called under it takes it again.

#include "ModemLine.h"
#include "PollTimer.h"
#include "SerialPortAbstract.h"
#include "SettingTables.h"

#include <QMutex>
#include <QMutexLocker>

#include <array>
#include <optional>

class SerialBackend : public SerialPortAbstract
{
    Q_OBJECT

public:
    bool isCtsChanged() override;
    bool isDsrChanged() override;
    bool cts() override;
    bool dsr() override;

protected:
    // `linesStartAsserted`: the level both lines have before the first poll sees them.
    explicit SerialBackend(bool linesStartAsserted);

    // The LS_* bits of both input lines from one look, or nothing while the device is closed
    // (a closed port keeps its last levels). Called with `lock` held.
    virtual std::optional<ulong> readLines() = 0;

    // Hands the table's value for `index` to the device under the lock; a row outside the
    // table is refused.
    template <typename Port, typename T, std::size_t N, typename Setter>
    bool applyRow(Port& port, const std::array<T, N>& rows, int index, Setter setter)
    {
        const auto value = SettingTables::entryAt(rows, index);
        if (!value)
            return false;
        QMutexLocker locker(&lock);
        (port.*setter)(*value);
        return true;
    }

    // The row of the device's current value, `fallback` when the table has none.
    template <typename Port, typename T, std::size_t N, typename Getter>
    int currentRow(const Port& port, const std::array<T, N>& rows, Getter getter, int fallback)
    {
        QMutexLocker locker(&lock);
        return SettingTables::rowOf(rows, (port.*getter)(), fallback);
    }

    void startLinePoll() { pollTimer.start(); }
    void stopLinePoll() { pollTimer.stop(); }

    void timerEvent(QTimerEvent* event) override;

    QMutex lock;

private:
    void poll();

    PollTimer pollTimer{this};
    ModemLine ctsLine;
    ModemLine dsrLine;
};
