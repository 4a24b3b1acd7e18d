#pragma once
// The second serial port backend: SerialPortAbstract over the Qt Serial Port add-on, with the
// same combo-row tables mapped to the add-on's enumerations and the same 1 ms CTS/DSR poll, but
// with both lines starting as not asserted. SerialPortControl creates one and selects it for
// index 1; the CAT engine never does.
//
// Threads: as ExtSerialPortControl, one non-recursive mutex around every use of the add-on's
// port and of the line flags; the poll fires in the creating thread. The add-on's port does its
// own I/O through socket notifiers in that thread, so unlike the Ext backend its reads and
// writes are only dependable from the creating thread.

#include "ModemLine.h"
#include "PollTimer.h"
#include "SerialPortAbstract.h"

#include <QMutex>
#include <QSerialPort>

class QtSerialPortControl : public SerialPortAbstract
{
    Q_OBJECT

public:
    QtSerialPortControl();

    bool isOpen();

    QString errorString() override;
    QStringList availablePorts() override;
    void setPortName(const QString& name) override;
    QString portName() override;
    bool open(QIODevice::OpenMode mode) override;
    void close() override;
    bool setBaudRate(int index, int directions) override;
    int baudRate(int directions) override;
    bool setDataBits(int index) override;
    int dataBits() override;
    bool setParity(int index) override;
    int parity() override;
    bool setStopBits(int index) override;
    int stopBits() override;
    bool setFlowControl(int index) override;
    int flowControl() override;
    // Through the add-on's setDataTerminalReady/setRequestToSend, which refuse a closed port.
    bool setDtr(bool on) override;
    bool setRts(bool on) override;
    qint64 write(const QByteArray& data) override;
    QByteArray readAll() override;
    // The add-on's flush: hands its write buffer to the device without waiting.
    void flush() override;
    // The add-on has no reset any more; its nearest operation, discarding both directions'
    // buffers, stands in.
    void reset() override;
    bool waitForReadyRead(int msecs) override;
    bool isCtsChanged() override;
    bool isDsrChanged() override;
    bool cts() override;
    bool dsr() override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void poll();
    // LS_* bits of the input lines, from an installed LineStatusSource or the add-on.
    ulong lineStatus();

    QMutex lock;
    QSerialPort port;
    QString devicePath;
    PollTimer pollTimer{this};
    ModemLine ctsLine{false};
    ModemLine dsrLine{false};
};
