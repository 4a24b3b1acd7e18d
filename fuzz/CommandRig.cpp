#include "CommandRig.h"

#include "CommandFramer.h"
#include "Control.h"
#include "ControlTestAccess.h"
#include "LogLines.h"
#include "PortSession.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QTextBrowser>
#include <QWidget>

CommandRig::CommandRig()
    : m_channel(std::make_unique<Control>(0, &m_bus, nullptr)),
      m_session(std::make_unique<PortSession>(&m_port))
{
    // Both signals are emitted in this thread, so the lambdas run inside executeBatch.
    QObject::connect(m_channel.get(), &Control::logMessage, m_channel.get(),
                     [this](const QString& text, bool answer) {
                         m_lines.append({trafficOf(text), answer});
                     });
    QObject::connect(&m_bus, &quorvexCommand::sCommand, m_channel.get(),
                     [this](const QVariant& message) { m_messages.append(message); });

    // The host announces its key object (command 183), so TX and RX reach setTrx.
    m_bus.setCWKeyObject(&m_key);
    m_bus.setCommand(m_messages.takeFirst());

    m_logBox = m_channel->optionsWidget()->findChild<QCheckBox*>(QStringLiteral("chbLog"));
    m_parameter.reserve(CommandFramer::maxCommandLength);
    m_port.setPortName(m_pty.slavePath());
    m_ready = m_pty.isValid() && m_logBox && m_port.open(QIODevice::ReadWrite);
}

CommandRig::~CommandRig()
{
    m_port.close();
    delete m_channel->optionsWidget();
}

void CommandRig::begin(bool logView, bool enableFr, bool antennaSwitch)
{
    m_session = std::make_unique<PortSession>(&m_port);
    ControlTestAccess::resetCache(*m_channel);
    QMetaObject::invokeMethod(m_channel.get(), "changedEnableFR", Qt::DirectConnection,
                              Q_ARG(bool, enableFr));
    QMetaObject::invokeMethod(m_channel.get(), "changedAntSwEnable", Qt::DirectConnection,
                              Q_ARG(bool, antennaSwitch));
    m_logBox->setChecked(logView);
    logDocument()->clear();
    m_key.clear();
}

void CommandRig::feed(const QByteArray& read, bool hostConfirms)
{
    m_lines.clear();
    m_messages.clear();
    ControlTestAccess::executeBatch(*m_channel, *m_session, read, m_parameter);
    if (!hostConfirms)
        return;
    const QList<QVariant> sent = m_messages;
    for (const QVariant& message : sent)
        m_bus.setCommand(message);
}

QByteArray CommandRig::clientBytes(int answers)
{
    // Answers the line could not take yet wait in the port's queue, as they do for the
    // worker; they go out as the client end is read.
    QByteArray received;
    const QDeadlineTimer deadline(1000);
    do {
        m_port.sendQueued();
        received += m_pty.read(10, ';', answers - int(received.count(';')));
    } while (received.count(';') < answers && !deadline.hasExpired());
    return received;
}

QTextDocument* CommandRig::logDocument() const
{
    return m_channel->optionsWidget()
        ->findChild<QTextBrowser*>(QStringLiteral("tbLog"))
        ->document();
}
