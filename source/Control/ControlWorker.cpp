// Control's CAT port and its worker: opening and closing the port, and the loop that waits on
// the port, frames the input and hands each command to the interpreter.
//
// openCAT, stopWorker and selectCatLines run in the GUI thread; run() in the worker thread. The
// worker waits holding no lock, and holds the channel mutex while it executes one read's worth
// of input (at most what a tty hands over at once), from its first command to its last.
// Answers are queued by the port without waiting, so the mutex is never held across a wait for
// the line; the queue is sent on outside the mutex. The worker also follows the line (a
// failure and its end are logged once each) and the virtual port's client, whose leaving drops
// what it left behind; either releases what the CAT port keyed.

#include "Control.h"

#include "ByteQueue.h"
#include "CommandFramer.h"
#include "CommandTable.h"
#include "DeviceManagerAbstract.h"
#include "SerialPortControl.h"
#include "VirtualPort.h"

#include <QComboBox>
#include <QLabel>
#include <QMutexLocker>

#include <poll.h>

namespace
{

// While a CAT-port line keys PTT or CW, the worker looks at both lines this often itself (the
// port's own 1 ms timer stays off, so the GUI thread is not woken for them).
constexpr qint64 lineTurnMicroseconds = 500;

// A hung-up line (the other end of a pseudo-terminal gone, a device unplugged) reports itself
// at every wait; it is looked at again this often instead, so that it costs nothing while dead.
constexpr qint64 hangUpRetryMicroseconds = 50000;

constexpr short lineFailed = POLLHUP | POLLERR | POLLNVAL;

// How a failed line shows in poll(), in the log's words; the first that applies is given.
struct LineFailure {
    short event;
    const char* reason;
};
constexpr LineFailure lineFailures[] = {
    {POLLNVAL, QT_TRANSLATE_NOOP("Control", "the port's descriptor is not open")},
    {POLLERR, QT_TRANSLATE_NOOP("Control", "device error")},
    {POLLHUP, QT_TRANSLATE_NOOP("Control", "hang-up (the device or the other end is gone)")},
};

// Input is executed in pieces of at most a tty's read buffer, so that the answers of one piece
// overshoot the output queue's limit by a bounded amount.
constexpr qsizetype executeSliceBytes = 4096;

} // namespace

void Control::openCAT(bool state)
{
    if (!state) {
        stopWorker();
        return;
    }
    if (running || deferRestoredOpen())
        return;
    catPort->setPortName(panel.cbPortName->currentText());
    catPort->setParity(panel.cbParity->currentIndex());
    catPort->setDataBits(panel.cbData->currentIndex());
    catPort->setStopBits(panel.cbStopBit->currentIndex());
    catPort->setBaudRate(panel.cbBoudRate->currentIndex());
    catPort->setFlowControl(0);
    if (!catPort->open(QIODevice::ReadWrite)) {
        // A virtual port says why beside its box too (its name may be another host's).
        if (VirtualPort::isItem(panel.cbPortName->currentText()))
            panel.lbVirtualPath->setText(catPort->errorString());
        refuseOpen(panel.chbEnable, SLOT(openCAT(bool)), panel.cbPortName, catPort);
        return;
    }
    announceVirtualPort();
    running = true;
    workerEnded = false;
    start(QThread::TimeCriticalPriority);
    if (manager)
        manager->setCatEnable(cache.transceiver, true);
}

void Control::stopWorker()
{
    // A channel that closes stops its CW text too.
    keyer.stop();
    if (!running)
        return;
    // The wake-up ends the worker's wait at once; the rest of its turn is bounded (nothing in
    // it waits for the line), so waiting is safe and the mutex ends up free.
    running = false;
    workerWait.wake();
    wait();
    workerEnded.load(std::memory_order_acquire);
    catPort->close();
    releaseCatKeying(tr("port closed"));
    if (manager)
        manager->setCatEnable(cache.transceiver, false);
}

void Control::selectCatLines(int pttRow, int keyRow)
{
    pttLineChoice = pttRow;
    keyLineChoice = keyRow;
    catPort->setLinePollWanted(catLinesWatched());
    workerWait.wake();
}

void Control::run()
{
    CommandFramer framer;
    QString parameter;
    parameter.reserve(CommandFramer::maxCommandLength);
    // Input read but not executed yet: only while the answers wait at the limit.
    ByteQueue input;
    const int fd = catPort->handle();
    const int clientWatch = catPort->clientWatchHandle();
    const bool isVirtual = VirtualPort::isItem(catPort->portName());
    bool rawKeptLogged = false;
    bool hungUp = false;

    while (running) {
        const bool watching = catLinesWatched();
        const qint64 queued = catPort->queuedOutput();
        short events = 0;
        if (!hungUp)
            events =
                short((input.size() < heldInputLimit ? POLLIN : 0) | (queued > 0 ? POLLOUT : 0));
        const qint64 limit = watching ? lineTurnMicroseconds
                             : hungUp ? hangUpRetryMicroseconds
                                      : -1;
        const WorkerWait::Result ready = workerWait.wait(fd, events, clientWatch, limit);
        workerTurns.fetch_add(1, std::memory_order_relaxed);
        // A failed line is not waited on; after each pause it is looked at once.
        const short portEvents = hungUp ? WorkerWait::look(fd, POLLIN) : ready.portEvents;
        if (bool(portEvents & lineFailed) != hungUp) {
            hungUp = !hungUp;
            followLine(hungUp, portEvents);
        }
        // Before the input: what a client that left wrote is not executed.
        if (ready.clientWatch)
            followClient(input, framer);

        if (portEvents & (POLLOUT | lineFailed))
            catPort->sendQueued();
        if (portEvents & POLLIN) {
            const QByteArray bytes = catPort->readAll();
            input.append(bytes.constData(), bytes.size());
            if (isVirtual && VirtualPort::keepRaw(fd) && !rawKeptLogged) {
                rawKeptLogged = true;
                emit logMessage(tr("The client switched echo on: switched back off"), false);
            }
        }
        // Commands are executed only while the answers queued so far stay under the limit.
        while (!input.isEmpty() && catPort->queuedOutput() < outputQueueLimit) {
            const qsizetype size = qMin(input.size(), executeSliceBytes);
            {
                QMutexLocker lock(&mutex);
                executeBatch(framer, QByteArray::fromRawData(input.front(), size), parameter,
                             catPort);
            }
            input.consume(size);
        }
        if (watching)
            takeCatLineChanges();
    }
    workerEnded.store(true, std::memory_order_release);
}

void Control::followLine(bool lost, short events)
{
    if (!lost) {
        notice(tr("line back: data flows again"));
        return;
    }
    for (const LineFailure& failure : lineFailures) {
        if (events & failure.event) {
            notice(tr("line lost: ") + tr(failure.reason));
            break;
        }
    }
    releaseCatKeying(tr("line lost"));
}

void Control::followClient(ByteQueue& held, CommandFramer& framer)
{
    const ClientChange change = catPort->takeClientChanges();
    if (change.left) {
        held.clear();
        framer = CommandFramer();
        notice(tr("Client left: its unread answers and unexecuted commands are dropped"));
        releaseCatKeying(tr("client left"));
    }
    if (change.arrived)
        notice(tr("Client opened the port"));
}

void Control::takeCatLineChanges()
{
    catPort->pollLines();
    if (catPort->isCtsChanged())
        setCts(catPort->cts());
    if (catPort->isDsrChanged())
        setDsr(catPort->dsr());
}

void Control::executeBatch(CommandFramer& framer, const QByteArray& bytes, QString& parameter,
                           SerialPortControl* port)
{
    for (const QByteArrayView piece : framer.splitCommands(bytes)) {
        const CommandFramer::Command command = CommandFramer::command(piece);
        const CommandEntry& entry = findCommand(command.code);
        const bool wellFormed = CommandFramer::parameter(command.rest, entry.kind, parameter);
        if (isLogWatched())
            logReceived(piece, wellFormed || command.code == 0);
        // A malformed command does nothing at all: a noise byte inside a command must never
        // turn it into another one. Our own "?;" echoed back is not answered, or an echoing
        // line would keep the two ends talking for ever.
        if (wellFormed && !CommandFramer::isRefusalEcho(piece))
            executeCommand(command.code, parameter, port);
    }
}

void Control::logReceived(QByteArrayView piece, bool wellFormed)
{
    static const QString malformed = QStringLiteral(" (malformed: ignored)");
    QString line;
    line.reserve(piece.size() + 1 + malformed.size());
    line.append(QLatin1String(piece)).append(QLatin1Char(';'));
    if (!wellFormed)
        line.append(malformed);
    emit logMessage(line, false);
}
