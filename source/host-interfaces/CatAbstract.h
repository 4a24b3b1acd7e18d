#pragma once
// The host's CAT-emulation interface: what the host sees of a CAT plug-in after
// casting it by the identifier "Quorvex". Host command messages enter through
// setCommand and leave through sCommand. The virtual operations keep the order of the host's
// interface; only the settings pair and setCommand must be implemented.

#include <QObject>
#include <QString>
#include <QVariant>

class DeviceManagerAbstract;
class QLayout;
class QSettings;

class CatAbstract : public QObject
{
    Q_OBJECT
public:
    explicit CatAbstract(QObject* parent = nullptr) : QObject(parent) {}

    // The emulated radio's name.
    virtual QString name() { return QStringLiteral("No name"); }
    // The host gives the layout that the options panel goes into (not owned); true if used.
    virtual bool setOptionsLayout(QLayout* /*layout*/, bool, bool) { return false; }
    // Host hooks without arguments: the emulation is switched on or off as a whole.
    // Nothing in the plug-in needs them.
    virtual void activate() {}
    virtual void deactivate() {}
    virtual void saveSettings(QSettings* settings) = 0;
    virtual void loadSettings(QSettings* settings) = 0;
    virtual void saveCatSettings(QSettings* /*settings*/) {}
    virtual void loadCatSettings(QSettings* /*settings*/) {}
    // The host's device manager (not owned).
    virtual void setManager(DeviceManagerAbstract* /*manager*/) {}

public slots:
    // One host command message.
    virtual void setCommand(QVariant cmd) = 0;
    // The number of the host's transceivers.
    virtual void setChannels(quint32 receivers) { Q_UNUSED(receivers) }

signals:
    // Every message for the host.
    void sCommand(QVariant cmd);
};

Q_DECLARE_INTERFACE(CatAbstract, "Quorvex")
