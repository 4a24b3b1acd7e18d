// The radio-state cache slots of Control. They run in the GUI thread (or wherever a caller
// invokes them) and each holds the channel mutex only for its own store or read.

#include "Control.h"

#include "AutoInformation.h"
#include "Meters.h"
#include "Modes.h"

#include <QDebug>
#include <QMutexLocker>

namespace
{

// The host numbers 43 tones, 0 to 42; CN sets only 0 to 41 (RitCommands.cpp).
constexpr int lastCtcssTone = 42;

} // namespace

// The common shape of the cache slots: a value for another channel's index changes nothing,
// a read for another channel's index gives zero.
template <typename Field, typename Value>
void Control::storeFor(quint32 index, Field RadioState::*field, Value value, quint8 pushes)
{
    QMutexLocker lock(&mutex);
    if (!isMine(index))
        return;
    if (pushes != 0 && cache.*field != Field(value))
        raiseChanged(pushes);
    cache.*field = value;
}

template <typename Field> Field Control::readFor(quint32 index, Field RadioState::*field)
{
    QMutexLocker lock(&mutex);
    return isMine(index) ? cache.*field : Field{};
}

void Control::changedAntSwEnable(bool state)
{
    QMutexLocker lock(&mutex);
    cache.antSwEnable = state;
}

void Control::changedEnableFR(bool state)
{
    QMutexLocker lock(&mutex);
    cache.enableFr = state;
}

void Control::setStart(bool state)
{
    QMutexLocker lock(&mutex);
    cache.started = state;
}

bool Control::Started()
{
    QMutexLocker lock(&mutex);
    return cache.started;
}

// Channel 0 is VFO A, channel 1 VFO B.
void Control::setVfo(quint32 receiver, quint32 channel, double value)
{
    QMutexLocker lock(&mutex);
    if (!isMine(receiver) || channel > 1)
        return;
    double& vfo = channel == 0 ? cache.vfoA : cache.vfoB;
    if (vfo != value)
        raiseChanged(channel == 0 ? push::FA : push::FB);
    vfo = value;
}

double Control::Vfo(quint32 receiver, quint32 channel)
{
    QMutexLocker lock(&mutex);
    if (!isMine(receiver))
        return 0.0;
    return channel == 0 ? cache.vfoA : channel == 1 ? cache.vfoB : 0.0;
}

void Control::setMode(quint32 receiver, quint32, quint32 value)
{
    QMutexLocker lock(&mutex);
    if (!isMine(receiver))
        return;
    if (cache.mode != value)
        raiseChanged(push::MD);
    cache.mode = value;
    // CW text is keyed in CW only: a host that leaves CW ends what was being sent.
    if (modes::groupOf(value) != modes::Group::Cw && keyer.stop())
        notice(tr("CW text stopped: the host left CW"));
}

quint32 Control::Mode(quint32 receiver)
{
    return readFor(receiver, &RadioState::mode);
}

void Control::setAgcMode(quint32 receiver, quint32, quint32 value)
{
    storeFor(receiver, &RadioState::agcMode, value);
}

quint32 Control::AgcMode(quint32 receiver)
{
    return readFor(receiver, &RadioState::agcMode);
}

void Control::setAgcGain(quint32 receiver, quint32, int value)
{
    storeFor(receiver, &RadioState::agcGain, value);
}

quint32 Control::AgcGain(quint32 receiver)
{
    QMutexLocker lock(&mutex);
    return isMine(receiver) ? static_cast<quint32>(cache.agcGain) : 0;
}

void Control::setCwWpm(quint32 value)
{
    QMutexLocker lock(&mutex);
    cache.cwWpm = value;
    keyer.setSpeed(value);
}

quint32 Control::CwWpm()
{
    QMutexLocker lock(&mutex);
    return cache.cwWpm;
}

void Control::setCwBreakInDelay(quint32 value)
{
    QMutexLocker lock(&mutex);
    cache.cwBreakInDelay = value;
}

quint32 Control::CwBreakInDelay()
{
    QMutexLocker lock(&mutex);
    return cache.cwBreakInDelay;
}

void Control::setMicGain(quint32 transmitter, int value)
{
    storeFor(transmitter, &RadioState::micGain, value);
}

int Control::MicGain(quint32 transmitter)
{
    return readFor(transmitter, &RadioState::micGain);
}

void Control::setTrxMode(quint32 channel, bool state)
{
    storeFor(channel, &RadioState::trxMode, state, push::IF);
}

bool Control::TrxMode(quint32 channel)
{
    return readFor(channel, &RadioState::trxMode);
}

void Control::setVolume(quint32 receiver, int, int value)
{
    storeFor(receiver, &RadioState::volume, value);
}

int Control::Volume(int receiver)
{
    QMutexLocker lock(&mutex);
    return receiver >= 0 && isMine(static_cast<quint32>(receiver)) ? cache.volume : 0;
}

// The monitor level belongs to the transmitter that ML addresses (always the first), so the
// host's confirmation is stored whichever transmitter index it carries.
void Control::setMonitor(quint32, int value)
{
    QMutexLocker lock(&mutex);
    cache.monitor = value;
}

int Control::Monitor(quint32 receiver)
{
    return readFor(receiver, &RadioState::monitor);
}

void Control::setFilter(quint32 receiver, quint32, double low, double high)
{
    QMutexLocker lock(&mutex);
    if (!isMine(receiver))
        return;
    cache.filterLow = low;
    cache.filterHigh = high;
}

void Control::Filter(quint32 receiver, quint32, double* low, double* high)
{
    QMutexLocker lock(&mutex);
    if (!isMine(receiver) || low == nullptr || high == nullptr)
        return;
    *low = cache.filterLow;
    *high = cache.filterHigh;
}

void Control::setNb1Enable(quint32 receiver, bool state)
{
    storeFor(receiver, &RadioState::nb1Enable, state);
}

bool Control::Nb1Enable(quint32 receiver)
{
    return readFor(receiver, &RadioState::nb1Enable);
}

void Control::setNb1Level(quint32 receiver, double value)
{
    storeFor(receiver, &RadioState::nb1Level, value);
}

double Control::Nb1Level(quint32 receiver)
{
    return readFor(receiver, &RadioState::nb1Level);
}

void Control::setNb2Enable(quint32 receiver, bool state)
{
    storeFor(receiver, &RadioState::nb2Enable, state);
}

bool Control::Nb2Enable(quint32 receiver)
{
    return readFor(receiver, &RadioState::nb2Enable);
}

void Control::setNb2Level(quint32 receiver, double value)
{
    storeFor(receiver, &RadioState::nb2Level, value);
}

double Control::Nb2Level(quint32 receiver)
{
    return readFor(receiver, &RadioState::nb2Level);
}

void Control::setNrEnable(quint32 receiver, bool state)
{
    storeFor(receiver, &RadioState::nrEnable, state);
}

bool Control::NrEnable(quint32 receiver)
{
    return readFor(receiver, &RadioState::nrEnable);
}

void Control::setAnfEnable(quint32 receiver, bool state)
{
    storeFor(receiver, &RadioState::anfEnable, state);
}

bool Control::AnfEnable(quint32 receiver)
{
    return readFor(receiver, &RadioState::anfEnable);
}

void Control::setDrive(quint32 transmitter, quint32 value)
{
    storeFor(transmitter, &RadioState::drive, value);
}

quint32 Control::Drive(quint32 transmitter)
{
    return readFor(transmitter, &RadioState::drive);
}

void Control::setCompressor(quint32 transmitter, bool state)
{
    storeFor(transmitter, &RadioState::compressor, state);
}

bool Control::Compressor(quint32 transmitter)
{
    return readFor(transmitter, &RadioState::compressor);
}

void Control::setSqlLevel(quint32 receiver, quint32, int value)
{
    storeFor(receiver, &RadioState::sqlLevel, value);
}

int Control::SqlLevel(quint32 receiver)
{
    return readFor(receiver, &RadioState::sqlLevel);
}

void Control::setRitEnable(quint32 receiver, quint32, bool state)
{
    storeFor(receiver, &RadioState::ritEnable, state, push::IF);
}

bool Control::RitEnable(quint32 receiver)
{
    return readFor(receiver, &RadioState::ritEnable);
}

void Control::setRitOffset(quint32 receiver, quint32, int value)
{
    storeFor(receiver, &RadioState::ritOffset, value, push::IF);
}

int Control::RitOffset(quint32 receiver)
{
    return readFor(receiver, &RadioState::ritOffset);
}

void Control::setXitEnable(quint32 receiver, quint32, bool state)
{
    storeFor(receiver, &RadioState::xitEnable, state, push::IF);
}

bool Control::XitEnable(quint32 receiver)
{
    return readFor(receiver, &RadioState::xitEnable);
}

// Only the main channel's reading drives the S-meter.
void Control::setSmeter(quint32 receiver, quint32 channel, double value)
{
    storeMeter(receiver, channel, &RadioState::smeter, meters::sMeterStep(value));
}

// The transmit meters come from the main channel too; the host numbers them by transmitter,
// which for this channel is its transceiver index.
void Control::setPowerMeter(quint32 transmitter, quint32 channel, double watts)
{
    storeMeter(transmitter, channel, &RadioState::powerMeter, meters::powerBar(watts));
}

void Control::setSwrMeter(quint32 transmitter, quint32 channel, double ratio)
{
    storeMeter(transmitter, channel, &RadioState::swrMeter, meters::swrBar(ratio));
}

void Control::storeMeter(quint32 index, quint32 channel, int RadioState::*bar, int value)
{
    if (channel == 0)
        storeFor(index, bar, value);
}

void Control::setCtcssEnable(quint32 receiver, bool state)
{
    QMutexLocker lock(&mutex);
    if (!isMine(receiver))
        return;
    qDebug().nospace() << "setCtcssEnable(" << receiver << "," << state << ")";
    cache.ctcssEnable = state;
}

// Tone numbers run from 0 to 42; anything else is not a tone and is ignored.
void Control::setCtcssTone(quint32 receiver, int index)
{
    QMutexLocker lock(&mutex);
    if (!isMine(receiver) || index < 0 || index > lastCtcssTone)
        return;
    qDebug().nospace() << "setCtcssTone(" << receiver << "," << index << ")";
    cache.ctcssTone = index;
}

void Control::setSubRX(quint32 receiver, bool state)
{
    storeFor(receiver, &RadioState::subRx, state ? 1 : 0, push::FR);
}

void Control::setSplit(quint32 receiver, bool state)
{
    storeFor(receiver, &RadioState::split, state ? 1 : 0, push::FT);
}

void Control::setCatAttPreAmp(quint32 tranceiver, bool att, bool amp)
{
    QMutexLocker lock(&mutex);
    if (!isMine(tranceiver))
        return;
    cache.attenuator = att;
    cache.preamp = amp;
}
