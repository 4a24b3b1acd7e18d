#include "RadioPanel.h"

#include "CheckedConnect.h"
#include "LogPane.h"
#include "SimDeviceManager.h"
#include "SimulatedRadio.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QTime>
#include <QTimer>

#include <cmath>
#include <utility>

namespace
{

constexpr int signalMinDbm = -140;
constexpr int signalMaxDbm = -13;
constexpr int logLines = 300;
constexpr const char* sourceNames[keySourceCount] = {"", "", "CAT", "PTT", "FSW"};

QString frequencyText(double hz)
{
    return QString::number(hz / 1e6, 'f', 6) + QStringLiteral(" MHz");
}

QString flag(const char* name, bool on)
{
    return on ? QString::fromLatin1(name)
              : QStringLiteral("<span style='color:#999'>%1</span>").arg(QLatin1String(name));
}

QString indicatorStyle(bool on, const char* colour)
{
    return on ? QStringLiteral("QLabel { background: %1; color: white; padding: 2px 6px; "
                               "font-weight: bold; }")
                    .arg(QLatin1String(colour))
              : QStringLiteral("QLabel { background: #ddd; color: #777; padding: 2px 6px; }");
}

QLabel* bigLabel()
{
    auto* label = new QLabel;
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

RadioPanel::RadioPanel(SimulatedRadio* radio, SimDeviceManager* manager, QWidget* parent)
    : QGroupBox(tr("Transceiver %1 (RX %1)").arg(radio->index() + 1), parent), radio(radio),
      manager(manager), catEnable(new QCheckBox(tr("CAT enable"))), tx(new QLabel(tr("TX"))),
      keys(new QLabel), txMeters(new QLabel), vfoA(bigLabel()), vfoB(bigLabel()), mode(new QLabel),
      switches(new QLabel), levels(new QLabel), signal(new QSlider(Qt::Horizontal)),
      smeter(new QProgressBar), smeterText(new QLabel), cwText(new QLabel), log(new LogPane(logLines))
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(catEnable, 0, 0);
    grid->addWidget(tx, 0, 1);
    grid->addWidget(keys, 0, 2);
    grid->addWidget(txMeters, 0, 3);
    grid->addWidget(new QLabel(tr("VFO A")), 1, 0);
    grid->addWidget(vfoA, 1, 1);
    grid->addWidget(new QLabel(tr("VFO B")), 1, 2);
    grid->addWidget(vfoB, 1, 3);
    grid->addWidget(mode, 2, 0, 1, 4);
    grid->addWidget(switches, 3, 0, 1, 4);
    grid->addWidget(levels, 4, 0, 1, 4);
    grid->addWidget(new QLabel(tr("Signal")), 5, 0);
    grid->addWidget(signal, 5, 1);
    grid->addWidget(smeter, 5, 2);
    grid->addWidget(smeterText, 5, 3);
    cwText->setTextFormat(Qt::PlainText);
    grid->addWidget(cwText, 6, 0, 1, 4);
    grid->addWidget(log, 7, 0, 1, 4);

    signal->setRange(signalMinDbm, signalMaxDbm);
    signal->setValue(int(std::lround(radio->state().smeterDbm)));
    smeter->setRange(signalMinDbm, signalMaxDbm);
    smeter->setTextVisible(false);
    txMeters->setVisible(radio->canTransmit());
    log->setMinimumHeight(90);
    catEnable->setChecked(manager->catEnabled(radio->index()));

    // The switch asks the plug-in; it shows what the plug-in reports back.
    CHECKED_CONNECT(catEnable, &QCheckBox::clicked, this, [this](bool checked) {
        catEnable->setChecked(!checked);
        this->manager->requestCat(this->radio->index(), checked);
    });
    CHECKED_CONNECT(manager, &SimDeviceManager::catStateChanged, this,
                    &RadioPanel::onCatStateChanged);
    CHECKED_CONNECT(signal, &QSlider::valueChanged, radio,
                    [radio](int dbm) { radio->setSmeterDbm(dbm); });
    CHECKED_CONNECT(radio, &SimulatedRadio::changed, this, &RadioPanel::scheduleRefresh);
    CHECKED_CONNECT(radio, &SimulatedRadio::logLine, this, &RadioPanel::appendLog);
    refresh();
}

void RadioPanel::appendLog(const QString& line)
{
    log->appendLine(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + line);
}

void RadioPanel::scheduleRefresh()
{
    if (std::exchange(refreshScheduled, true))
        return;
    QTimer::singleShot(0, this, [this] {
        refreshScheduled = false;
        refresh();
    });
}

void RadioPanel::refresh()
{
    const TransceiverState& s = radio->state();
    tx->setText(radio->canTransmit() ? tr("TX") : tr("no TX"));
    tx->setStyleSheet(indicatorStyle(s.transmitting, "#c00"));

    QStringList keyFlags;
    for (quint32 source = 2; source < keySourceCount; ++source)
        keyFlags << flag(sourceNames[source], s.trxBySource[source] || s.keyBySource[source]);
    keys->setText(tr("PTT/key: ") + keyFlags.join(QLatin1Char(' ')));
    const TransmitMeters meters = transmitMeters(s);
    txMeters->setText(tr("PWR %1 W, SWR %2").arg(meters.watts).arg(meters.swr, 0, 'f', 1));

    vfoA->setText(frequencyText(s.vfoA));
    vfoB->setText(frequencyText(s.vfoB));
    mode->setText(
        tr("Mode %1, filter %2 .. %3 Hz").arg(modeName(s.mode)).arg(s.filterLow).arg(s.filterHigh));
    switches->setText(QStringList{flag("SPLIT", s.split), flag("SUB", s.subRx),
                                  flag("RIT", s.ritEnable), flag("XIT", s.xitEnable),
                                  tr("offset %1 Hz").arg(s.ritOffset), flag("CTCSS", s.ctcssEnable),
                                  flag("ATT", s.attenuator), flag("PRE", s.preamp),
                                  flag("NB", s.nb1), flag("NR", s.nr), flag("COMP", s.compressor)}
                          .join(QLatin1Char(' ')));
    levels->setText(tr("AF %1 dB, AGC gain %2 dB, SQL %3 dB, MIC %4 dB, drive %5 %, monitor %6")
                        .arg(s.volume)
                        .arg(s.agcGain)
                        .arg(s.sqlLevel)
                        .arg(s.micGain)
                        .arg(s.drive)
                        .arg(s.monitor));
    cwText->setText(tr("CW received: ") + s.cwText);
    const int dbm = int(std::lround(s.smeterDbm));
    smeter->setValue(std::clamp(dbm, signalMinDbm, signalMaxDbm));
    smeterText->setText(QStringLiteral("%1 (%2 dBm)").arg(sUnits(s.smeterDbm)).arg(dbm));
    if (signal->value() != dbm) {
        const QSignalBlocker quiet(signal);
        signal->setValue(dbm);
    }
}

void RadioPanel::onCatStateChanged(quint32 transceiver, bool state)
{
    if (transceiver == radio->index())
        catEnable->setChecked(state);
}
