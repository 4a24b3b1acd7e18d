#include "Control.h"

#include "CheckedConnect.h"
#include "PortSession.h"
#include "TcpListener.h"
#include "TcpSession.h"

#include "DeviceManagerAbstract.h"
#include "Options.h"
#include "SerialPortControl.h"
#include "quorvexCommand.h"

namespace
{

struct BusLink {
    const char* signal;
    const char* slot;
};

} // namespace

Control::Control(unsigned int index, quorvexCommand* bus, QObject* parent)
    : QThread(parent), bus(bus), cache{index}, keyer(bus, index)
{
    keyer.setSpeed(cache.cwWpm);
    // The host's state reports, each to the cache setter that keeps it.
    const BusLink links[] = {
        {SIGNAL(sStart(bool)), SLOT(setStart(bool))},
        {SIGNAL(sRxVfo(quint32, quint32, double)), SLOT(setVfo(quint32, quint32, double))},
        {SIGNAL(sRxMode(quint32, quint32, quint32)), SLOT(setMode(quint32, quint32, quint32))},
        {SIGNAL(sRxAgcMode(quint32, quint32, quint32)),
         SLOT(setAgcMode(quint32, quint32, quint32))},
        {SIGNAL(sRxAgcGain(quint32, quint32, int)), SLOT(setAgcGain(quint32, quint32, int))},
        {SIGNAL(sCwSpeed(quint32)), SLOT(setCwWpm(quint32))},
        {SIGNAL(sCwBreakInValue(quint32)), SLOT(setCwBreakInDelay(quint32))},
        {SIGNAL(sTxMicGain(quint32, int)), SLOT(setMicGain(quint32, int))},
        {SIGNAL(sMox(quint32, bool)), SLOT(setTrxMode(quint32, bool))},
        {SIGNAL(sRxVolume(quint32, int, int)), SLOT(setVolume(quint32, int, int))},
        {SIGNAL(sTxMonValue(quint32, int)), SLOT(setMonitor(quint32, int))},
        {SIGNAL(sRxFilter(quint32, quint32, double, double)),
         SLOT(setFilter(quint32, quint32, double, double))},
        {SIGNAL(sRxNB1(quint32, bool)), SLOT(setNb1Enable(quint32, bool))},
        {SIGNAL(sRxNB1Level(quint32, double)), SLOT(setNb1Level(quint32, double))},
        {SIGNAL(sRxNR(quint32, bool)), SLOT(setNrEnable(quint32, bool))},
        {SIGNAL(sTxDrive(quint32, quint32)), SLOT(setDrive(quint32, quint32))},
        {SIGNAL(sTxComp(quint32, bool)), SLOT(setCompressor(quint32, bool))},
        {SIGNAL(sRxSqlLevel(quint32, quint32, int)), SLOT(setSqlLevel(quint32, quint32, int))},
        {SIGNAL(sMeterDbm(quint32, quint32, double)), SLOT(setSmeter(quint32, quint32, double))},
        {SIGNAL(sMeterPower(quint32, quint32, double)),
         SLOT(setPowerMeter(quint32, quint32, double))},
        {SIGNAL(sMeterSwr(quint32, quint32, double)), SLOT(setSwrMeter(quint32, quint32, double))},
        {SIGNAL(sRxRitEnable(quint32, quint32, bool)), SLOT(setRitEnable(quint32, quint32, bool))},
        {SIGNAL(sRxRit(quint32, quint32, int)), SLOT(setRitOffset(quint32, quint32, int))},
        {SIGNAL(sRxXitEnable(quint32, quint32, bool)), SLOT(setXitEnable(quint32, quint32, bool))},
        {SIGNAL(sCatSubRX(quint32, bool)), SLOT(setSubRX(quint32, bool))},
        {SIGNAL(sCatSplit(quint32, bool)), SLOT(setSplit(quint32, bool))},
        {SIGNAL(sCtcssEnable(quint32, bool)), SLOT(setCtcssEnable(quint32, bool))},
        {SIGNAL(sCtcssTone(quint32, int)), SLOT(setCtcssTone(quint32, int))},
        {SIGNAL(sCatAttPreAmp(quint32, bool, bool)), SLOT(setCatAttPreAmp(quint32, bool, bool))},
    };
    for (const BusLink& link : links)
        CHECKED_CONNECT(bus, link.signal, this, link.slot);

    createObjects();
}

Control::~Control()
{
    // The worker first: its turn is short and bounded, so it is waited for, never killed,
    // and the mutex is free once it has returned.
    stopWorker();
    closeTcp();
    closeCat();
    openKeyingPort(ptt, false);
    openKeyingPort(footSwitch, false);
    delete catPort;
    delete ptt.port;
    delete footSwitch.port;
    // The tab widget that shows the panel owns it; a panel nobody took is ours to delete.
    if (options && !options->parent())
        delete options;
}

QWidget* Control::optionsWidget()
{
    return options;
}

quint16 Control::commandCode(const QString& letters)
{
    if (letters.size() != 2)
        return 0;
    // A character beyond 8 bits counts as 0, which matches no command.
    const auto byte = [](QChar c) { return c.unicode() > 0xff ? 0 : c.unicode(); };
    return static_cast<quint16>(byte(letters[0]) | byte(letters[1]) << 8);
}
