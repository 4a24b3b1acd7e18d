#pragma once
// One simulated transceiver of the host. It carries out the commands the plug-in sends for
// its channel (decoded by the host's own command bus into typed signals) and reports the
// resulting state back through the same bus's encoders, the way a host confirms every
// change: tune, mode (with the mode's default filter), filter, levels, switches, RIT/XIT,
// split and sub receiver, CTCSS, attenuator/preamp. Transmit follows the key object's
// requests; the S-meter level is set by the user and reported as command 100, also
// periodically. While transmitting, the forward power (from the drive) and the SWR (set by the
// user) are reported the same way as commands 102 and 103; they fall to 0 W and 1.0 when the
// transmitter stops. The CW key's edges are read back as Morse (MorseDecoder): the message
// being received shows in the state, and a finished one is printed as "cw RX<n>: <text>" and
// logged.
//
// Threads: GUI thread only. The bus signals it listens to are emitted by the host bus's
// decoder in the GUI thread; its reports go to the plug-in's setCommand in the same thread.

#include "MorseDecoder.h"
#include "TransceiverState.h"

#include <QObject>
#include <QTimer>

class quorvexCommand;

class SimulatedRadio : public QObject
{
    Q_OBJECT
public:
    // The host's modes are numbered 0 to 10; its receivers tune up to 2 GHz.
    static constexpr quint32 lastMode = 10;
    static constexpr double highestFrequency = 2e9;

    // `bus` is the host's command bus (not owned); `canTransmit` says whether this channel
    // is one of the host's transmitters.
    SimulatedRadio(quint32 index, bool canTransmit, quorvexCommand* bus, QObject* parent = nullptr);

    quint32 index() const { return channel; }
    bool canTransmit() const { return transmitter; }
    const TransceiverState& state() const { return current; }

    // Sends the whole state to the plug-in, as a host does once it is running.
    void reportAll();

public slots:
    // The user (window slider or a script line) moves the signal level.
    void setSmeterDbm(double dbm);
    // The user changes the antenna's match, a ratio of at least 1.0.
    void setSwr(double ratio);
    // The user tunes VFO A, or picks a mode, on the host.
    void tune(double hz);
    void selectMode(quint32 mode);
    // The key object's requests, already in the GUI thread; `at` is a key edge's time.
    void requestTrx(quint32 transceiver, quint32 source, bool on);
    void requestKey(quint32 transmitter, quint32 source, bool down, qint64 at);
    // The host's CW keyer speed, from which the first dot of a message is expected.
    void setKeyerSpeed(quint32 wpm);

signals:
    // Something in state() changed.
    void changed();
    // A line for the radio's message log in the window.
    void logLine(const QString& text);

private slots:
    void onRxVfo(quint32 receiver, quint32 vfo, double value);
    void onRxMode(quint32 receiver, quint32 vfo, quint32 mode);
    void onRxFilter(quint32 receiver, quint32 vfo, double low, double high);
    void onRxVolume(quint32 receiver, int vfo, int dB);
    void onRxAgcGain(quint32 receiver, quint32 vfo, int dB);
    void onRxAgcMode(quint32 receiver, quint32 vfo, quint32 mode);
    void onRxSqlLevel(quint32 receiver, quint32 vfo, int dB);
    void onRxNB1(quint32 receiver, bool state);
    void onRxNB1Level(quint32 receiver, double level);
    void onRxNR(quint32 receiver, bool state);
    void onTxMicGain(quint32 transmitter, int dB);
    void onTxMonValue(quint32 transmitter, int value);
    void onTxDrive(quint32 transmitter, quint32 percent);
    void onTxComp(quint32 transmitter, bool state);
    void onRxRit(quint32 receiver, quint32 vfo, int offset);
    void onRxRitEnable(quint32 receiver, quint32 vfo, bool state);
    void onRxXitEnable(quint32 receiver, quint32 vfo, bool state);
    void onCatSubRX(quint32 receiver, bool state);
    void onCatSplit(quint32 receiver, bool state);
    void onCtcssEnable(quint32 receiver, bool state);
    void onCtcssTone(quint32 receiver, int tone);
    void onCatAttPreAmp(quint32 transceiver, bool att, bool amp);

private:
    // Tells the window that `what` happened to this radio.
    void done(const QString& what);
    void reportFilter();
    // The S-meter, and the transmit meters while transmitting.
    void reportMeter();
    void reportTransmitMeters();
    void setTransmitting(bool on);
    // The silence after the last key-up ended the message being received.
    void finishCwMessage();

    quint32 channel;
    bool transmitter;
    quorvexCommand* bus; // not owned
    TransceiverState current;
    QTimer meterTimer;
    MorseDecoder cwDecoder;
    QTimer cwSilence;
    quint32 keyerWpm = 20;
};
