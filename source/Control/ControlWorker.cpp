// Control's worker and the sessions it serves: opening and closing the CAT port, starting and
// stopping the worker, and the loop that waits on every session, frames each one's input and
// hands each command to the interpreter.
//
// openCAT, startWorker, stopWorker and selectCatLines run in the GUI thread; run() and what it
// calls in the worker thread. The worker waits holding no lock, and holds the channel mutex
// while it executes one slice of one session's input (at most what a tty hands over at once),
// from its first command to its last; the sessions take turns slice by slice, so a client that
// floods delays another by one slice at most. Answers are queued by the session without
// waiting, so the mutex is never held across a wait for a line; the queues are sent on outside
// the mutex. The worker also follows the CAT line (a failure and its end are logged once each)
// and the virtual port's client, whose leaving drops what it left behind; either releases what
// the CAT port keyed. While the host's thread has a backlog of the messages sent to it (the
// bus counts them), no session's input is executed: it waits, unread beyond a slice, as it
// does at the output limit.

#include "Control.h"

#include "CommandFramer.h"
#include "CommandTable.h"
#include "DeviceManagerAbstract.h"
#include "PortSession.h"
#include "SerialPortControl.h"
#include "TcpListener.h"
#include "TcpSession.h"
#include "VirtualPort.h"
#include "quorvexCommand.h"

#include <QComboBox>
#include <QLabel>
#include <QMutexLocker>

#include <chrono>
#include <poll.h>

namespace
{

// While a CAT-port line keys PTT or CW, the worker looks at both lines this often itself (the
// port's own 1 ms timer stays off, so the GUI thread is not woken for them).
constexpr qint64 lineTurnMicroseconds = 500;

// A hung-up CAT line (the other end of a pseudo-terminal gone, a device unplugged) reports
// itself at every wait; it is looked at again this often instead, so that it costs nothing
// while dead.
constexpr qint64 hangUpRetryMicroseconds = 50000;

// While the host is behind with the messages sent to it, whether it has caught up is looked at
// this often.
constexpr qint64 hostBacklogRetryMicroseconds = 1000;

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

// Input is executed in slices of at most a tty's read buffer, so that the answers of one slice
// overshoot the output queue's limit by a bounded amount; with other sessions beside it, in
// smaller ones, so that they wait for one short slice only.
constexpr qsizetype soleSliceBytes = 4096;
constexpr qsizetype sharedSliceBytes = 1024;

qint64 monotonicMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// The shorter of two wait limits, where a negative one means none.
qint64 sooner(qint64 a, qint64 b)
{
    if (a < 0)
        return b;
    return b < 0 ? a : qMin(a, b);
}

} // namespace

void Control::openCAT(bool state)
{
    if (!state) {
        closeCat();
        return;
    }
    if (catSession || deferRestoredOpen())
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
        refuseOpen(panel.chbEnable, SLOT(openCAT(bool)), panel.cbPortName->currentText(),
                   catPort->errorString());
        return;
    }
    announceVirtualPort();
    stopWorker();
    catSession = std::make_unique<PortSession>(catPort);
    startWorker();
    if (manager)
        manager->setCatEnable(cache.transceiver, true);
}

void Control::closeCat()
{
    // A channel that closes its CAT port stops its CW text too.
    keyer.stop();
    if (!catSession)
        return;
    stopWorker();
    catSession.reset();
    catPort->close();
    releaseCatKeying(tr("port closed"));
    startWorker();
    if (manager)
        manager->setCatEnable(cache.transceiver, false);
}

void Control::startWorker()
{
    if (running || (!catSession && !tcpListener))
        return;
    running = true;
    workerEnded = false;
    start(QThread::TimeCriticalPriority);
}

void Control::stopWorker()
{
    if (!running)
        return;
    // The wake-up ends the worker's wait at once; the rest of its turn is bounded (nothing in
    // it waits for a line), so waiting is safe and the mutex ends up free.
    running = false;
    workerWait.wake();
    wait();
    workerEnded.load(std::memory_order_acquire);
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
    QString parameter;
    parameter.reserve(CommandFramer::maxCommandLength);
    std::vector<Session*> sessions;
    sessions.reserve(1 + maxTcpSessions);
    bool catHungUp = false;
    qint64 pushDue = -1;

    while (running) {
        collectSessions(sessions);
        sliceBytes = sessions.size() > 1 ? sharedSliceBytes : soleSliceBytes;
        const bool watching = catSession && catLinesWatched();
        workerWait.clear();
        // The virtual port's client watch, then the listening sockets, then the sessions.
        const int watchSlot =
            workerWait.watch(catSession ? catPort->clientWatchHandle() : -1, POLLIN);
        const int firstListener = watchSlot + 1;
        if (tcpListener)
            for (const int fd : tcpListener->descriptors())
                workerWait.watch(fd, POLLIN);
        const int firstSession =
            firstListener + int(tcpListener ? tcpListener->descriptors().size() : 0);
        // Input a session may execute now is taken without waiting. This is decided here, after
        // the last turn's answers went out, and not when the slice ran: a line that took every
        // queued answer leaves nothing to wait for, and held input would never run.
        const bool hostBehind = isHostBehind();
        bool executable = false;
        for (Session* session : sessions) {
            executable = executable || (!hostBehind && mayExecute(*session));
            // A failed CAT line is not waited on; after each pause it is looked at once.
            const bool dead = session == catSession.get() && catHungUp;
            const short events = dead ? 0
                                      : short((wantsInput(*session) ? POLLIN : 0) |
                                              (session->queuedOutput() > 0 ? POLLOUT : 0));
            workerWait.watch(session->descriptor(), events);
        }
        qint64 limit = watching ? lineTurnMicroseconds : catHungUp ? hangUpRetryMicroseconds : -1;
        if (pushDue >= 0)
            limit = sooner(limit, qMax<qint64>(0, pushDue - monotonicMicroseconds()));
        if (hostBehind)
            limit = sooner(limit, hostBacklogRetryMicroseconds);
        if (executable)
            limit = 0;
        workerWait.wait(limit);
        workerTurns.fetch_add(1, std::memory_order_relaxed);

        // Before the input: what a client that left wrote is not executed.
        if (workerWait.ready(watchSlot) != 0)
            followClient();
        bool anyEnded = false;
        for (size_t i = 0; i < sessions.size(); ++i) {
            Session* session = sessions[i];
            short ready = workerWait.ready(firstSession + int(i));
            if (session == catSession.get()) {
                if (catHungUp)
                    ready = WorkerWait::look(session->descriptor(), POLLIN);
                if (bool(ready & lineFailed) != catHungUp) {
                    catHungUp = !catHungUp;
                    followLine(catHungUp, ready);
                }
            }
            if (ready & (POLLOUT | lineFailed))
                session->sendQueued();
            // A TCP hang-up or error leaves nobody to answer: the session ends at once.
            bool gone = session->isGone() || ((ready & lineFailed) && !session->isCatPort());
            if (!gone && (ready & POLLIN)) {
                gone = session->readInput() == Session::Input::Ended;
                if (session == catSession.get() && catSession->takeEchoSwitchedOff())
                    logTraffic(*session, tr("The client switched echo on: switched back off"),
                               false);
            }
            if (gone) {
                endTcpSession(session);
                anyEnded = true;
            }
        }
        // New clients after the sessions that ended are gone, so that those do not count
        // against the limit.
        if (tcpListener)
            for (int slot = firstListener; slot < firstSession; ++slot)
                if (workerWait.ready(slot) & POLLIN)
                    acceptClients(tcpListener->descriptors().at(slot - firstListener));
        if (anyEnded || tcpSessions.size() + (catSession ? 1 : 0) != sessions.size())
            collectSessions(sessions);

        // Each session's answers go out as soon as its slice is done, not after the others'.
        const bool hostKeepsUp = !isHostBehind();
        for (Session* session : sessions) {
            if (hostKeepsUp)
                executeSlice(*session, parameter);
            if (session->queuedOutput() > 0)
                session->sendQueued();
        }
        // Then the pushes.
        pushDue = pushChanges(sessions, monotonicMicroseconds());
        for (Session* session : sessions)
            if (session->autoInformation.isOn() && session->queuedOutput() > 0)
                session->sendQueued();
        if (watching)
            takeCatLineChanges();
    }
    workerEnded.store(true, std::memory_order_release);
}

void Control::collectSessions(std::vector<Session*>& sessions) const
{
    sessions.clear();
    if (catSession)
        sessions.push_back(catSession.get());
    for (const auto& session : tcpSessions)
        sessions.push_back(session.get());
}

bool Control::wantsInput(Session& session)
{
    // While its commands run, a session is read only when what it sent before is executed (a
    // slice at most waits), so its input is not read ahead of the others' turns; while its
    // answers wait at the limit it is read on, up to the held-input limit.
    const bool executing = session.queuedOutput() < outputQueueLimit;
    return session.input.size() < (executing ? qint64(sliceBytes) : heldInputLimit);
}

bool Control::isHostBehind() const
{
    return bus->undelivered() >= hostBacklogLimit;
}

bool Control::mayExecute(Session& session)
{
    // Commands are executed only while the answers queued so far stay under the limit.
    return !session.input.isEmpty() && session.queuedOutput() < outputQueueLimit;
}

void Control::executeSlice(Session& session, QString& parameter)
{
    if (!mayExecute(session))
        return;
    const qsizetype size = qMin(session.input.size(), qint64(sliceBytes));
    {
        QMutexLocker lock(&mutex);
        executeBatch(session, QByteArray::fromRawData(session.input.front(), size), parameter);
    }
    session.input.consume(size);
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

void Control::followClient()
{
    const ClientChange change = catPort->takeClientChanges();
    if (change.left) {
        // The next client starts as a new session would: nothing of this one's is left.
        catSession->input.clear();
        catSession->framer = CommandFramer();
        catSession->autoInformation = AutoInformation();
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

void Control::executeBatch(Session& session, const QByteArray& bytes, QString& parameter)
{
    for (const QByteArrayView piece : session.framer.splitCommands(bytes)) {
        const CommandFramer::Command command = CommandFramer::command(piece);
        const CommandEntry& entry = findCommand(command.code);
        const bool wellFormed = CommandFramer::parameter(command.rest, entry.kind, parameter);
        if (isLogWatched())
            logReceived(session, piece, wellFormed || command.code == 0);
        // A malformed command does nothing at all: a noise byte inside a command must never
        // turn it into another one. Our own "?;" echoed back is not answered, or an echoing
        // line would keep the two ends talking for ever.
        if (wellFormed && !CommandFramer::isRefusalEcho(piece))
            executeCommand(command.code, parameter, session);
    }
}

void Control::logReceived(const Session& session, QByteArrayView piece, bool wellFormed)
{
    static const QString malformed = QStringLiteral(" (malformed: ignored)");
    QString line;
    line.reserve(session.name().size() + piece.size() + 2 + malformed.size());
    line.append(session.name())
        .append(QLatin1Char(' '))
        .append(QLatin1String(piece))
        .append(QLatin1Char(';'));
    if (!wellFormed)
        line.append(malformed);
    emit logMessage(line, false);
}
