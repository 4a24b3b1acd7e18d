#include "QuitOnSignal.h"

#include "CheckedConnect.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{

int pipeEnds[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing useful can be done about a full pipe: a quit is already pending then.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

void installHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

constexpr int quitSignals[] = {SIGINT, SIGTERM};

} // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent)
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("host-sim: cannot create the signal pipe");
    notifier = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    CHECKED_CONNECT(notifier.get(), &QSocketNotifier::activated, this, &QuitOnSignal::onReadable);
    for (int signalNumber : quitSignals)
        installHandler(signalNumber, onSignal);
}

QuitOnSignal::~QuitOnSignal()
{
    for (int signalNumber : quitSignals)
        installHandler(signalNumber, SIG_DFL);
    notifier.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void QuitOnSignal::onReadable()
{
    unsigned char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        emit quitRequested(byte);
}
