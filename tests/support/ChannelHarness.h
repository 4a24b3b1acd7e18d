#pragma once
// A whole channel for end-to-end tests: a command bus, a Control on it, and the panel's
// widgets by object name, driven the way a user drives them. Helpers put a pseudo-terminal
// into a port list, open the TCP server, record what the channel sends to the host and to its
// log in the test's thread, and close the modal message box a failed open shows.

#include "Control.h"
#include "InterpreterHarness.h"
#include "quorvexCommand.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <functional>
#include <memory>

class ChannelHarness
{
public:
    explicit ChannelHarness(unsigned int index = 0)
        : control(index, &bus, nullptr), panel(control.optionsWidget())
    {
        // Queued into this thread: the worker emits both, the test reads them here.
        QObject::connect(
            &bus, &quorvexCommand::sCommand, &recorder,
            [this](const QVariant& message) { hostCommands << describeMessage(message.toList()); },
            Qt::QueuedConnection);
        QObject::connect(
            &control, &Control::logMessage, &recorder,
            [this](const QString& text, bool trx) { logged << (trx ? "> " : "< ") + text; },
            Qt::QueuedConnection);
        QObject::connect(
            &control, &Control::logEvent, &recorder,
            [this](const QString& text) { events << text; }, Qt::QueuedConnection);
    }

    // Ticks "Enable TCP" for `port` and the two lists; whether the server listens.
    bool enableTcp(quint16 port, const QString& connect = QStringLiteral("127.0.0.1, ::1"),
                   const QString& transmit = QStringLiteral("127.0.0.1, ::1"))
    {
        widget<QSpinBox>("sbTcpPort")->setValue(port);
        widget<QLineEdit>("leTcpConnect")->setText(connect);
        widget<QLineEdit>("leTcpTransmit")->setText(transmit);
        box("chbTcpEnable")->setChecked(true);
        return box("chbTcpEnable")->isChecked();
    }

    QCheckBox* box(const char* name) const { return widget<QCheckBox>(name); }
    QComboBox* combo(const char* name) const { return widget<QComboBox>(name); }
    template <typename T> T* widget(const char* name) const
    {
        return panel->findChild<T*>(QLatin1String(name));
    }

    // The host sends what `encode` puts on the bus (its encoders), decoded by the bus as the
    // plug-in object hands it the host's messages.
    void fromHost(const std::function<void()>& encode)
    {
        QSignalSpy encoded(&bus, &quorvexCommand::sCommand);
        encode();
        for (const QList<QVariant>& message : encoded)
            bus.setCommand(message.at(0));
    }

    // The host announces its key object (command 183); the bus keeps what it decodes.
    void announceKeyObject(CwKeyControlAbstract* key)
    {
        fromHost([this, key] { bus.setCWKeyObject(key); });
    }

    // Adds `path` to the port list `list` and selects it.
    void selectPort(const char* list, const QString& path) const
    {
        QComboBox* names = combo(list);
        names->addItem(path);
        names->setCurrentIndex(names->count() - 1);
    }

    // The log view's non-empty lines (the first fills the form's initial empty paragraph), each
    // with its colour.
    QStringList logView() const
    {
        QStringList lines;
        const QTextDocument* document = widget<QTextBrowser>("tbLog")->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            if (!block.text().isEmpty())
                lines << block.begin().fragment().charFormat().foreground().color().name() + " " +
                             block.text();
        return lines;
    }

    quorvexCommand bus;
    Control control;
    QWidget* panel;
    QObject recorder;
    QStringList hostCommands; // as describeMessage gives them
    QStringList logged;       // "< " command received, "> " answer sent
    QStringList events;       // connections, disconnections, refusals
};

// Closes the next modal message box (retrying until one shows) and keeps its text and width.
class ModalCatcher
{
public:
    ModalCatcher() { arm(300); }

    QString text;
    int width = 0;

private:
    void arm(int attempts)
    {
        QTimer::singleShot(10, &context, [this, attempts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                if (attempts > 0)
                    arm(attempts - 1);
                return;
            }
            text = box->text();
            width = box->width();
            box->done(0);
        });
    }

    QObject context;
};
