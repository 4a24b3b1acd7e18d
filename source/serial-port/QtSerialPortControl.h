#pragma once
// The second serial port backend: SerialPortAbstract over the Qt Serial Port add-on, with the
// same combo-row tables mapped to the add-on's enumerations and the same 1 ms CTS/DSR poll, but
// with both lines starting as not asserted. SerialPortControl creates one and selects it for
// index 1; the CAT engine never does.
//
// Threads: as SerialBackend, the base's lock around every use of the add-on's port. The
// add-on's port does its own I/O through socket notifiers in the creating thread, so unlike
// the Ext backend its reads and writes are only dependable from that thread.

#include "SerialBackend.h"

#include <QSerialPort>

class QtSerialPortControl : public SerialBackend
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
    QByteArray readAll() override;
    // The add-on's flush: hands its write buffer to the device without waiting.
    void flush() override;
    // The add-on has no reset any more; its nearest operation, discarding both directions'
    // buffers, stands in.
    void reset() override;
    bool waitForReadyRead(int msecs) override;

protected:
    // From an installed LineStatusSource, else from the add-on's pinout signals (one call).
    std::optional<ulong> readLines() override;
    // The add-on's write, which keeps what the line does not take in its own buffer and sends
    // it from the creating thread's event loop; so the shared queue stays empty here.
    qint64 writeNow(const char* data, qint64 size) override;
    int descriptor() override;

private:
    QSerialPort port;
    QString devicePath;
};
