#pragma once
// A serial port of the plug-in's own for a client on the same machine: a pseudo-terminal whose
// master side the port serves and whose slave side is published as a symbolic link with a
// stable name, $XDG_RUNTIME_DIR/kenwood-ts480/<link> (or /tmp/kenwood-ts480-<uid>/<link>).
// PosixSerialPort makes one when it opens the port name `Virtual port`.
//
// The object keeps a descriptor of the slave side open for as long as the port is open, so the
// master never sees a hang-up (EIO, POLLHUP) while no client has the link open, and a client
// may close and reopen the link as often as it likes. That descriptor also keeps the slave's
// settings alive between clients, exclusive mode (TIOCEXCL) included: a client that sets it
// and dies without clearing it would lock every later client out, so the port clears it while
// a client talks to it. Not thread-safe; its owner serialises.

#include <QString>

class VirtualPort
{
public:
    VirtualPort() = default;
    ~VirtualPort();
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    // The port name (and the port list's item) that stands for a virtual port.
    static QString itemName();
    static bool isItem(const QString& portName) { return portName == itemName(); }
    // The folder of the links, and the path a client opens for the link `linkName`.
    static QString folder();
    static QString linkPath(const QString& linkName);

    // Makes the pseudo-terminal and its link `linkName`, replacing a link of that name. On
    // success the caller takes the master's descriptor (non-blocking, close-on-exec); on
    // failure it is -1 and errorString() says why.
    int open(const QString& linkName);
    // Removes the link and lets go of the slave side; harmless when not open.
    void close();
    bool isOpen() const { return m_slave >= 0; }
    // Lets any client of this user open the link again, whatever exclusive mode the present one
    // asked for. Called whenever input arrives.
    void admitAnyClient();
    // Keeps the pseudo-terminal of the port's descriptor `fd` raw: a client that switches echo,
    // line editing or signals on (as a terminal program or "stty sane" does) would have every
    // answer echoed back as a command. Switches them off again; true when it had to.
    static bool keepRaw(int fd);
    QString path() const { return m_link; }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString& what, int error);
    bool makeFolder(const QString& path);
    bool publish(const QString& slavePath, const QString& link);

    int m_slave = -1;
    QString m_slavePath;
    QString m_link;
    QString m_error;
};
