#pragma once
// The window's view of one simulated transceiver: the device manager's "CAT enable" switch,
// VFO A and B, mode and filter, TX and key indicators, switches and levels, an S-meter whose
// level the user moves with a slider, the CW text read back from the key, and the radio's
// message log. It reads SimulatedRadio's state after its changes (once for a burst of them);
// the only things it changes are the CAT switch (through the device manager) and the signal
// level. GUI thread only.

#include <QGroupBox>

class LogPane;
class QCheckBox;
class QLabel;
class QProgressBar;
class QSlider;
class SimDeviceManager;
class SimulatedRadio;

class RadioPanel : public QGroupBox
{
    Q_OBJECT
public:
    RadioPanel(SimulatedRadio* radio, SimDeviceManager* manager, QWidget* parent = nullptr);

public slots:
    void appendLog(const QString& line);

private slots:
    // Shows the radio's state on the event loop's next turn, once for every change before it.
    void scheduleRefresh();
    void refresh();
    void onCatStateChanged(quint32 transceiver, bool state);

private:
    SimulatedRadio* radio;     // not owned
    SimDeviceManager* manager; // not owned
    QCheckBox* catEnable;
    QLabel* tx;
    QLabel* keys;
    QLabel* txMeters;
    QLabel* vfoA;
    QLabel* vfoB;
    QLabel* mode;
    QLabel* switches;
    QLabel* levels;
    QSlider* signal;
    QProgressBar* smeter;
    QLabel* smeterText;
    QLabel* cwText;
    LogPane* log;
    bool refreshScheduled = false;
};
