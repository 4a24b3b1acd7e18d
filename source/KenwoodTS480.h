#pragma once
// The object the host loads: names the emulated radio, owns the command bus and one channel
// controller (Control) per host transceiver, shows the channels' option panels as tabs
// "RX 1", "RX 2", ... of one tab widget in the layout the host gives, hands the host's
// settings store and device manager on to the channels, and relays every message the
// channels send to the host. It holds no radio logic of its own.
//
// Threads: created and called only in the host's GUI thread; the bus and the channels live
// there too. Messages that a channel's worker emits on the bus reach this object's
// sCommand by queued delivery, so the host receives them in its GUI thread.

#include "CatAbstract.h"

#include <QLayout>
#include <QList>
#include <QPointer>
#include <QTabWidget>
#include <QtPlugin>

class Control;
class DeviceManagerAbstract;
class QWidget;
class quorvexCommand;

class KenwoodTS480 : public CatAbstract
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "Quorvex")
    Q_INTERFACES(CatAbstract)
public:
    // The parent is ignored: the host owns the object and deletes it.
    explicit KenwoodTS480(QWidget* parent = nullptr);
    ~KenwoodTS480() override;

    QString name() override;
    bool setOptionsLayout(QLayout* layout, bool flag1, bool flag2) override;
    void saveSettings(QSettings* settings) override;
    void loadSettings(QSettings* settings) override;
    void saveCatSettings(QSettings* settings) override;
    void loadCatSettings(QSettings* settings) override;
    // Remembered only: the channels get it at the next setChannels.
    void setManager(DeviceManagerAbstract* manager) override;

public slots:
    void setCommand(QVariant string) override;
    void setChannels(quint32 value) override;
    // Whether the host has a transmitter (command 184): shows or hides the channels'
    // transmit keying controls.
    void setTxChannels(quint32 count);

private:
    void createChannels();
    void deleteChannels();
    void buildPanel();
    // Takes the tab widget out of the host's layout; the caller deletes it.
    void detachTabs();
    // Runs `operation` on every channel inside the outer settings group `group`.
    void forEachChannelInGroup(QSettings* settings, const QString& group,
                               void (Control::*operation)(QSettings*));

    bool layoutFlag1 = false; // passed with the layout; nothing reads them
    bool layoutFlag2 = false;
    quint32 channelCount = 1;
    QList<Control*> channels; // owned; position i is channel index i
    // Owned, created without a parent. Guarded like the layout: it lives in the host's
    // layout, and a host that deletes the layout's widget first takes the tab widget along.
    QPointer<QTabWidget> tabs;
    QPointer<QLayout> layout;      // the host's, not owned; null until given or once deleted
    quorvexCommand* bus = nullptr; // owned
    DeviceManagerAbstract* manager = nullptr; // the host's, not owned
    bool txAvailable = true;
};
