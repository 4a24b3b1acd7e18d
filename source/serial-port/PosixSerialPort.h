#pragma once
// A serial device on a POSIX tty, standing in for the part of QextSerialPort's interface that
// ExtSerialPortControl uses, with its names and values: termios settings in raw mode, DTR/RTS
// outputs and modem-line status through ioctl, non-blocking reads and writes.
//
// Not thread-safe: ExtSerialPortControl makes every call under its own lock.
//
// An open port holds an exclusive flock() on its descriptor and sets TIOCEXCL, so a second
// open of the same device through this class fails with "Device or resource busy" (as does any
// open by an unprivileged program).
//
// The port name `Virtual port` opens a pseudo-terminal of the port's own instead of a device
// (see VirtualPort): the port serves its master side, published for a client under the link
// name given by setVirtualLinkName. Settings are applied to it as to any pseudo-terminal.

#include "SerialTypes.h"
#include "VirtualPort.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QString>

#include <termios.h>

class PosixSerialPort
{
public:
    enum QueryMode { Polling, EventDriven };

    explicit PosixSerialPort(QueryMode mode = EventDriven);
    ~PosixSerialPort();
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    void setPortName(const QString& name) { m_name = name; }
    QString portName() const { return m_name; }
    // The path opened for the port name: a bare name lives under /dev/.
    QString devicePath() const;
    // The link name (e.g. RX1) under which the next open of `Virtual port` publishes it.
    void setVirtualLinkName(const QString& name) { m_virtualLinkName = name; }

    // Polling: reads return at once. EventDriven: a read waits up to the timeout for the first
    // byte (this class emits no notifications, so a caller in that mode reads to wait).
    void setQueryMode(QueryMode mode) { m_queryMode = mode; }
    QueryMode queryMode() const { return m_queryMode; }
    // Bounds the waits for output to drain and, in EventDriven mode, for input.
    void setTimeout(long milliseconds) { m_timeoutMs = milliseconds < 0 ? 0 : milliseconds; }

    // Settings apply at once while open, else when the port opens.
    void setBaudRate(BaudRateType rate);
    BaudRateType baudRate() const { return m_settings.baudRate; }
    void setDataBits(DataBitsType bits);
    DataBitsType dataBits() const { return m_settings.dataBits; }
    void setParity(ParityType parity);
    ParityType parity() const { return m_settings.parity; }
    void setStopBits(StopBitsType stopBits);
    StopBitsType stopBits() const { return m_settings.stopBits; }
    void setFlowControl(FlowType flow);
    FlowType flowControl() const { return m_settings.flowControl; }

    bool open(QIODevice::OpenMode mode);
    // Restores the tty's settings from before the open; harmless on a closed port.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // The open descriptor, to wait on with poll(); -1 while closed.
    int handle() const { return m_fd; }

    // Output lines; act only while open.
    void setDtr(bool on);
    void setRts(bool on);
    // LS_* bits of the input lines; 0 when closed or when the device has no modem lines.
    // A LineStatusSource installed by a test answers instead of the device.
    ulong lineStatus();

    // Writes all of `data` unless the line takes nothing for 100 ms: the count written, or -1
    // on an error (the device gone, a read-only port) before any byte went out. After such a
    // stall, a write starts only when the line has room at once and is refused whole (0)
    // otherwise, until a write goes through whole again.
    qint64 write(const QByteArray& data);
    // One write of what the line takes now, never waiting: the count taken (0 when the line is
    // full), or -1 on an error (closed, the device gone).
    qint64 writeSome(const char* data, qint64 size);
    // Everything received so far; empty when nothing is there, the port is closed or the
    // device is gone.
    QByteArray readAll();
    qint64 bytesAvailable() const;
    // Waits, at most the timeout, for queued output to reach the line. Never discards
    // anything, and returns at once when nothing is queued: a pseudo-terminal whose other end
    // reads nothing would otherwise hold the caller for good.
    void flush();
    // Discards received and unsent bytes.
    void reset();

    // The virtual port's clients (see VirtualPort): readable when one opened or left the port,
    // -1 for any other port.
    int clientWatchHandle() const { return m_virtual.clientWatchHandle(); }
    // What happened to them since the last call; when the client left, what it wrote and was
    // not read yet is dropped with the answers it did not read (unless the next client wrote
    // before anybody looked, see ClientChange).
    ClientChange takeClientChanges();

    // The reason of the last failure in the system's words, e.g. "No such file or directory".
    QString errorString() const { return m_error; }

private:
    bool openVirtual();
    // Makes `fd` (open on `path`) the port's descriptor: keeps its settings for close() and
    // applies the port's own.
    bool adopt(int fd, const QString& path);
    bool applySettings();
    void setModemLine(int line, bool on);
    void setSystemError(int error);
    bool waitFor(short events, QDeadlineTimer deadline) const;

    QString m_name;
    QString m_path;
    QString m_virtualLinkName;
    VirtualPort m_virtual;
    QString m_error;
    PortSettings m_settings;
    QueryMode m_queryMode;
    long m_timeoutMs = 10;
    int m_fd = -1;
    bool m_outputStalled = false;
    termios m_saved{};
};
