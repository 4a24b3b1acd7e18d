#include "KenwoodTS480.h"

#include "CheckedConnect.h"
#include "Control.h"
#include "VirtualPort.h"
#include "quorvexCommand.h"

#include <QLayout>
#include <QSettings>
#include <QTabWidget>

namespace
{
const QString optionsGroup = QStringLiteral("TS480");
const QString catGroup = QStringLiteral("CAT_TS480");
} // namespace

KenwoodTS480::KenwoodTS480(QWidget*) : CatAbstract(nullptr), bus(new quorvexCommand)
{
    // Links to the virtual ports of hosts that are gone lead nowhere; a host that starts clears
    // them away.
    VirtualPort::removeStaleLinks();
    CHECKED_CONNECT(bus, SIGNAL(sCommand(QVariant)), this, SIGNAL(sCommand(QVariant)));
    CHECKED_CONNECT(bus, SIGNAL(sTxChannels(quint32)), this, SLOT(setTxChannels(quint32)));
    createChannels();
}

KenwoodTS480::~KenwoodTS480()
{
    deleteChannels();
    detachTabs();
    delete tabs.data();
    delete bus;
}

QString KenwoodTS480::name()
{
    return QStringLiteral("Kenwood TS480");
}

bool KenwoodTS480::setOptionsLayout(QLayout* hostLayout, bool flag1, bool flag2)
{
    layoutFlag1 = flag1;
    layoutFlag2 = flag2;
    // A second layout takes the panel over from the first.
    detachTabs();
    layout = hostLayout;
    buildPanel();
    return true;
}

void KenwoodTS480::saveSettings(QSettings* settings)
{
    forEachChannelInGroup(settings, optionsGroup, &Control::writeOptions);
}

void KenwoodTS480::loadSettings(QSettings* settings)
{
    forEachChannelInGroup(settings, optionsGroup, &Control::readOptions);
}

void KenwoodTS480::saveCatSettings(QSettings* settings)
{
    forEachChannelInGroup(settings, catGroup, &Control::writeRxSettings);
}

void KenwoodTS480::loadCatSettings(QSettings* settings)
{
    forEachChannelInGroup(settings, catGroup, &Control::readRxSettings);
}

void KenwoodTS480::setManager(DeviceManagerAbstract* deviceManager)
{
    manager = deviceManager;
}

void KenwoodTS480::setCommand(QVariant string)
{
    bus->setCommand(string);
}

void KenwoodTS480::setChannels(quint32 value)
{
    deleteChannels();
    // The old panels go with the old tab widget, later: the event loop may still be
    // delivering to them.
    detachTabs();
    if (tabs)
        tabs->deleteLater();
    tabs = nullptr;

    channelCount = value;
    createChannels();
    buildPanel();
    if (!manager)
        return;
    for (Control* channel : std::as_const(channels)) {
        channel->setManager(manager);
        channel->setTxAvailable(txAvailable);
    }
}

void KenwoodTS480::setTxChannels(quint32 count)
{
    txAvailable = count != 0;
    for (Control* channel : std::as_const(channels))
        channel->setTxAvailable(txAvailable);
}

void KenwoodTS480::createChannels()
{
    if (!tabs)
        tabs = new QTabWidget;
    for (quint32 i = 0; i < channelCount; ++i)
        channels.append(new Control(i, bus, this));
}

void KenwoodTS480::deleteChannels()
{
    for (Control* channel : std::as_const(channels))
        delete channel;
    channels.clear();
}

void KenwoodTS480::buildPanel()
{
    if (!layout || !tabs)
        return;
    layout->addWidget(tabs);
    // A panel already shown keeps its tab: the layout may be given more than once.
    for (qsizetype i = 0; i < channels.size(); ++i) {
        QWidget* panel = channels.at(i)->optionsWidget();
        if (tabs->indexOf(panel) < 0)
            tabs->addTab(panel, QStringLiteral("RX %1").arg(i + 1));
    }
}

void KenwoodTS480::detachTabs()
{
    if (!tabs)
        return;
    if (layout)
        layout->removeWidget(tabs);
    tabs->setParent(nullptr);
}

void KenwoodTS480::forEachChannelInGroup(QSettings* settings, const QString& group,
                                         void (Control::*operation)(QSettings*))
{
    settings->beginGroup(group);
    for (Control* channel : std::as_const(channels))
        (channel->*operation)(settings);
    settings->endGroup();
}
