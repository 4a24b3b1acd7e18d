#include "HostOutput.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

void printHostLine(const QString& line)
{
    static QMutex lock;
    const QByteArray bytes = line.toUtf8();
    QMutexLocker locker(&lock);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
