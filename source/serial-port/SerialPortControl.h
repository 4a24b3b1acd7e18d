#pragma once
// The serial port the CAT engine uses: creates one backend of each kind, selects one by the
// index given at construction (0 = ExtSerialPortControl, 1 = QtSerialPortControl) and forwards
// every operation the engine needs to it, relaying its line signals.
//
// Threads: the facade holds no lock; the backends serialise their own work, so any thread may
// call it. The engine may move the facade to its worker thread; the backends have no parent
// and stay in the thread that created the facade, where their 1 ms line polls run.
//
// Writing: write() accepts an answer whole into the backend's output queue and sends what the
// line takes at once; sendQueued() sends more when handle() is writable. Nothing waits for the
// line, so a caller may write while holding its own locks.
//
// Tests that need modem lines on pseudo-terminals replace the line source process-wide, see
// LineStatusSource.h.

#include "ClientWatch.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class SerialBackend;
class SerialPortAbstract;

class SerialPortControl : public QObject
{
    Q_OBJECT

public:
    // index 0 selects the Ext backend, 1 the Qt backend; any other index falls back to 0.
    explicit SerialPortControl(int index, QObject* parent = nullptr);
    ~SerialPortControl() override;

    QString errorString();
    QStringList availablePorts();
    void setPortName(const QString& name);
    QString portName();
    void setVirtualLinkName(const QString& name);
    bool open(QIODevice::OpenMode mode);
    void close();
    bool setBaudRate(int index);
    bool setDataBits(int index);
    bool setParity(int index);
    bool setStopBits(int index);
    bool setFlowControl(int index);
    // data's size once accepted whole, -1 when the port is closed or the line failed.
    qint64 write(const QByteArray& data);
    QByteArray readAll();
    // Waits, briefly, for what the device took to reach the line (the keying ports' use).
    void flush();
    bool sendQueued();
    qint64 queuedOutput();
    // The open port's descriptor, -1 while closed.
    int handle();
    // The virtual port's client watch and its changes; see SerialBackend.
    int clientWatchHandle();
    ClientChange takeClientChanges();
    // Runs the 1 ms line poll while open (the default) or not; see SerialBackend.
    void setLinePollWanted(bool wanted);
    // The poll made by the port's owner instead of the timer; see SerialBackend.
    void setLinePollByOwner(bool byOwner);
    void pollLines();
    bool isLinePolling() const;
    bool isCtsChanged();
    bool isDsrChanged();
    bool cts();
    bool dsr();

    // The backend at `index` (0 Ext, 1 Qt), for inspection; the facade keeps ownership.
    SerialPortAbstract* backend(int index) const;

signals:
    void ctsChanged(bool);
    void dsrChanged(bool);

private:
    SerialBackend* port() const { return backends.at(selected); }

    QList<SerialBackend*> backends;
    int selected;
};
