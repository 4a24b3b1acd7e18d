#pragma once
// A pseudo-terminal pair for serial tests: the code under test opens the slave
// device by its path, like a real serial port; the test talks through the master.
// The test also keeps one slave descriptor open, so the master never sees a hang-up
// while the port under test is closed and reopened.

#include <QByteArray>
#include <QString>

struct termios;

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Closes the test's side: the port under test sees its line hang up, for good.
    void hangUp();

    // Writes to the master side (the port under test receives it).
    bool write(const QByteArray& data);
    // Reads what the port under test wrote, until `until` ms have passed without the
    // answer being complete: stops early once `count` occurrences of `terminator` arrived.
    QByteArray read(int timeoutMs, char terminator = ';', int count = 1);
    // Everything that arrives within `ms` milliseconds.
    QByteArray readFor(int ms);
    // The termios the slave side currently has (as set by the port under test).
    bool slaveAttributes(termios* out) const;
    // How many descriptors of this process are open on the slave device, the pair's own not
    // counted: 0 when the code under test does not hold the port.
    int slaveHolders() const;
    // Whether a descriptor holds the slave device's exclusive lock or exclusive mode (a port
    // under test that has it open), found without touching its settings.
    bool isHeldElsewhere() const;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
