#pragma once
// A channel set up for interpreter tests: a command bus, a Control on it, and the channel's
// command port opened on a pseudo-terminal. run() hands one command to the framer and the
// interpreter the way the worker does (channel mutex held) and collects what it caused: the bytes
// on the client side, the log lines and the host commands.

#include "Control.h"
#include "ControlTestAccess.h"
#include "LogLines.h"
#include "PortSession.h"
#include "PtyPair.h"
#include "SerialPortControl.h"
#include "quorvexCommand.h"

#include <QMetaObject>
#include <QSignalSpy>
#include <QStringList>
#include <QVariant>

// A host command message as text: the ID, then each element with its type ("u" uint,
// "i" int, "d" double, "true"/"false" for bool), e.g. "19 u0 u0 d7074000".
inline QString describeMessage(const QVariantList& message)
{
    QStringList parts;
    for (qsizetype i = 0; i < message.size(); ++i) {
        const QVariant& element = message.at(i);
        switch (element.typeId()) {
        case QMetaType::Int:
            parts << (i == 0 ? QString() : QStringLiteral("i")) + QString::number(element.toInt());
            break;
        case QMetaType::UInt:
            parts << QStringLiteral("u") + QString::number(element.toUInt());
            break;
        case QMetaType::Bool:
            parts << (element.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            break;
        case QMetaType::Double:
            parts << QStringLiteral("d") + QString::number(element.toDouble(), 'g', 17);
            break;
        default:
            parts << QStringLiteral("?") + element.toString();
        }
    }
    return parts.join(QLatin1Char(' '));
}

class InterpreterHarness
{
public:
    explicit InterpreterHarness(unsigned int index = 0)
        : channel(index, &bus, nullptr), hostCommands(&bus, SIGNAL(sCommand(QVariant))),
          log(&channel, SIGNAL(logMessage(QString, bool)))
    {
        port.setPortName(pty.slavePath());
    }

    bool open() { return pty.isValid() && port.open(QIODevice::ReadWrite); }

    // Runs one command (the text between two ";", as Latin-1 bytes) through a fresh framer and
    // the interpreter, as the worker does, and returns the bytes the client received.
    QByteArray run(const QString& piece)
    {
        hostCommands.clear();
        log.clear();
        // A fresh framer, in the session that keeps its setting (AI) from run to run.
        session.framer = CommandFramer();
        ControlTestAccess::executeBatch(channel, session, piece.toLatin1() + ';', parameter);
        // The answer is written before execute returns; a read that finds its ";" ends at once.
        return answered() ? pty.read(1000) : pty.readFor(5);
    }

    // The answers logged by the last run, in order, without the session's name.
    QStringList loggedAnswers() const
    {
        QStringList lines;
        for (const QList<QVariant>& entry : log)
            if (entry.at(1).toBool())
                lines << trafficOf(entry.at(0).toString());
        return lines;
    }

    // The host commands sent by the last run, described as by describeMessage.
    QStringList sentCommands() const
    {
        QStringList sent;
        for (const QList<QVariant>& entry : hostCommands)
            sent << describeMessage(entry.at(0).toList());
        return sent;
    }

    // The host announces its key object with command 183; the bus keeps what it decodes.
    void announceKeyObject(CwKeyControlAbstract* key)
    {
        QSignalSpy encoded(&bus, SIGNAL(sCommand(QVariant)));
        bus.setCWKeyObject(key);
        bus.setCommand(encoded.at(0).at(0));
    }

    // The panel options that have no bus signal, set through their slots.
    void setEnableFr(bool on)
    {
        QMetaObject::invokeMethod(&channel, "changedEnableFR", Qt::DirectConnection,
                                  Q_ARG(bool, on));
    }
    void setAntSwEnable(bool on)
    {
        QMetaObject::invokeMethod(&channel, "changedAntSwEnable", Qt::DirectConnection,
                                  Q_ARG(bool, on));
    }

    quorvexCommand bus;
    Control channel;
    PtyPair pty;
    SerialPortControl port{0};
    // The CAT port's session, as the worker has it while the port is open.
    PortSession session{&port};
    QSignalSpy hostCommands;
    QSignalSpy log;

private:
    QString parameter;

    bool answered() const
    {
        for (const QList<QVariant>& entry : log)
            if (entry.at(1).toBool() && !trafficOf(entry.at(0).toString()).isEmpty())
                return true;
        return false;
    }
};
