// Control's sessions in the worker thread: taking TCP clients in and letting them go, answering
// a session, its log lines, its keying, and the auto-information pushes.
//
// Everything here runs in the worker thread. Functions documented "with `mutex` held" in
// Control.h are called from the interpreter or from the push step under the channel mutex;
// acceptClients and endTcpSession take it themselves where the cache is touched.

#include "Control.h"

#include "CommandTable.h"
#include "CwKeyControlAbstract.h"
#include "PortSession.h"
#include "Request.h"
#include "TcpListener.h"
#include "TcpSession.h"
#include "quorvexCommand.h"

#include <QMutexLocker>

#include <algorithm>

namespace
{

// Connections taken from one listening socket in one turn; more wait for the next turn.
constexpr int acceptsPerTurn = 16;

} // namespace

void Control::acceptClients(int listenerFd)
{
    for (int taken = 0; taken < acceptsPerTurn; ++taken) {
        sockets::Accepted client = tcpListener->accept(listenerFd);
        if (client.fd < 0)
            return;
        const QString name = endpointText(client.peer, client.peerPort);
        QString refusal;
        if (!connectList.contains(client.peer))
            refusal = QStringLiteral("not in the connect list");
        else if (tcpSessions.size() >= size_t(maxTcpSessions))
            refusal = QStringLiteral("already %1 TCP clients").arg(maxTcpSessions);
        if (!refusal.isEmpty()) {
            sockets::closeSocket(client.fd);
            logSessionEvent(name + QStringLiteral(" refused: ") + refusal);
            continue;
        }
        const bool mayTransmit = transmitList.contains(client.peer);
        tcpSessions.push_back(
            std::make_unique<TcpSession>(client.fd, client.peer, client.peerPort, mayTransmit));
        logSessionEvent(name + (mayTransmit ? QStringLiteral(" connected")
                                            : QStringLiteral(" connected, may not transmit")));
    }
}

void Control::endTcpSession(Session* session)
{
    const auto found = std::find_if(
        tcpSessions.begin(), tcpSessions.end(),
        [session](const std::unique_ptr<TcpSession>& s) { return s.get() == session; });
    if (found == tcpSessions.end())
        return;
    const QString reason = (*found)->endReason();
    logSessionEvent(session->name() + QStringLiteral(" disconnected") +
                    (reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)));
    releaseTransmitterOf(**found, session->name() + QStringLiteral(" disconnected"));
    tcpSessions.erase(found);
}

void Control::executeCommand(quint16 code, QString parameter, Session& session)
{
    const CommandEntry& command = findCommand(code);
    Request request(command, parameter, cache, *bus, *this, session);
    command.handler(request);
    // A read changes nothing; the push step finds that its answer is what the client has.
    changedItems |= command.pushes;
}

void Control::sendAnswer(Session& session, const QByteArray& answer)
{
    const bool sent = session.write(answer);
    if (!sent)
        ++refusedAnswerCount;
    if (!isLogWatched())
        return;
    QString line = QString::fromLatin1(answer);
    if (!sent)
        line += QStringLiteral(" (answer not sent: %1)").arg(session.writeError());
    logTraffic(session, line, true);
}

void Control::logTraffic(const Session& session, const QString& text, bool trx)
{
    if (isLogWatched())
        emit logMessage(session.name() + QLatin1Char(' ') + text, trx);
}

void Control::logSessionEvent(const QString& text)
{
    if (isLogWatched())
        emit logEvent(text);
}

void Control::keyTransmitterFrom(Session& session, bool on)
{
    if (session.isCatPort()) {
        keyTransmitterFromCat(on);
    } else if (CwKeyControlAbstract* key = bus->cwKeyObject()) {
        key->setTrx(cache.transceiver, CwKeyControlAbstract::CatPortSource, on);
        session.keyedTransmitter = on;
    }
    if (on)
        return;
    // The sessions share the command port's source: one's RX is every one's.
    catKeyed.trx = false;
    for (const auto& tcp : tcpSessions)
        tcp->keyedTransmitter = false;
}

bool Control::tcpHoldsTransmitter() const
{
    return std::any_of(tcpSessions.begin(), tcpSessions.end(),
                       [](const std::unique_ptr<TcpSession>& s) { return s->keyedTransmitter; });
}

void Control::releaseTransmitterOf(TcpSession& session, const QString& why)
{
    if (!std::exchange(session.keyedTransmitter, false) || catKeyed.trx || tcpHoldsTransmitter())
        return;
    if (CwKeyControlAbstract* key = bus->cwKeyObject())
        key->setTrx(cache.transceiver, CwKeyControlAbstract::CatPortSource, false);
    {
        QMutexLocker lock(&mutex);
        cache.trxMode = false;
        raiseChanged(push::IF);
    }
    notice(tr("Transmitter released: ") + why);
}

void Control::raiseChanged(quint8 items)
{
    changedItems |= items;
    workerWait.wake();
}

Answer Control::pushedRead(int index, Session& session)
{
    const CommandEntry& command = findCommand(push::commandOf(index));
    Answer answer;
    Request request(command, QStringView(), cache, *bus, *this, session, &answer);
    command.handler(request);
    return answer;
}

void Control::rememberPushedReads(Session& session)
{
    for (int index = 0; index < push::itemCount; ++index)
        session.autoInformation.remember(index, pushedRead(index, session));
}

qint64 Control::pushChanges(const std::vector<Session*>& sessions, qint64 now)
{
    // Nobody listening: the mask may fill up meanwhile, since a session that switches pushes
    // on first learns every present value.
    if (std::none_of(sessions.begin(), sessions.end(),
                     [](const Session* s) { return s->autoInformation.isOn(); }))
        return -1;
    QMutexLocker lock(&mutex);
    const quint8 items = std::exchange(changedItems, quint8(0));
    qint64 due = -1;
    for (Session* session : sessions) {
        AutoInformation& setting = session->autoInformation;
        setting.raise(items);
        for (int index = 0; index < push::itemCount; ++index) {
            if (!setting.isWaiting(index) || !setting.isDue(index, now))
                continue;
            const Answer answer = pushedRead(index, *session);
            if (setting.take(index, answer, now))
                sendAnswer(*session, answer.bytes());
        }
        const qint64 next = setting.nextDue();
        if (next >= 0 && (due < 0 || next < due))
            due = next;
    }
    return due;
}
