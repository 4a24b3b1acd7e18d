#pragma once
// The engine of one transceiver channel: makes the host's transceiver look like a Kenwood
// TS-480 to its clients, on a serial port and over TCP. It owns the channel's options panel,
// three serial ports (CAT, PTT, footswitch) and, while "Enable TCP" is ticked, a TCP server;
// keeps the radio-state cache that the host feeds through the command bus (quorvexCommand);
// interprets the Kenwood commands of every session (the CAT port's and each TCP client's) in
// one worker thread; and keys the host's key object from the ports' modem lines.
//
// Threads and locks:
// - GUI thread (where the object was created): construction, the panel and its slots, openCAT,
//   openTcp, openPTT/openFootSw, timerEvent (PTT and footswitch lines, log view updates),
//   appendLog and the log view's batches, settings, destruction. The bus-fed cache slots run
//   where the bus emits (queued here otherwise).
// - Worker thread, while the CAT port is open or the TCP server listens: run() waits, holding
//   no lock, on every session's descriptor, the listening sockets and `workerWait`; it takes
//   connections, reads what arrived and executes each session's commands in that session's
//   order, one slice of input at a time with `mutex` held, taking the sessions in turn. Answers
//   go into the asking session's output queue without waiting; the rest of a queue goes out,
//   outside the mutex, when its descriptor is writable. Between slices, with `mutex` held, it
//   turns the changed-items mask into auto-information pushes. While a CAT-port line is chosen
//   for PTT or key, the wait lasts at most 500 us and each turn passes the line changes to
//   setCts/setDsr, outside the mutex. It never touches a widget: the line choices it needs are
//   the atomics pttLineChoice/keyLineChoice, kept current by the GUI thread, which wakes it on a
//   change. It also waits on the virtual port's client watch: when the client leaves, its input
//   is dropped, its auto-information setting forgotten and what it keyed released.
// - `catKeyed` (what the CAT port keyed) and each TCP session's keying belong to the worker
//   while it runs and to the GUI thread otherwise: the GUI thread releases them only after the
//   worker has returned.
// - The sessions, the listener and the address lists belong to the worker while it runs; the
//   GUI thread changes them (a port opened or closed, the server switched) only after stopping
//   the worker, and starts it again afterwards.
// - Log lines reach the view through `logFeed` (its own lock): logMessage and logEvent feed it
//   in the emitting thread while the view is shown, notices from any thread; the GUI thread
//   takes a batch at most 25 times a second. Nothing waits on the GUI thread for it.
// - The CW keyer (`keyer`) keys KY text in a thread of its own; see CwKeyer.h. KY, KS and RX
//   reach it from the worker under `mutex`, the cache's setters from the GUI thread; it never
//   takes `mutex`.
// - `mutex` is non-recursive and guards `cache` and `changedItems`. Every cache slot takes it,
//   so nothing that runs under it may call them. The serial ports' own locks are taken inside
//   their calls only, under `mutex` or not, and never the other way round.

#include "AddressList.h"
#include "CwKeyer.h"
#include "LogFeed.h"
#include "RadioState.h"
#include "WorkerWait.h"

#include <QBasicTimer>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

class Answer;
class DeviceManagerAbstract;
class Options;
class PortSession;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSettings;
class QSpinBox;
class QTextBrowser;
class QWidget;
class quorvexCommand;
class SerialPortControl;
class Session;
class TcpListener;
class TcpSession;

class Control : public QThread
{
    Q_OBJECT
public:
    Control(unsigned int index, quorvexCommand* bus, QObject* parent);
    ~Control() override;

    // The two command letters as a 16-bit value, first letter in the low byte; 0 (no command)
    // unless there are exactly two letters.
    static quint16 commandCode(const QString& letters);

    // The channel's options panel, created without a parent; whoever shows it owns it.
    QWidget* optionsWidget();
    // The host's device manager (not owned; may be null); replaces the previous one.
    void setManager(DeviceManagerAbstract* manager);
    // Shows the transmit keying controls (true) or closes the keying ports, resets the line
    // choices to "None" and hides the controls (false).
    void setTxAvailable(bool available);

    // Panel settings, each inside its own inner group of the caller's current group:
    // "Options<index>" keeps every choice by position, "RX<index>" keeps the port names by
    // name. Restoring sets the widgets, so ports open as if the user had ticked their boxes.
    void writeOptions(QSettings* settings);
    void readOptions(QSettings* settings);
    void writeRxSettings(QSettings* settings);
    void readRxSettings(QSettings* settings);

    // Whether anything receives logMessage. The panel's log view listens only while "View log"
    // is ticked, so with the view off the worker builds no log text at all. Any thread.
    bool isLogWatched() const;

    // Answers the CAT port refused (closed, or the line failed) since the channel was made;
    // each also shows in the log view with its reason. Any thread.
    quint64 refusedAnswers() const { return refusedAnswerCount; }

    // The TCP server's port by default: 4480 for the first transceiver, 4481 for the second.
    static constexpr int firstTcpPort = 4480;
    // TCP clients served at once; the CAT port does not count.
    static constexpr int maxTcpSessions = 8;

signals:
    // `trx` is false for a command received, true for an answer sent. The text starts with the
    // name of the session: "CAT FA;", "127.0.0.1:40122 FA00007074000;".
    void logMessage(QString, bool trx);
    // A session's connection, end or refusal, and the server's opening and closing.
    void logEvent(QString text);

private slots:
    void openCAT(bool state);
    void openTcp(bool state);
    void openPTT(bool state);
    void openFootSw(bool state);
    void appendLog(QString text, bool trx);
    // While the log view is shown: takes each line logMessage or logEvent carries, in the
    // emitting thread, into the view's bounded feed.
    void feedLogView(QString text, bool trx);
    void feedEvent(QString text);
    // CAT port line changes, called by the worker with the new level.
    void setCts(bool state);
    void setDsr(bool state);
    // PTT and footswitch port line changes; timerEvent reacts the same way.
    void setPttCts(bool state);
    void setPttDsr(bool state);
    void setFootSwCts(bool state);
    void setFootSwDsr(bool state);
    void changedAntSwEnable(bool state);
    void changedEnableFR(bool state);
    void changedItem(int index);
    void setOpenCatFromManager(quint32 tranceiver, bool state);
    void setStart(bool state);
    bool Started();

    // The radio-state cache. Setters with an index argument act only when it is this
    // channel's transceiver; getters with one return 0 (0.0, false) when it is not.
    void setVfo(quint32 receiver, quint32 channel, double value);
    double Vfo(quint32 receiver, quint32 channel);
    void setMode(quint32 receiver, quint32 channel, quint32 value);
    quint32 Mode(quint32 receiver);
    void setAgcMode(quint32 receiver, quint32 channel, quint32 value);
    quint32 AgcMode(quint32 receiver);
    void setAgcGain(quint32 receiver, quint32 channel, int value);
    quint32 AgcGain(quint32 receiver);
    void setCwWpm(quint32 value);
    quint32 CwWpm();
    void setCwBreakInDelay(quint32 value);
    quint32 CwBreakInDelay();
    void setMicGain(quint32 transmitter, int value);
    int MicGain(quint32 transmitter);
    void setTrxMode(quint32 channel, bool state);
    bool TrxMode(quint32 channel);
    void setVolume(quint32 receiver, int channel, int value);
    int Volume(int receiver);
    void setMonitor(quint32 receiver, int value);
    int Monitor(quint32 receiver);
    void setFilter(quint32 receiver, quint32 channel, double low, double high);
    void Filter(quint32 receiver, quint32 channel, double* low, double* high);
    void setNb1Enable(quint32 receiver, bool state);
    bool Nb1Enable(quint32 receiver);
    void setNb1Level(quint32 receiver, double value);
    double Nb1Level(quint32 receiver);
    void setNb2Enable(quint32 receiver, bool state);
    bool Nb2Enable(quint32 receiver);
    void setNb2Level(quint32 receiver, double value);
    double Nb2Level(quint32 receiver);
    void setNrEnable(quint32 receiver, bool state);
    bool NrEnable(quint32 receiver);
    void setAnfEnable(quint32 receiver, bool state);
    bool AnfEnable(quint32 receiver);
    void setDrive(quint32 transmitter, quint32 value);
    quint32 Drive(quint32 transmitter);
    void setCompressor(quint32 transmitter, bool state);
    bool Compressor(quint32 transmitter);
    void setSqlLevel(quint32 receiver, quint32 channel, int value);
    int SqlLevel(quint32 receiver);
    void setRitEnable(quint32 receiver, quint32 channel, bool state);
    bool RitEnable(quint32 receiver);
    void setRitOffset(quint32 receiver, quint32 channel, int value);
    int RitOffset(quint32 receiver);
    void setXitEnable(quint32 receiver, quint32 channel, bool state);
    bool XitEnable(quint32 receiver);
    void setSmeter(quint32 receiver, quint32 channel, double value);
    void setPowerMeter(quint32 transmitter, quint32 channel, double watts);
    void setSwrMeter(quint32 transmitter, quint32 channel, double ratio);
    void setCtcssEnable(quint32 receiver, bool state);
    void setCtcssTone(quint32 receiver, int index);
    void setSubRX(quint32 receiver, bool state);
    void setSplit(quint32 receiver, bool state);
    void setCatAttPreAmp(quint32 tranceiver, bool att, bool amp);

protected:
    void timerEvent(QTimerEvent* event) override;
    void run() override;

private:
    friend class ControlTestAccess;
    friend class Request;

    // While the CAT port's output queue holds this much, the worker executes no more commands.
    static constexpr qint64 outputQueueLimit = 64 * 1024;
    // While this many host command messages wait for the host's thread to take them, the worker
    // executes no more commands either: a flood of sets goes at the host's pace, and its script
    // and GUI events wait behind a few dozen milliseconds of messages at most.
    static constexpr qint64 hostBacklogLimit = 128;
    // Meanwhile it still reads up to this much input, unexecuted, and then no more: the client's
    // writes then wait, as on a line with flow control, until it reads answers. A relay between
    // two pseudo-terminals (socat) writes to the port with blocking writes and reads the answers
    // in the same thread only between them, as much per turn as it wrote; answers several times
    // longer than their commands would hold it, and it the answers, for good, if the port took
    // no input while they wait. Commands are short, so a flood of 100,000 fits.
    static constexpr qint64 heldInputLimit = 1024 * 1024;

    // The panel widgets the channel works with, found by object name in the options form.
    // They belong to the form; only GUI-thread code touches them.
    struct Panel {
        QCheckBox* chbEnable = nullptr;
        QComboBox* cbPortName = nullptr;
        QLabel* lbVirtualPath = nullptr;
        QComboBox* cbParity = nullptr;
        QComboBox* cbData = nullptr;
        QComboBox* cbStopBit = nullptr;
        QComboBox* cbBoudRate = nullptr;
        QComboBox* cbPttLine = nullptr;
        QComboBox* cbKeyLine = nullptr;
        QCheckBox* chbAntSw = nullptr;
        QCheckBox* chbFR = nullptr;
        QCheckBox* chbEnablePtt = nullptr;
        QComboBox* cbPortNamePTT = nullptr;
        QCheckBox* chbDTR = nullptr;
        QCheckBox* chbRTS = nullptr;
        QCheckBox* chbEnableFootswitch = nullptr;
        QComboBox* cbPortNameFootSwitch = nullptr;
        QCheckBox* chbDTR_FootSwitch = nullptr;
        QCheckBox* chbRTS_FootSwitch = nullptr;
        QCheckBox* chbTcpEnable = nullptr;
        QSpinBox* sbTcpPort = nullptr;
        QLineEdit* leTcpConnect = nullptr;
        QLineEdit* leTcpTransmit = nullptr;
        QCheckBox* chbLog = nullptr;
        QTextBrowser* tbLog = nullptr;
    };

    // What the TCP server was opened with, to tell whether a settings restore changed it.
    struct TcpChoice {
        int port = 0;
        QString connect;
        QString transmit;
        bool operator==(const TcpChoice& other) const
        {
            return port == other.port && connect == other.connect && transmit == other.transmit;
        }
    };

    // What the CAT port keyed on the key object and has not released: the transmitter (TX
    // command, or a CAT-port line chosen for PTT) and the CW key (a CAT-port line).
    struct CatKeying {
        bool trx = false;
        bool key = false;
    };

    // A port whose CTS and DSR inputs key PTT (the PTT port and the footswitch port).
    struct KeyingPort {
        SerialPortControl* port = nullptr; // owned
        bool open = false;
        quint32 source = 0; // the key object's source code
        const char* openSlot = nullptr;
        QCheckBox* enableBox = nullptr;
        QComboBox* nameBox = nullptr;
        QCheckBox* ctsBox = nullptr;
        QCheckBox* dsrBox = nullptr;
    };

    void createObjects();
    template <typename T> T* panelChild(const char* name) const;
    void connectPanel();
    // A port that would not open: its box back to unchecked without running `slot`, then the
    // modal message naming the port and the reason.
    void refuseOpen(QCheckBox* box, const char* slot, const QString& what, const QString& reason);
    // GUI thread: the worker runs while there is something to serve (the CAT port open, or the
    // TCP server listening); sessions and the server change only while it is stopped.
    void startWorker();
    void stopWorker();
    // GUI thread: closes the CAT port and tells the device manager.
    void closeCat();
    // GUI thread, worker stopped: ends every TCP session and closes the server.
    void closeTcp();
    TcpChoice tcpChoiceOnPanel() const;
    // The name the port behind an enable box was opened on; empty while it is closed.
    QString openPortName(const QCheckBox* enableBox);
    // GUI thread: new rows of cbPttLine / cbKeyLine. The CAT port's line poll runs only while
    // one of them chooses a line, and the worker is woken to take up the change at once.
    void selectCatLines(int pttRow, int keyRow);
    // Whether a CAT-port line is chosen for PTT or key; any thread.
    bool catLinesWatched() const { return pttLineChoice != 0 || keyLineChoice != 0; }
    // Worker thread: passes the CAT port's line changes on.
    void takeCatLineChanges();
    // Feeds the log view from logMessage while it is shown, not otherwise.
    void followLogView(bool shown);
    // Follows the CAT port choice: the virtual port's path shown next to the port box, and the
    // CAT-line keying choices offered (and copied for the worker) only on a real port, since a
    // pseudo-terminal has no modem lines.
    void followCatPortChoice();
    // The virtual port's link name and path for this channel: RX1 for the first tab.
    QString virtualLinkName() const;
    // When the CAT port opened is the virtual port: its path as the log view's next line.
    void announceVirtualPort();

    // While a settings load runs, a port its boxes open is opened on the next turn of the event
    // loop instead (openRestoredPorts), once every load of this turn is done: the by-name load
    // that follows a positional one decides on which device before any device is touched.
    // True when the open is left to then.
    bool deferRestoredOpen();
    void openRestoredPorts();

    void openKeyingPort(KeyingPort& keying, bool state);
    void pollKeyingPort(KeyingPort& keying);
    // PTT from a PTT or footswitch port line, when its box is ticked.
    void keyTrxFromLine(const QCheckBox* box, quint32 source, bool state);
    // Key and PTT from a CAT port line (`lineBit`: 1 DSR, 2 CTS) as the line choices say.
    void keyFromCatLine(int lineBit, bool state);
    // Worker thread: transmit on/off and key down/up from the CAT port, on the key object and
    // in `catKeyed`. Nothing is keyed while the bus holds no key object.
    void keyTransmitterFromCat(bool on);
    void keyCwFromCat(bool down);
    // Releases, once, whatever the CAT port keyed, and logs it with `why`: its keyer is gone
    // (the port closed or its line failed, the client left, the channel goes away).
    void releaseCatKeying(const QString& why);

    // Any thread: a line of the channel's own (not traffic) for the log view, shown whether
    // "View log" is ticked or not.
    void notice(const QString& text);
    void appendNotice(const QString& text);
    // Any thread: a line into the log view's feed; the GUI thread is asked for one batch at a
    // time.
    void postLog(LogFeed::Kind kind, const QString& text);
    // GUI thread: the feed's lines into the view, at most one batch per update interval; the
    // lines the feed dropped are counted in one line.
    void showLogBatch();
    // Worker thread: the CAT line failed (`lost`, with the poll() events that say how) or works
    // again; logged, and a failed line releases what the CAT port keyed.
    void followLine(bool lost, short events);
    // Worker thread: the virtual port's client came or left. When it left, the input it wrote
    // and the worker did not execute yet is dropped (the CAT session's held input and
    // unfinished command) with its answers, its auto-information setting is forgotten, and
    // what it keyed is released.
    void followClient();

    // Worker thread: the sessions served this turn, the CAT port's first.
    void collectSessions(std::vector<Session*>& sessions) const;
    // Worker thread: takes the connections waiting on a listening socket; the connect list and
    // the session limit decide who stays.
    void acceptClients(int listenerFd);
    // Worker thread: a TCP client gone, or its socket failed. What it keyed is released, its
    // queues and descriptor go with it; the log says why.
    void endTcpSession(Session* session);
    // Whether the worker reads the session's descriptor this turn.
    bool wantsInput(Session& session);
    // Whether the host has yet to take hostBacklogLimit messages or more.
    bool isHostBehind() const;
    // Whether the session has input to execute and room for its answers.
    static bool mayExecute(Session& session);
    // Executes at most one slice of a session's waiting input.
    void executeSlice(Session& session, QString& parameter);
    // Worker thread: turns the changed-items mask into pushes for the sessions with
    // auto-information on; returns the earliest time a held-back push is due (-1: none).
    qint64 pushChanges(const std::vector<Session*>& sessions, qint64 now);

    // One read of the worker: frames `bytes` with the session's framer, logs each command
    // received and hands it to the interpreter, answering to `session`. Runs with `mutex` held;
    // `parameter` is the caller's reusable buffer.
    void executeBatch(Session& session, const QByteArray& bytes, QString& parameter);
    // Logs a piece received, and whether it was malformed and so ignored.
    void logReceived(const Session& session, QByteArrayView piece, bool wellFormed);

    // The Kenwood interpreter: runs one command in the worker thread with `mutex` held,
    // working on `cache` directly. An answer goes to the session's output queue whole, in one
    // write, and is then logged with logMessage; a refused one is counted and logged with its
    // reason. A command that keys the transmitter is refused, and logged, for a session that
    // may not transmit.
    void executeCommand(quint16 code, QString parameter, Session& session);
    // With `mutex` held: an answer to `session`, and its log line.
    void sendAnswer(Session& session, const QByteArray& answer);
    // A log line of `session`'s traffic, when anyone watches the log.
    void logTraffic(const Session& session, const QString& text, bool trx);
    void logSessionEvent(const QString& text);
    // With `mutex` held: the answer the read of push item `index` gives now.
    Answer pushedRead(int index, Session& session);
    // With `mutex` held: the session knows the present value of every pushed read.
    void rememberPushedReads(Session& session);
    // Worker thread, with `mutex` held: transmit on or off for a session's TX or RX; the CAT
    // port's through keyTransmitterFromCat. Back to receive, no session holds the transmitter.
    void keyTransmitterFrom(Session& session, bool on);
    // Without `mutex`: a TCP session that goes while it holds the transmitter releases it,
    // unless another session holds it too, and logs it with `why`.
    void releaseTransmitterOf(TcpSession& session, const QString& why);
    bool tcpHoldsTransmitter() const;
    // With `mutex` held: values that auto-information pushes changed; wakes the worker.
    void raiseChanged(quint8 items);

    bool isMine(quint32 index) const { return index == cache.transceiver; }
    // Under the mutex: store into, or read, one cache field for the given channel index.
    // A field that an auto-information read reports raises `pushes` when its value changes.
    template <typename Field, typename Value>
    void storeFor(quint32 index, Field RadioState::*field, Value value, quint8 pushes = 0);
    template <typename Field> Field readFor(quint32 index, Field RadioState::*field);
    // A meter bar, stored only from the host's main channel (0) of this channel's index.
    void storeMeter(quint32 index, quint32 channel, int RadioState::*bar, int value);

    QMutex mutex;
    QBasicTimer lineTimer; // 1 ms poll of the PTT and footswitch lines, GUI thread
    quorvexCommand* bus;   // not owned
    QPointer<Options> options;
    Panel panel;
    SerialPortControl* catPort = nullptr; // owned, lives in the worker thread
    // The CAT port's session while the port is open.
    std::unique_ptr<PortSession> catSession;
    // While "Enable TCP" is ticked: the listening sockets, the lists they were opened with and
    // the TCP clients.
    std::unique_ptr<TcpListener> tcpListener;
    TcpChoice tcpChoice;
    AddressList connectList;
    AddressList transmitList;
    std::vector<std::unique_ptr<TcpSession>> tcpSessions;
    KeyingPort ptt;
    KeyingPort footSwitch;
    // The worker runs; written by the GUI thread, read by the worker at every turn.
    std::atomic<bool> running{false};
    // Row of cbPttLine / cbKeyLine (0 none, 1 DTR, 2 RTS), copied by the GUI thread.
    std::atomic<int> pttLineChoice{0};
    std::atomic<int> keyLineChoice{0};
    // Stop requests and line-choice changes reach the waiting worker through it.
    WorkerWait workerWait;
    // Waits the worker has come back from; read by tests to see it sleep while idle.
    std::atomic<quint64> workerTurns{0};
    std::atomic<quint64> refusedAnswerCount{0};
    // Stored by the worker as the last thing it does and loaded after QThread::wait(): Qt joins
    // the thread through a futex that ThreadSanitizer cannot see, this pair it can, so the
    // worker's accesses are seen to come before the port's close and the channel's end.
    std::atomic<bool> workerEnded{false};
    CatKeying catKeyed;
    // GUI thread: a settings load is under way; its ports' opens wait for the next turn.
    bool restoringSettings = false;
    bool restoredOpenPending = false;
    // The log view's side: the feed and, in the GUI thread, when it was last updated.
    LogFeed logFeed;
    QBasicTimer logUpdateTimer;
    QElapsedTimer lastLogUpdate;
    DeviceManagerAbstract* manager = nullptr; // not owned
    RadioState cache;
    // Worker thread: the most input one session executes in one turn (smaller while others
    // share the turn).
    qsizetype sliceBytes = 0;
    // The push::Item reads whose value changed since the worker last looked; under `mutex`.
    quint8 changedItems = 0;
    // Last: its thread ends first, before anything it might key through goes away.
    CwKeyer keyer;
};
