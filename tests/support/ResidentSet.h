#pragma once
// The resident set of a process (this one by default) in kB, from /proc/<pid>/statm; -1 when
// it cannot be read.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <unistd.h>

inline long residentKb(const QString& process = QStringLiteral("self"))
{
    QFile statm(QStringLiteral("/proc/%1/statm").arg(process));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}
