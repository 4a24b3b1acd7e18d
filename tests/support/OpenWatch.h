#pragma once
// Counts the opens of device nodes, through an inotify watch on each: shows that code under
// test never touched a device it had no business opening.

#include <QString>

class OpenWatch
{
public:
    OpenWatch();
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool watch(const QString& path);
    // The opens reported since the last call (opens in a row that nobody read yet count as
    // one). The kernel queues each event before the open returns, so everything the caller did
    // is there already.
    int takeOpens();

private:
    int m_fd;
};
