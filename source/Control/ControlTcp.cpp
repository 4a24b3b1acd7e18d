// Control's TCP server, in the GUI thread: "Enable TCP" opens it on the panel's port for the
// panel's connect list, or closes it with every session. The worker serves it while it is open
// (ControlSessions.cpp); it is stopped around every change, so the two never share the
// listener or the sessions.

#include "Control.h"

#include "Options.h"
#include "PortSession.h"
#include "TcpListener.h"
#include "TcpSession.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMutexLocker>
#include <QSpinBox>
#include <QTextBrowser>

void Control::openTcp(bool state)
{
    if (!state) {
        stopWorker();
        closeTcp();
        startWorker();
        return;
    }
    if (tcpListener)
        return;
    const TcpChoice choice = tcpChoiceOnPanel();
    const QString what = tr("TCP port %1").arg(choice.port);
    QString error;
    const std::optional<AddressList> connect = AddressList::parse(choice.connect, &error);
    const std::optional<AddressList> transmit =
        connect ? AddressList::parse(choice.transmit, &error) : std::nullopt;
    auto listener = std::make_unique<TcpListener>();
    if (!connect || !transmit) {
        refuseOpen(panel.chbTcpEnable, SLOT(openTcp(bool)), what, error);
        return;
    }
    if (!listener->open(quint16(choice.port), *connect)) {
        refuseOpen(panel.chbTcpEnable, SLOT(openTcp(bool)), what, listener->errorString());
        return;
    }
    if (panel.chbLog->isChecked())
        panel.tbLog->append(
            (tr("TCP server on ") + listener->boundAddresses().join(QStringLiteral(", ")))
                .toHtmlEscaped());
    stopWorker();
    tcpListener = std::move(listener);
    tcpChoice = choice;
    connectList = *connect;
    transmitList = *transmit;
    startWorker();
}

void Control::closeTcp()
{
    if (!tcpListener)
        return;
    for (const auto& session : tcpSessions) {
        logSessionEvent(session->name() + QStringLiteral(" disconnected (server closed)"));
        releaseTransmitterOf(*session, tr("TCP server closed"));
    }
    tcpSessions.clear();
    tcpListener.reset();
    if (options && panel.chbLog->isChecked())
        panel.tbLog->append(tr("TCP server closed"));
}

Control::TcpChoice Control::tcpChoiceOnPanel() const
{
    return {panel.sbTcpPort->value(), panel.leTcpConnect->text(), panel.leTcpTransmit->text()};
}
