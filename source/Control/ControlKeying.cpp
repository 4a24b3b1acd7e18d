// Control's keying: the PTT and footswitch ports, whose CTS and DSR inputs key PTT, and the CAT
// port's own lines, which key PTT or the CW key as cbPttLine and cbKeyLine choose.
//
// The PTT and footswitch ports, their 1 ms line poll (timerEvent) and their calls to the key
// object run in the GUI thread. setCts and setDsr run in the CAT worker thread, outside the
// mutex, and read only the atomic copies of the line choices; a CAT line going active stops
// the CW keyer first. The key object is asked of the
// bus at every event, so a key object announced or withdrawn later takes effect at once.

#include "Control.h"

#include "AutoInformation.h"
#include "CwKeyControlAbstract.h"
#include "Options.h"
#include "SerialPortControl.h"
#include "SettingTables.h"
#include "quorvexCommand.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMutexLocker>
#include <QTimerEvent>

#include <utility>

namespace
{

// The keying ports only listen to their input lines, always at 9600 bit/s, 8N1, no flow
// control: these settings as rows of the setting tables.
struct FixedSettings {
    int parity, dataBits, stopBits, baudRate, flowControl;
};
constexpr int noRow = -1;
constexpr FixedSettings keyingPortSettings{
    SettingTables::rowOf(SettingTables::parityRows, PAR_NONE, noRow),
    SettingTables::rowOf(SettingTables::dataBitsRows, DATA_8, noRow),
    SettingTables::rowOf(SettingTables::stopBitsRows, STOP_1, noRow),
    SettingTables::rowOf(SettingTables::bitRates, 9600, noRow),
    SettingTables::rowOf(SettingTables::flowRows, FLOW_OFF, noRow)};
static_assert(keyingPortSettings.parity != noRow && keyingPortSettings.dataBits != noRow &&
                  keyingPortSettings.stopBits != noRow && keyingPortSettings.baudRate != noRow &&
                  keyingPortSettings.flowControl != noRow,
              "the keying ports' settings must be rows of the setting tables");

constexpr int linePollMs = 1;

// Bits of a cbPttLine / cbKeyLine row (0 "None", 1 "DTR", 2 "RTS"): which input keys.
constexpr int dsrBit = 1; // the client's DTR arrives on our DSR
constexpr int ctsBit = 2; // the client's RTS arrives on our CTS

} // namespace

void Control::openPTT(bool state)
{
    openKeyingPort(ptt, state);
}

void Control::openFootSw(bool state)
{
    openKeyingPort(footSwitch, state);
}

void Control::openKeyingPort(KeyingPort& keying, bool state)
{
    if (state == keying.open)
        return;
    if (!state) {
        keying.open = false;
        // The timer runs exactly while one of the two ports is open.
        if (!ptt.open && !footSwitch.open)
            lineTimer.stop();
        keying.port->close();
        return;
    }
    if (deferRestoredOpen())
        return;
    keying.port->setPortName(keying.nameBox->currentText());
    keying.port->setParity(keyingPortSettings.parity);
    keying.port->setDataBits(keyingPortSettings.dataBits);
    keying.port->setStopBits(keyingPortSettings.stopBits);
    keying.port->setBaudRate(keyingPortSettings.baudRate);
    keying.port->setFlowControl(keyingPortSettings.flowControl);
    if (!keying.port->open(QIODevice::ReadOnly)) {
        refuseOpen(keying.enableBox, keying.openSlot, keying.nameBox->currentText(),
                   keying.port->errorString());
        return;
    }
    keying.open = true;
    if (!lineTimer.isActive())
        lineTimer.start(linePollMs, this);
}

void Control::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == logUpdateTimer.timerId()) {
        lastLogUpdate.invalidate();
        showLogBatch();
        return;
    }
    if (event->timerId() != lineTimer.timerId()) {
        QThread::timerEvent(event);
        return;
    }
    // The boxes belong to the panel; once it is gone nothing is keyed any more.
    if (!options)
        return;
    pollKeyingPort(ptt);
    pollKeyingPort(footSwitch);
}

void Control::pollKeyingPort(KeyingPort& keying)
{
    if (!keying.open)
        return;
    // A change is always read, and so consumed, also while its box is unticked: ticking the
    // box later does not replay it.
    if (keying.port->isCtsChanged())
        keyTrxFromLine(keying.ctsBox, keying.source, keying.port->cts());
    if (keying.port->isDsrChanged())
        keyTrxFromLine(keying.dsrBox, keying.source, keying.port->dsr());
    keying.port->flush();
}

void Control::keyTrxFromLine(const QCheckBox* box, quint32 source, bool state)
{
    if (!box->isChecked())
        return;
    if (CwKeyControlAbstract* key = bus->cwKeyObject())
        key->setTrx(cache.transceiver, source, state);
}

void Control::keyFromCatLine(int lineBit, bool state)
{
    // The operator takes over: CW text being sent stops before the line keys anything.
    if (state && ((pttLineChoice | keyLineChoice) & lineBit) && keyer.stop())
        notice(tr("CW text stopped: a CAT port line went active"));
    // One input may drive both: PTT first, then the key.
    if (pttLineChoice & lineBit)
        keyTransmitterFromCat(state);
    if (keyLineChoice & lineBit)
        keyCwFromCat(state);
}

void Control::keyTransmitterFromCat(bool on)
{
    if (CwKeyControlAbstract* key = bus->cwKeyObject()) {
        key->setTrx(cache.transceiver, CwKeyControlAbstract::CatPortSource, on);
        catKeyed.trx = on;
    }
}

void Control::keyCwFromCat(bool down)
{
    if (CwKeyControlAbstract* key = bus->cwKeyObject()) {
        key->setKey(cache.transceiver, CwKeyControlAbstract::CatPortSource, down);
        catKeyed.key = down;
    }
}

void Control::releaseCatKeying(const QString& why)
{
    const CatKeying keyed = std::exchange(catKeyed, CatKeying{});
    CwKeyControlAbstract* key = bus->cwKeyObject();
    // A TCP client that keyed as well still transmits.
    if (keyed.trx && !tcpHoldsTransmitter()) {
        if (key)
            key->setTrx(cache.transceiver, CwKeyControlAbstract::CatPortSource, false);
        {
            QMutexLocker lock(&mutex);
            cache.trxMode = false;
            raiseChanged(push::IF);
        }
        notice(tr("Transmitter released: ") + why);
    }
    if (keyed.key) {
        if (key)
            key->setKey(cache.transceiver, CwKeyControlAbstract::CatPortSource, false);
        notice(tr("CW key released: ") + why);
    }
}

void Control::setCts(bool state)
{
    keyFromCatLine(ctsBit, state);
}

void Control::setDsr(bool state)
{
    keyFromCatLine(dsrBit, state);
}

void Control::setPttCts(bool state)
{
    keyTrxFromLine(ptt.ctsBox, ptt.source, state);
}

void Control::setPttDsr(bool state)
{
    keyTrxFromLine(ptt.dsrBox, ptt.source, state);
}

void Control::setFootSwCts(bool state)
{
    keyTrxFromLine(footSwitch.ctsBox, footSwitch.source, state);
}

void Control::setFootSwDsr(bool state)
{
    keyTrxFromLine(footSwitch.dsrBox, footSwitch.source, state);
}
