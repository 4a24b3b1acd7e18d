#pragma once
// The host's key object: keys the transmitter and the CW keyer of a transceiver.
// The host announces it with command 183 and the bus keeps it (quorvexCommand::cwKeyObject());
// the channels call setKey and setTrx from the GUI thread and from their worker threads, with
// the source codes below. A host overrides only what it needs: every operation does nothing here.

#include <QObject>

class CwKeyControlAbstract : public QObject
{
    Q_OBJECT
public:
    // Who asks for the key or the transmitter (the `source` argument).
    enum Source : quint32 {
        CatPortSource = 2,   // a modem input of the command port, or the RX/TX command
        PttPortSource = 3,   // the PTT port
        FootswitchSource = 4 // the footswitch port
    };

    explicit CwKeyControlAbstract(QObject* parent = nullptr) : QObject(parent) {}

    // Straight key down or up on a transmitter (channel index).
    virtual void setKey(quint32 /*transmitter*/, quint32 /*source*/, bool /*down*/) {}
    // Paddle contacts of the keyer; the plug-in does not call it.
    virtual void setPaddles(quint32 /*transmitter*/, quint32 /*source*/, bool /*dash*/,
                            bool /*dot*/)
    {
    }
    // Transmit on or off for a transceiver (channel index).
    virtual void setTrx(quint32 /*transceiver*/, quint32 /*source*/, bool /*on*/) {}

signals:
    // Not used by the plug-in; part of the host's interface.
    void key(quint32 transmitter, quint32 source, bool dash, bool dot);
    void key(quint32 transmitter, quint32 source, bool down);
    void trx(quint32 transceiver, quint32 source, bool on);
};
