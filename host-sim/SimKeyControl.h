#pragma once
// The host's key object, announced to the plug-in with command 183. The plug-in calls
// setKey and setTrx from its channels' worker threads (command port lines, RX/TX commands,
// with a channel mutex held) and from the GUI thread (PTT and footswitch ports).
//
// Printed lines: "key setKey <transmitter> <source> <0|1> <worker|gui> at <us>", the time of the
// call in microseconds of the monotonic clock, and "key setTrx <transceiver> <source> <0|1>
// <worker|gui>".
//
// Threads: the two overrides only post the call to this object's thread (the GUI thread)
// as a queued invocation and return at once; they touch no state and never call back into
// the plug-in, so a worker holding its channel mutex is never blocked or re-entered. Every
// effect (the printed line, the signals below, the transmitter switching that follows) runs
// later in the GUI thread.

#include "CwKeyControlAbstract.h"

class SimKeyControl : public CwKeyControlAbstract
{
    Q_OBJECT
public:
    explicit SimKeyControl(QObject* parent = nullptr);

    void setKey(quint32 transmitter, quint32 source, bool down) override;
    void setTrx(quint32 transceiver, quint32 source, bool on) override;

signals:
    // Emitted in the GUI thread for every call, in call order per calling thread. A key edge
    // carries the time of the call, in nanoseconds of the monotonic clock, taken in the
    // calling thread: the edge as the host's keyer would see it, whatever the queue adds.
    void keyRequested(quint32 transmitter, quint32 source, bool down, qint64 at);
    void trxRequested(quint32 transceiver, quint32 source, bool on);

private:
    // Runs in the GUI thread; `operation` names the call, `fromWorker` tells who called,
    // `suffix` ends the line.
    void report(const char* operation, quint32 channel, quint32 source, bool state, bool fromWorker,
                const QString& suffix = QString());
};
