#include "HostSession.h"

#include "CatAbstract.h"
#include "CheckedConnect.h"
#include "HostOutput.h"
#include "MessageText.h"
#include "PluginPanel.h"

#include <QLayout>

HostSession::HostSession(const HostArguments& arguments, QObject* parent)
    : QObject(parent), arguments(arguments), manager(arguments.channels), controls(&bus)
{
    for (quint32 i = 0; i < arguments.channels; ++i) {
        auto radio = std::make_unique<SimulatedRadio>(i, i < arguments.txChannels, &bus);
        radio->setSmeterDbm(arguments.smeterDbm);
        CHECKED_CONNECT(&keyControl, &SimKeyControl::trxRequested, radio.get(),
                        &SimulatedRadio::requestTrx);
        CHECKED_CONNECT(&keyControl, &SimKeyControl::keyRequested, radio.get(),
                        &SimulatedRadio::requestKey);
        // One keyer speed for all transceivers, as the host has one keyer setting.
        radio->setKeyerSpeed(controls.cwSpeed());
        CHECKED_CONNECT(&controls, &HostControls::changed, radio.get(),
                        [this, r = radio.get()] { r->setKeyerSpeed(controls.cwSpeed()); });
        transceivers.push_back(std::move(radio));
    }
}

HostSession::~HostSession()
{
    shutdown();
}

bool HostSession::start(QLayout* optionsLayout)
{
    loader.setFileName(arguments.pluginPath);
    QObject* instance = loader.instance();
    if (!instance) {
        error =
            QStringLiteral("cannot load %1: %2").arg(arguments.pluginPath, loader.errorString());
        return false;
    }
    cat = qobject_cast<CatAbstract*>(instance);
    if (!cat) {
        error = QStringLiteral("%1 is not a CAT plug-in (\"Quorvex\")").arg(arguments.pluginPath);
        return false;
    }
    printHostLine(QStringLiteral("plugin %1").arg(cat->name()));

    // Both directions of the message exchange: the plug-in's messages are printed and decoded
    // by the host's bus; the host's reports leave through the bus's encoders.
    CHECKED_CONNECT(cat.data(), &CatAbstract::sCommand, this, &HostSession::onPluginMessage);
    CHECKED_CONNECT(&bus, &quorvexCommand::sCommand, cat.data(), &CatAbstract::setCommand);

    layout = optionsLayout;
    cat->setOptionsLayout(optionsLayout, false, false);
    cat->setManager(&manager);
    cat->setChannels(arguments.channels);
    bus.setCWKeyObject(&keyControl);
    bus.setTxChannels(arguments.txChannels);

    controls.reportAll();
    for (const auto& radio : transceivers)
        radio->reportAll();

    // A channel serving its own virtual port: where a client finds it.
    CHECKED_CONNECT(
        &manager, &SimDeviceManager::catStateChanged, this, [this](quint32 transceiver, bool open) {
            const QString path = virtualPortPath(layout, transceiver);
            if (open && !path.isEmpty())
                printHostLine(
                    QStringLiteral("virtual port RX%1 %2").arg(transceiver + 1).arg(path));
        });

    settings = std::make_unique<QSettings>(arguments.settingsPath, QSettings::IniFormat);
    cat->loadSettings(settings.get());
    cat->loadCatSettings(settings.get());
    printHostLine(QStringLiteral("ready %1 %2").arg(arguments.channels).arg(arguments.txChannels));
    return true;
}

void HostSession::shutdown()
{
    if (!cat)
        return;
    cat->saveSettings(settings.get());
    cat->saveCatSettings(settings.get());
    settings->sync();
    printHostLine(settings->status() == QSettings::NoError
                      ? QStringLiteral("settings saved %1").arg(arguments.settingsPath)
                      : QStringLiteral("settings not saved %1").arg(arguments.settingsPath));
    delete cat.data();
}

SimulatedRadio* HostSession::radio(quint32 index) const
{
    return index < transceivers.size() ? transceivers[index].get() : nullptr;
}

void HostSession::onPluginMessage(const QVariant& message)
{
    const QString line = describeMessage(message);
    printHostLine(line);
    emit messageReceived(line);
    bus.setCommand(message);
}
