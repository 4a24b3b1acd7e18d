#pragma once
// The serial port backend the system runs on: SerialPortAbstract over PosixSerialPort (our
// stand-in for QextSerialPort), with the combo-row tables and a 1 ms poll of CTS and DSR that
// keeps a level and a sticky change flag per line. Created and owned by SerialPortControl.
//
// Threads: the poll timer fires in the thread that created the backend (the GUI thread); any
// thread may call the operations. One non-recursive mutex serialises every use of the device
// and of the line flags; nothing called under it takes it again.

#include "ModemLine.h"
#include "PollTimer.h"
#include "PosixSerialPort.h"
#include "SerialPortAbstract.h"

#include <QMutex>

class ExtSerialPortControl : public SerialPortAbstract
{
    Q_OBJECT

public:
    ExtSerialPortControl();

    bool isOpen();

    QString errorString() override;
    QStringList availablePorts() override;
    void setPortName(const QString& name) override;
    QString portName() override;
    // Opens in Polling mode with a 1 ms timeout and starts the line poll. Opening an open port
    // keeps it as it is and returns true.
    bool open(QIODevice::OpenMode mode) override;
    // Stops the poll and closes; the line levels and flags keep their last values.
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
    bool setDtr(bool on) override;
    bool setRts(bool on) override;
    qint64 write(const QByteArray& data) override;
    QByteArray readAll() override;
    void flush() override;
    void reset() override;
    bool isCtsChanged() override;
    bool isDsrChanged() override;
    bool cts() override;
    bool dsr() override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void poll();

    QMutex lock;
    PosixSerialPort port{PosixSerialPort::EventDriven};
    PollTimer pollTimer{this};
    ModemLine ctsLine{true};
    ModemLine dsrLine{true};
};
