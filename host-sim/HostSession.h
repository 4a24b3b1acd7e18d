#pragma once
// The simulated host: loads the CAT plug-in and plays the host's part of the contract in
// the host's working order: options layout, device manager, channel count, key object
// (command 183), transmitter count (command 184), state reports, loadSettings and
// loadCatSettings; then the message exchange; on shutdown saveSettings and saveCatSettings,
// then the plug-in is deleted. It owns the host's command bus, wired to the plug-in both
// ways, one SimulatedRadio per channel, the host-wide controls, the key object and the
// device manager; every message from the plug-in is printed (HostOutput) and decoded.
//
// Threads: GUI thread only. The plug-in delivers its messages in this thread (it relays its
// workers' messages by queued delivery); the key object moves its calls here itself.

#include "CatAbstract.h"
#include "HostArguments.h"
#include "HostControls.h"
#include "SimDeviceManager.h"
#include "SimKeyControl.h"
#include "SimulatedRadio.h"
#include "quorvexCommand.h"

#include <QObject>
#include <QPluginLoader>
#include <QPointer>
#include <QSettings>
#include <QVariant>

#include <memory>
#include <vector>

class QLayout;

class HostSession : public QObject
{
    Q_OBJECT
public:
    explicit HostSession(const HostArguments& arguments, QObject* parent = nullptr);
    ~HostSession() override;

    // Loads the plug-in into `optionsLayout` and runs the working order up to the settings
    // load. False, with errorString(), when the plug-in cannot be loaded or cast.
    bool start(QLayout* optionsLayout);
    // Saves the plug-in's settings and deletes it. Does nothing the second time.
    void shutdown();

    QString errorString() const { return error; }
    CatAbstract* plugin() const { return cat; }
    SimDeviceManager* deviceManager() { return &manager; }
    HostControls* hostControls() { return &controls; }
    // The layout the plug-in's panel lives in; null before start().
    QLayout* optionsLayout() const { return layout; }
    const std::vector<std::unique_ptr<SimulatedRadio>>& radios() const { return transceivers; }
    SimulatedRadio* radio(quint32 index) const;

signals:
    // A message arrived from the plug-in, as printed.
    void messageReceived(const QString& line);

private slots:
    void onPluginMessage(const QVariant& message);

private:
    HostArguments arguments;
    quorvexCommand bus;
    SimKeyControl keyControl;
    SimDeviceManager manager;
    HostControls controls;
    std::vector<std::unique_ptr<SimulatedRadio>> transceivers;
    QPluginLoader loader;
    QPointer<CatAbstract> cat;
    QLayout* layout = nullptr; // the window's, not owned
    std::unique_ptr<QSettings> settings;
    QString error;
};
