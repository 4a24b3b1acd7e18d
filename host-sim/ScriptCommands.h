#pragma once
// Lines on standard input that let a script act as the host's user (headless, or stdin a pipe):
//   smeter <channel> <dBm>     move a receiver's signal level (reported as command 100)
//   swr <transmitter> <ratio>  set a transmitter's SWR, at least 1.0 (reported as command
//                              103 while it transmits, beside its power as command 102)
//   vfo <channel> <hz>         tune a receiver's VFO A (reported as the host reports tuning;
//                              printed: "tuned RX<n> <hz> at <us>", the time of the report)
//   mode <channel> <mode>      switch a receiver to a host mode, 0 to 10 (reported with the
//                              mode's filter, as when the user picks it)
//   cat <channel> <0|1>        flip the device manager's "CAT enable" switch of a channel
//   running <0|1>              start or stop the host (reported as command 1)
//   logview <channel> <0|1>    tick or clear the "View log" box of a channel's plug-in panel
//   log <channel>              print the lines of a channel's log view, each as "log <line>"
//   screenshot <file>          render the window, as it is now, to a PNG file
//   quit                       leave like on SIGTERM, saving the settings
// Each line done prints "ok <line>", a wrong one "error <line>". End of input only stops
// reading. GUI thread only: a QSocketNotifier watches the descriptor.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

#include <memory>

class HostSession;
class HostWindow;
class SimulatedRadio;

class ScriptCommands : public QObject
{
    Q_OBJECT
public:
    ScriptCommands(HostSession* session, int fd, QObject* parent = nullptr);
    // The window `screenshot` renders (not owned); without one the line is an error.
    void setWindow(HostWindow* window) { this->window = window; }

signals:
    void quitRequested();

private slots:
    void onReadable();

private:
    // Runs one line; false when it is not a valid command.
    bool execute(const QStringList& words);
    // One handler per verb; `words` has the verb's word count, verb first.
    bool smeter(const QStringList& words);
    bool swr(const QStringList& words);
    bool vfo(const QStringList& words);
    bool mode(const QStringList& words);
    bool cat(const QStringList& words);
    bool running(const QStringList& words);
    bool logview(const QStringList& words);
    bool log(const QStringList& words);
    bool screenshot(const QStringList& words);
    bool quit(const QStringList& words);
    // The radio named by a channel word, or null.
    SimulatedRadio* radioAt(const QString& word) const;

    HostSession* session;         // not owned
    HostWindow* window = nullptr; // not owned
    int fd;
    QByteArray pending;
    std::unique_ptr<QSocketNotifier> notifier;
};
