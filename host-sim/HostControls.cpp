#include "HostControls.h"

#include "CheckedConnect.h"
#include "quorvexCommand.h"

#include <algorithm>

namespace
{
constexpr quint32 minWpm = 1;
constexpr quint32 maxWpm = 99;
constexpr int maxBreakIn = 9999;
} // namespace

HostControls::HostControls(quorvexCommand* bus, QObject* parent) : QObject(parent), bus(bus)
{
    CHECKED_CONNECT(bus, &quorvexCommand::sQuorvexStart, this, &HostControls::onQuorvexStart);
    CHECKED_CONNECT(bus, &quorvexCommand::sCwSpeed, this, &HostControls::onCwSpeed);
    CHECKED_CONNECT(bus, &quorvexCommand::sCwBreakInValue, this, &HostControls::onCwBreakInValue);
    CHECKED_CONNECT(bus, &quorvexCommand::sRxAntSwitch, this, &HostControls::onRxAntSwitch);
    CHECKED_CONNECT(bus, &quorvexCommand::sTxAntSwitch, this, &HostControls::onTxAntSwitch);
}

void HostControls::reportAll()
{
    bus->start(isRunning);
    bus->cwSpeed(wpm);
    bus->cwBreakInValue(breakIn);
}

void HostControls::setRunning(bool state)
{
    if (state != isRunning)
        applyRunning(state);
}

void HostControls::onQuorvexStart(quint32, bool state)
{
    // One transceiver's PS command starts or stops the whole host, as the hardware is shared;
    // the host confirms the state even when it does not change.
    applyRunning(state);
}

void HostControls::onCwSpeed(quint32 wordsPerMinute)
{
    wpm = std::clamp(wordsPerMinute, minWpm, maxWpm);
    bus->cwSpeed(wpm);
    done(QStringLiteral("keyer %1 WPM").arg(wpm));
}

void HostControls::onCwBreakInValue(quint32 value)
{
    breakIn = int(std::min(value, quint32(maxBreakIn)));
    bus->cwBreakInValue(breakIn);
    done(QStringLiteral("break-in delay %1").arg(breakIn));
}

void HostControls::onRxAntSwitch(quint32 index)
{
    rxAnt = index;
    done(QStringLiteral("RX antenna %1").arg(index + 1));
}

void HostControls::onTxAntSwitch(quint32 index)
{
    txAnt = index;
    done(QStringLiteral("TX antenna %1").arg(index + 1));
}

void HostControls::applyRunning(bool state)
{
    isRunning = state;
    bus->start(state);
    done(state ? QStringLiteral("host started") : QStringLiteral("host stopped"));
}

void HostControls::done(const QString& what)
{
    emit logLine(what);
    emit changed();
}
