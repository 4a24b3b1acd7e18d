#include "SimulatedRadio.h"

#include "CheckedConnect.h"
#include "HostOutput.h"
#include "quorvexCommand.h"

#include <algorithm>
#include <chrono>

namespace
{

// The host's limits for the values the plug-in may ask for.
struct Range {
    int low;
    int high;
};
constexpr Range volumeRange{-60, 0};
constexpr Range agcGainRange{-20, 120};
constexpr Range sqlRange{-140, 0};
constexpr Range micRange{0, 70};
constexpr Range driveRange{0, 100};
constexpr Range ritRange{-9999, 9999};
constexpr Range ctcssRange{0, 41};

constexpr int meterIntervalMs = 500;

int limit(int value, Range range)
{
    return std::clamp(value, range.low, range.high);
}

QString onOff(bool state)
{
    return state ? QStringLiteral("on") : QStringLiteral("off");
}

QString megahertz(double hz)
{
    return QString::number(hz / 1e6, 'f', 6) + QStringLiteral(" MHz");
}

// The PARIS dot: 1200 / wpm milliseconds.
qint64 dotNanoseconds(quint32 wpm)
{
    return 1200LL * 1000 * 1000 / std::max<quint32>(wpm, 1);
}

// The clock the key object stamps its edges with.
qint64 nowNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

SimulatedRadio::SimulatedRadio(quint32 index, bool canTransmit, quorvexCommand* bus,
                               QObject* parent)
    : QObject(parent), channel(index), transmitter(canTransmit), bus(bus)
{
    using Q = quorvexCommand;
    using R = SimulatedRadio;
    CHECKED_CONNECT(bus, &Q::sRxVfo, this, &R::onRxVfo);
    CHECKED_CONNECT(bus, &Q::sRxMode, this, &R::onRxMode);
    CHECKED_CONNECT(bus, &Q::sRxFilter, this, &R::onRxFilter);
    CHECKED_CONNECT(bus, &Q::sRxVolume, this, &R::onRxVolume);
    CHECKED_CONNECT(bus, &Q::sRxAgcGain, this, &R::onRxAgcGain);
    CHECKED_CONNECT(bus, &Q::sRxAgcMode, this, &R::onRxAgcMode);
    CHECKED_CONNECT(bus, &Q::sRxSqlLevel, this, &R::onRxSqlLevel);
    CHECKED_CONNECT(bus, &Q::sRxNB1, this, &R::onRxNB1);
    CHECKED_CONNECT(bus, &Q::sRxNB1Level, this, &R::onRxNB1Level);
    CHECKED_CONNECT(bus, &Q::sRxNR, this, &R::onRxNR);
    CHECKED_CONNECT(bus, &Q::sTxMicGain, this, &R::onTxMicGain);
    CHECKED_CONNECT(bus, &Q::sTxMonValue, this, &R::onTxMonValue);
    CHECKED_CONNECT(bus, &Q::sTxDrive, this, &R::onTxDrive);
    CHECKED_CONNECT(bus, &Q::sTxComp, this, &R::onTxComp);
    CHECKED_CONNECT(bus, &Q::sRxRit, this, &R::onRxRit);
    CHECKED_CONNECT(bus, &Q::sRxRitEnable, this, &R::onRxRitEnable);
    CHECKED_CONNECT(bus, &Q::sRxXitEnable, this, &R::onRxXitEnable);
    CHECKED_CONNECT(bus, &Q::sCatSubRX, this, &R::onCatSubRX);
    CHECKED_CONNECT(bus, &Q::sCatSplit, this, &R::onCatSplit);
    CHECKED_CONNECT(bus, &Q::sCtcssEnable, this, &R::onCtcssEnable);
    CHECKED_CONNECT(bus, &Q::sCtcssTone, this, &R::onCtcssTone);
    CHECKED_CONNECT(bus, &Q::sCatAttPreAmp, this, &R::onCatAttPreAmp);

    // A host reports its meters continuously, not only when they change.
    CHECKED_CONNECT(&meterTimer, &QTimer::timeout, this, &R::reportMeter);
    meterTimer.start(meterIntervalMs);
    cwSilence.setSingleShot(true);
    cwSilence.setTimerType(Qt::PreciseTimer);
    CHECKED_CONNECT(&cwSilence, &QTimer::timeout, this, &R::finishCwMessage);
}

void SimulatedRadio::reportAll()
{
    const TransceiverState& s = current;
    bus->rxVfo(channel, 0, s.vfoA);
    bus->rxVfo(channel, 1, s.vfoB);
    bus->rxMode(channel, 0, s.mode);
    reportFilter();
    bus->rxVolume(channel, 0, s.volume);
    bus->rxAgcGain(channel, 0, s.agcGain);
    bus->rxAgcMode(channel, 0, s.agcMode);
    bus->rxSqlValue(channel, 0, s.sqlLevel);
    bus->rxNB1(channel, s.nb1);
    bus->rxNB1Level(channel, s.nb1Level);
    bus->rxNR(channel, s.nr);
    bus->txMicValue(channel, s.micGain);
    bus->txMon(channel, s.monitor);
    bus->txDrive(channel, s.drive);
    bus->txComp(channel, s.compressor);
    bus->rxRit(channel, 0, s.ritOffset);
    bus->rxRitEnable(channel, 0, s.ritEnable);
    bus->rxXitEnable(channel, 0, s.xitEnable);
    bus->catSubRX(channel, s.subRx);
    bus->catSplit(channel, s.split);
    bus->ctcssEnable(channel, s.ctcssEnable);
    bus->ctcssTone(channel, s.ctcssTone);
    bus->setCatAttPreAmp(channel, s.attenuator, s.preamp);
    bus->mox(channel, s.transmitting);
    reportMeter();
}

void SimulatedRadio::setSmeterDbm(double dbm)
{
    current.smeterDbm = dbm;
    reportMeter();
    done(QStringLiteral("signal %1 dBm (%2)").arg(dbm).arg(sUnits(dbm)));
}

void SimulatedRadio::setSwr(double ratio)
{
    current.swr = ratio;
    if (current.transmitting)
        reportTransmitMeters();
    done(QStringLiteral("SWR %1").arg(ratio));
}

// The same as the plug-in's requests: the host reports the new state whoever asked for it.
void SimulatedRadio::tune(double hz)
{
    onRxVfo(channel, 0, hz);
}

void SimulatedRadio::selectMode(quint32 mode)
{
    onRxMode(channel, 0, mode);
}

void SimulatedRadio::requestTrx(quint32 transceiver, quint32 source, bool on)
{
    if (transceiver != channel)
        return;
    if (source < keySourceCount)
        current.trxBySource[source] = on;
    if (!transmitter) {
        done(QStringLiteral("TX %1 from source %2 refused: no transmitter")
                 .arg(onOff(on))
                 .arg(source));
        return;
    }
    const bool any = std::any_of(current.trxBySource.begin(), current.trxBySource.end(),
                                 [](bool requested) { return requested; });
    if (any != current.transmitting)
        setTransmitting(any);
    done(QStringLiteral("TX request %1 from source %2").arg(onOff(on)).arg(source));
}

void SimulatedRadio::requestKey(quint32 transmitterIndex, quint32 source, bool down, qint64 at)
{
    if (transmitterIndex != channel)
        return;
    if (source < keySourceCount)
        current.keyBySource[source] = down;
    if (down) {
        cwSilence.stop();
        cwDecoder.keyDown(at, dotNanoseconds(keyerWpm));
    } else {
        cwDecoder.keyUp(at);
        // The silence is counted from the edge, not from when it was handled here.
        const qint64 sinceEdge = nowNanoseconds() - at;
        cwSilence.start(
            int(std::max<qint64>(0, cwDecoder.endOfMessageSilence() - sinceEdge) / 1000000));
    }
    current.cwText = cwDecoder.text();
    emit changed();
}

void SimulatedRadio::setKeyerSpeed(quint32 wpm)
{
    keyerWpm = wpm;
}

void SimulatedRadio::finishCwMessage()
{
    const QString text = cwDecoder.finish();
    current.cwText = text;
    printHostLine(QStringLiteral("cw RX%1: %2").arg(channel + 1).arg(text));
    done(QStringLiteral("CW received: %1").arg(text));
}

void SimulatedRadio::onRxVfo(quint32 receiver, quint32 vfo, double value)
{
    if (receiver != channel || vfo > 1)
        return;
    (vfo == 0 ? current.vfoA : current.vfoB) = value;
    bus->rxVfo(channel, vfo, value);
    done(QStringLiteral("VFO %1 %2").arg(vfo == 0 ? 'A' : 'B').arg(megahertz(value)));
}

void SimulatedRadio::onRxMode(quint32 receiver, quint32, quint32 mode)
{
    if (receiver != channel)
        return;
    const FilterEdges filter = defaultFilter(mode);
    current.mode = mode;
    current.filterLow = filter.low;
    current.filterHigh = filter.high;
    bus->rxMode(channel, 0, mode);
    reportFilter();
    done(QStringLiteral("mode %1").arg(modeName(mode)));
}

void SimulatedRadio::onRxFilter(quint32 receiver, quint32, double low, double high)
{
    if (receiver != channel)
        return;
    current.filterLow = std::min(low, high);
    current.filterHigh = std::max(low, high);
    reportFilter();
    done(QStringLiteral("filter %1 .. %2 Hz").arg(current.filterLow).arg(current.filterHigh));
}

void SimulatedRadio::onRxVolume(quint32 receiver, int, int dB)
{
    if (receiver != channel)
        return;
    current.volume = limit(dB, volumeRange);
    bus->rxVolume(channel, 0, current.volume);
    done(QStringLiteral("AF volume %1 dB").arg(current.volume));
}

void SimulatedRadio::onRxAgcGain(quint32 receiver, quint32, int dB)
{
    if (receiver != channel)
        return;
    current.agcGain = limit(dB, agcGainRange);
    bus->rxAgcGain(channel, 0, current.agcGain);
    done(QStringLiteral("AGC gain %1 dB").arg(current.agcGain));
}

void SimulatedRadio::onRxAgcMode(quint32 receiver, quint32, quint32 mode)
{
    if (receiver != channel)
        return;
    current.agcMode = mode;
    bus->rxAgcMode(channel, 0, mode);
    done(QStringLiteral("AGC mode %1").arg(mode));
}

void SimulatedRadio::onRxSqlLevel(quint32 receiver, quint32, int dB)
{
    if (receiver != channel)
        return;
    current.sqlLevel = limit(dB, sqlRange);
    bus->rxSqlValue(channel, 0, current.sqlLevel);
    done(QStringLiteral("squelch %1 dB").arg(current.sqlLevel));
}

void SimulatedRadio::onRxNB1(quint32 receiver, bool state)
{
    if (receiver != channel)
        return;
    current.nb1 = state;
    bus->rxNB1(channel, state);
    done(QStringLiteral("noise blanker %1").arg(onOff(state)));
}

void SimulatedRadio::onRxNB1Level(quint32 receiver, double level)
{
    if (receiver != channel)
        return;
    current.nb1Level = int(level);
    bus->rxNB1Level(channel, current.nb1Level);
    done(QStringLiteral("noise blanker level %1").arg(current.nb1Level));
}

void SimulatedRadio::onRxNR(quint32 receiver, bool state)
{
    if (receiver != channel)
        return;
    current.nr = state;
    bus->rxNR(channel, state);
    done(QStringLiteral("noise reduction %1").arg(onOff(state)));
}

void SimulatedRadio::onTxMicGain(quint32 transmitterIndex, int dB)
{
    if (transmitterIndex != channel)
        return;
    current.micGain = limit(dB, micRange);
    bus->txMicValue(channel, current.micGain);
    done(QStringLiteral("mic gain %1 dB").arg(current.micGain));
}

void SimulatedRadio::onTxMonValue(quint32 transmitterIndex, int value)
{
    if (transmitterIndex != channel)
        return;
    current.monitor = value;
    bus->txMon(channel, value);
    done(QStringLiteral("monitor %1").arg(value));
}

void SimulatedRadio::onTxDrive(quint32 transmitterIndex, quint32 percent)
{
    if (transmitterIndex != channel)
        return;
    current.drive = std::min(percent, quint32(driveRange.high));
    bus->txDrive(channel, current.drive);
    if (current.transmitting)
        reportTransmitMeters();
    done(QStringLiteral("drive %1 %").arg(current.drive));
}

void SimulatedRadio::onTxComp(quint32 transmitterIndex, bool state)
{
    if (transmitterIndex != channel)
        return;
    current.compressor = state;
    bus->txComp(channel, state);
    done(QStringLiteral("compressor %1").arg(onOff(state)));
}

void SimulatedRadio::onRxRit(quint32 receiver, quint32, int offset)
{
    if (receiver != channel)
        return;
    current.ritOffset = limit(offset, ritRange);
    bus->rxRit(channel, 0, current.ritOffset);
    done(QStringLiteral("RIT/XIT offset %1 Hz").arg(current.ritOffset));
}

void SimulatedRadio::onRxRitEnable(quint32 receiver, quint32, bool state)
{
    if (receiver != channel)
        return;
    current.ritEnable = state;
    bus->rxRitEnable(channel, 0, state);
    done(QStringLiteral("RIT %1").arg(onOff(state)));
}

void SimulatedRadio::onRxXitEnable(quint32 receiver, quint32, bool state)
{
    if (receiver != channel)
        return;
    current.xitEnable = state;
    bus->rxXitEnable(channel, 0, state);
    done(QStringLiteral("XIT %1").arg(onOff(state)));
}

void SimulatedRadio::onCatSubRX(quint32 receiver, bool state)
{
    if (receiver != channel)
        return;
    current.subRx = state;
    bus->catSubRX(channel, state);
    done(QStringLiteral("sub receiver %1").arg(onOff(state)));
}

void SimulatedRadio::onCatSplit(quint32 receiver, bool state)
{
    if (receiver != channel)
        return;
    current.split = state;
    bus->catSplit(channel, state);
    done(QStringLiteral("split %1").arg(onOff(state)));
}

void SimulatedRadio::onCtcssEnable(quint32 receiver, bool state)
{
    if (receiver != channel)
        return;
    current.ctcssEnable = state;
    bus->ctcssEnable(channel, state);
    done(QStringLiteral("CTCSS %1").arg(onOff(state)));
}

void SimulatedRadio::onCtcssTone(quint32 receiver, int tone)
{
    if (receiver != channel)
        return;
    current.ctcssTone = limit(tone, ctcssRange);
    bus->ctcssTone(channel, current.ctcssTone);
    done(QStringLiteral("CTCSS tone %1").arg(current.ctcssTone));
}

void SimulatedRadio::onCatAttPreAmp(quint32 transceiver, bool att, bool amp)
{
    if (transceiver != channel)
        return;
    current.attenuator = att;
    current.preamp = amp;
    bus->setCatAttPreAmp(channel, att, amp);
    done(QStringLiteral("attenuator %1, preamp %2").arg(onOff(att), onOff(amp)));
}

void SimulatedRadio::done(const QString& what)
{
    emit logLine(what);
    emit changed();
}

void SimulatedRadio::reportFilter()
{
    bus->rxFilter(channel, 0, current.filterLow, current.filterHigh);
}

void SimulatedRadio::reportMeter()
{
    bus->meterDbm(channel, 0, current.smeterDbm);
    if (current.transmitting)
        reportTransmitMeters();
}

void SimulatedRadio::reportTransmitMeters()
{
    const TransmitMeters meters = transmitMeters(current);
    bus->meterPower(channel, 0, meters.watts);
    bus->meterSwr(channel, 0, meters.swr);
}

// The meters follow at once: the reading when transmitting starts, the rest values when it
// stops.
void SimulatedRadio::setTransmitting(bool on)
{
    current.transmitting = on;
    bus->mox(channel, on);
    reportTransmitMeters();
    emit logLine(on ? QStringLiteral("transmitting") : QStringLiteral("receiving"));
}
