#include "SocatPair.h"

#include <QDeadlineTimer>
#include <QFile>

namespace
{

constexpr int startTimeoutMs = 15000;
constexpr int stopTimeoutMs = 5000;
constexpr int exitPollMs = 20;

QString ptyAddress(const QString& link)
{
    return QStringLiteral("pty,raw,echo=0,link=") + link;
}

} // namespace

SocatPair::SocatPair(const QString& hostPath, const QString& clientPath)
    : hostPath(hostPath), clientPath(clientPath)
{
}

SocatPair::~SocatPair()
{
    stop();
}

bool SocatPair::start(bool survivesClient)
{
    QString client = ptyAddress(clientPath);
    if (survivesClient)
        client += QStringLiteral(",ignoreeof");
    socat.start(QStringLiteral("socat"), {ptyAddress(hostPath), client});
    QDeadlineTimer deadline(startTimeoutMs);
    while (!deadline.hasExpired()) {
        if (QFile::exists(hostPath) && QFile::exists(clientPath))
            return true;
        if (socat.waitForFinished(exitPollMs))
            return false;
    }
    return false;
}

void SocatPair::stop()
{
    if (socat.state() == QProcess::NotRunning)
        return;
    socat.terminate();
    socat.waitForFinished(stopTimeoutMs);
}
