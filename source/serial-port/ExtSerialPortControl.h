#pragma once
// The serial port backend the system runs on: SerialPortAbstract over PosixSerialPort (our
// stand-in for QextSerialPort), with the combo-row tables; both lines start as asserted.
// Created and owned by SerialPortControl.
//
// Threads: as SerialBackend; the base's lock serialises every use of the device, so any thread
// may read and write.

#include "PosixSerialPort.h"
#include "SerialBackend.h"

class ExtSerialPortControl : public SerialBackend
{
    Q_OBJECT

public:
    ExtSerialPortControl();

    bool isOpen();

    QString errorString() override;
    QStringList availablePorts() override;
    void setPortName(const QString& name) override;
    QString portName() override;
    void setVirtualLinkName(const QString& name) override;
    // Opens in Polling mode with a 1 ms timeout and starts the line poll (unless it is switched
    // off, see setLinePollWanted). Opening an open port keeps it as it is and returns true.
    bool open(QIODevice::OpenMode mode) override;
    // Stops the poll, drops queued output and closes; the line levels and flags keep their
    // last values.
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
    QByteArray readAll() override;
    void flush() override;
    void reset() override;

protected:
    std::optional<ulong> readLines() override;
    qint64 writeNow(const char* data, qint64 size) override;
    int descriptor() override;
    int clientWatchDescriptor() override;
    ClientChange takeDeviceClientChanges() override;

private:
    PosixSerialPort port{PosixSerialPort::EventDriven};
};
