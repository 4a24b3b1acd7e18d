#pragma once
// The host's device manager: one "CAT enable" switch per transceiver. The user (window or
// a script line) asks a channel to open or close its command port with requestCat(), which
// emits catEnableChanged for the plug-in; the plug-in reports what it did through
// setCatEnable, which updates the switch.
//
// Threads: the plug-in calls setCatEnable from the GUI thread; a call from any other thread
// is posted to the GUI thread instead of being handled in place.

#include "DeviceManagerAbstract.h"

#include <QVector>

class SimDeviceManager : public DeviceManagerAbstract
{
    Q_OBJECT
public:
    SimDeviceManager(quint32 channels, QObject* parent = nullptr);

    void setCatEnable(quint32 transceiver, bool state) override;

    // The last state the plug-in reported for a channel (false before any report).
    bool catEnabled(quint32 transceiver) const;

public slots:
    void requestCat(quint32 transceiver, bool state);

signals:
    // The plug-in reported a change of a channel's command port (GUI thread).
    void catStateChanged(quint32 transceiver, bool state);

private:
    void applyCatEnable(quint32 transceiver, bool state);

    QVector<bool> enabled;
};
