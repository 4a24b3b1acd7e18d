#pragma once
// The engine of one transceiver channel: makes the host's transceiver look like a Kenwood
// TS-480 on a serial port. It keeps the radio-state cache that the host feeds through the
// command bus (quorvexCommand) and interprets the Kenwood commands read from the port.
//
// Threads and locks: the object lives in the GUI thread, where the bus-fed cache slots run
// (auto connections queue them there when the bus emits elsewhere). The worker thread runs
// executeCommand with `mutex` held for a whole batch of commands; every cache slot takes the
// same non-recursive mutex, so nothing that runs under the lock may call them.

#include "RadioState.h"

#include <QMutex>
#include <QString>
#include <QThread>

class DeviceManagerAbstract;
class QSettings;
class QWidget;
class quorvexCommand;
class SerialPortControl;

class Control : public QThread
{
    Q_OBJECT
public:
    Control(unsigned int index, quorvexCommand* bus, QObject* parent);

    // The two command letters as a 16-bit value, first letter in the low byte; 0 (no command)
    // unless there are exactly two letters.
    static quint16 commandCode(const QString& letters);

    // The channel's options panel, created without a parent; whoever shows it owns it.
    QWidget* optionsWidget();
    // The host's device manager (not owned); replaces the previous one.
    void setManager(DeviceManagerAbstract* manager);
    // Shows the transmit keying controls (true) or closes the keying ports, resets the line
    // choices and hides the controls (false).
    void setTxAvailable(bool available);

    // Panel settings: "Options<index>" keeps every choice by position, "RX<index>" keeps the
    // port names by name and also restores the open states.
    void writeOptions(QSettings* settings);
    void readOptions(QSettings* settings);
    void writeRxSettings(QSettings* settings);
    void readRxSettings(QSettings* settings);

signals:
    // `trx` is false for a command received, true for an answer sent.
    void logMessage(QString, bool trx);

private slots:
    void changedAntSwEnable(bool state);
    void changedEnableFR(bool state);
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
    void setCtcssEnable(quint32 receiver, bool state);
    void setCtcssTone(quint32 receiver, int index);
    void setSubRX(quint32 receiver, bool state);
    void setSplit(quint32 receiver, bool state);
    void setCatAttPreAmp(quint32 tranceiver, bool att, bool amp);

private:
    friend class ControlTestAccess;

    // The Kenwood interpreter: runs one command in the worker thread with `mutex` held,
    // working on `cache` directly. An answer is written to `port` in one write and then
    // logged with logMessage(answer, true).
    void executeCommand(quint16 code, QString parameter, SerialPortControl* port);

    bool isMine(quint32 index) const { return index == cache.transceiver; }

    QMutex mutex;
    quorvexCommand* bus;                      // not owned
    DeviceManagerAbstract* manager = nullptr; // not owned
    QWidget* options = nullptr;
    RadioState cache;
};
