#pragma once
// The host-wide part of the simulated host: whether the host is running (started or
// stopped, switched by the plug-in's PS command through command 166 and reported as
// command 1), the CW keyer speed and break-in delay (commands 82 and 84, shared by all
// transceivers) and the selected receive and transmit antennas (commands 2 and 63).
//
// Threads: GUI thread only, like SimulatedRadio.

#include <QObject>

class quorvexCommand;

class HostControls : public QObject
{
    Q_OBJECT
public:
    explicit HostControls(quorvexCommand* bus, QObject* parent = nullptr);

    bool running() const { return isRunning; }
    quint32 cwSpeed() const { return wpm; }
    int breakInDelay() const { return breakIn; }
    quint32 rxAntenna() const { return rxAnt; }
    quint32 txAntenna() const { return txAnt; }

    // Sends the host-wide state to the plug-in.
    void reportAll();

public slots:
    void setRunning(bool state);

signals:
    void changed();
    void logLine(const QString& text);

private slots:
    void onQuorvexStart(quint32 receiver, bool state);
    void onCwSpeed(quint32 wordsPerMinute);
    void onCwBreakInValue(quint32 value);
    void onRxAntSwitch(quint32 index);
    void onTxAntSwitch(quint32 index);

private:
    void applyRunning(bool state);
    void done(const QString& what);

    quorvexCommand* bus; // not owned
    bool isRunning = true;
    quint32 wpm = 20;
    int breakIn = 300;
    quint32 rxAnt = 0;
    quint32 txAnt = 0;
};
