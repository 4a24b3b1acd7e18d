#pragma once
// The host's device manager, as far as the plug-in uses it: the host tells a channel
// to open or close its command port (catEnableChanged), and a channel reports that it did
// (setCatEnable). Both carry the transceiver number, which is the plug-in's channel index.

#include <QObject>

class DeviceManagerAbstract : public QObject
{
    Q_OBJECT
public:
    explicit DeviceManagerAbstract(QObject* parent = nullptr) : QObject(parent) {}

    // Called by a channel after it opened (true) or closed (false) its command port.
    virtual void setCatEnable(quint32 /*transceiver*/, bool /*state*/) {}

signals:
    // The host asks channel `transceiver` to open (true) or close (false) its command port.
    void catEnableChanged(quint32 transceiver, bool state);
};
