#pragma once
// The serial port as the CAT engine sees it: index-based settings (the rows of the options
// form's combo boxes), byte-array reads and writes, and the CTS/DSR inputs as polled levels
// with sticky change flags. ExtSerialPortControl and QtSerialPortControl implement it;
// SerialPortControl selects one of them.
//
// Setting indices: bit rate 0..7 = 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 bit/s;
// data bits 0..3 = 5..8; parity 0..4 = none, odd, even, mark, space; stop bits 0..2 = 1, 1.5, 2;
// flow control 0..2 = none, hardware (RTS/CTS), software (XON/XOFF).

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <QStringList>

class SerialPortAbstract : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    // Part of the interface for the facade to relay; line changes are delivered by polling,
    // so no backend emits them.
    void ctsChanged(bool);
    void dsrChanged(bool);

public slots:
    virtual QString errorString() = 0;
    virtual QStringList availablePorts() = 0;
    virtual void setPortName(const QString& name) = 0;
    virtual QString portName() = 0;
    // The link name (RX1, RX2, ...) under which the port name `Virtual port` publishes the
    // port's own pseudo-terminal. A backend that cannot serve one ignores it, and opening
    // `Virtual port` on it fails as for any absent device.
    virtual void setVirtualLinkName(const QString&) {}
    virtual bool open(QIODevice::OpenMode mode) = 0;
    virtual void close() = 0;
    // `directions` is 3 for both directions; only the Qt backend distinguishes them.
    virtual bool setBaudRate(int index, int directions) = 0;
    // The bit rate itself (9600), not the index.
    virtual int baudRate(int directions) = 0;
    virtual bool setDataBits(int index) = 0;
    virtual int dataBits() = 0;
    virtual bool setParity(int index) = 0;
    virtual int parity() = 0;
    virtual bool setStopBits(int index) = 0;
    virtual int stopBits() = 0;
    virtual bool setFlowControl(int index) = 0;
    virtual int flowControl() = 0;
    virtual bool setDtr(bool on) = 0;
    virtual bool setRts(bool on) = 0;
    virtual qint64 write(const QByteArray& data) = 0;
    virtual QByteArray readAll() = 0;
    virtual void flush() = 0;
    virtual void reset() = 0;
    virtual bool waitForReadyRead(int) { return true; }
    // Whether the line changed since its last read; does not clear the flag.
    virtual bool isCtsChanged() = 0;
    virtual bool isDsrChanged() = 0;
    // The level seen by the last poll (true = asserted); clears the line's change flag.
    virtual bool cts() = 0;
    virtual bool dsr() = 0;
};
