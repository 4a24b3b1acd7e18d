#pragma once
// socat joining two pseudo-terminals under two link names (full paths): a virtual serial pair
// with the channel on the host's end and a client on the other, as a user's machine makes one.
// With `survivesClient` the client may close its end and open it again without ending socat.
// The links exist from a successful start() until stop(); the destructor stops socat.

#include <QProcess>
#include <QString>

class SocatPair
{
public:
    SocatPair(const QString& hostPath, const QString& clientPath);
    ~SocatPair();
    SocatPair(const SocatPair&) = delete;
    SocatPair& operator=(const SocatPair&) = delete;

    // Starts socat and waits until both links exist; false when socat ends before that or the
    // links do not appear in time.
    bool start(bool survivesClient = false);
    // Ends socat; its pseudo-terminals and links go with it.
    void stop();

    const QString hostPath;
    const QString clientPath;

private:
    QProcess socat;
};
