#pragma once
// What both serial backends share: the lock that serialises every use of a backend's device,
// the 1 ms poll of CTS and DSR with a level and a sticky change flag per line, and the output
// queue that answers wait in until the line takes them. A backend supplies one look at both
// input lines at once (so both levels always come from the same moment), a write that takes
// what the line takes without waiting, and the descriptor a caller may wait on.
//
// Threads: the poll timer fires in the thread that created the backend; any thread may call
// the operations. `lock` is non-recursive; nothing called under it takes it again, and no
// operation waits for the line while holding it.

#include "ByteQueue.h"
#include "ClientWatch.h"
#include "ModemLine.h"
#include "PollTimer.h"
#include "SerialPortAbstract.h"
#include "SettingTables.h"

#include <QMutex>
#include <QMutexLocker>

#include <array>
#include <atomic>
#include <optional>

class SerialBackend : public SerialPortAbstract
{
    Q_OBJECT

public:
    bool isCtsChanged() override;
    bool isDsrChanged() override;
    bool cts() override;
    bool dsr() override;

    // Accepts `data` whole: sends what the line takes at once and queues the rest behind what
    // is already queued, so nothing is cut, dropped or reordered. Returns data's size, or -1
    // when the port is closed or the line failed (then nothing of it is kept).
    qint64 write(const QByteArray& data) override;
    // Sends from the front of the queue what the line takes now, never waiting. False when the
    // line failed; the queue is then discarded, as nobody can receive it any more.
    bool sendQueued();
    // Bytes accepted by write() that the line has not taken yet.
    qint64 queuedOutput();
    // The device's descriptor, to wait on for input or for room to write; -1 while closed.
    int handle();
    // For a port that knows its client (the virtual port): readable when the client came or
    // left; -1 for any other port.
    int clientWatchHandle();
    // What happened to the client since the last call. When it left, the answers it did not
    // read (queued here and in the line) and what it wrote and nobody read are dropped.
    ClientChange takeClientChanges();

    // Whether the 1 ms line poll runs while the port is open (it does unless switched off).
    // Switching it on reads both lines at once and takes their levels as they are, so a level
    // that changed while nobody watched is not reported as a change; asking for the state it
    // is in changes nothing.
    void setLinePollWanted(bool wanted);
    // Whether a wanted poll runs on the backend's own 1 ms timer (the default) or is made by
    // the port's owner through pollLines(): an owner that is awake anyway spares the timer's
    // thread a wake-up every millisecond. Set before the port opens.
    void setLinePollByOwner(bool byOwner) { pollByOwner = byOwner; }
    // One look at both lines now, as a timer tick makes it; nothing while closed or while the
    // poll is not wanted (a look that overlaps switching it off ends before the switch returns).
    void pollLines();
    bool isLinePolling() const { return pollByOwner ? pollWanted.load() : pollTimer.isRunning(); }

protected:
    // `linesStartAsserted`: the level both lines have before the first poll sees them.
    explicit SerialBackend(bool linesStartAsserted);

    // The LS_* bits of both input lines from one look, or nothing while the device is closed
    // (a closed port keeps its last levels). Called with `lock` held.
    virtual std::optional<ulong> readLines() = 0;
    // Writes what the line takes now without waiting: the count taken (0 when it is full), or
    // -1 when the line failed. Called with `lock` held, only while the device is open.
    virtual qint64 writeNow(const char* data, qint64 size) = 0;
    // The open device's descriptor, -1 while closed. Called with `lock` held.
    virtual int descriptor() = 0;
    // The device's side of clientWatchHandle() and takeClientChanges(): a device that cannot
    // tell has no watch and no changes. Called with `lock` held.
    virtual int clientWatchDescriptor() { return -1; }
    virtual ClientChange takeDeviceClientChanges() { return {}; }

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

    // For open() once the device is open, and for close() before it closes.
    void startLinePoll();
    void stopLinePoll() { pollTimer.stop(); }
    // For close(), with `lock` held: answers nobody will read any more.
    void discardQueuedOutput() { output.clear(); }

    void timerEvent(QTimerEvent* event) override;

    QMutex lock;

private:
    void poll();
    // With `lock` held.
    void pollLocked();
    // With `lock` held.
    bool sendQueuedLocked();

    PollTimer pollTimer{this};
    std::atomic<bool> pollWanted{true};
    std::atomic<bool> pollByOwner{false};
    ModemLine ctsLine;
    ModemLine dsrLine;
    ByteQueue output;
};
