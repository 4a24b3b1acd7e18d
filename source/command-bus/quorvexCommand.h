#pragma once
// The command bus: the codec of the host command messages, kept by the host and by
// the plug-in alike. Each encoder slot packs its arguments into a message [ID, elements...] and
// emits it on sCommand(QVariant); setCommand(QVariant) unpacks a message and emits the typed
// signal of its command. The bus remembers only the key object of the last command 183.
//
// The command table (ID, encoder, typed signal, parameter types) is written once, in
// quorvexCommandTable.inc; the declarations below repeat the members for moc, and the compiler
// checks them against the table. Keep the table's spellings (sRxPream, moxChacked, ...): hosts
// connect to these members by their signature strings.
//
// Threads: an encoder emits in its caller's thread (channels call them from worker threads);
// the decoder emits in the thread that calls setCommand. cwKeyObject() and undelivered() may be
// read from any thread.
//
// A message emitted off the bus's thread waits in that thread's event queue until the host
// takes it. The bus counts those messages and posts a delivery mark behind them (one mark at a
// time, covering every message emitted before it), so undelivered() tells how far the host is
// behind: a channel stops executing its clients' commands while it is too far behind, and a
// flood of sets never queues towards the host without bound.

#include "CwKeyControlAbstract.h"

#include <QList>
#include <QObject>
#include <QVariant>

#include <atomic>

class quorvexCommand : public QObject
{
    Q_OBJECT
public:
    explicit quorvexCommand(QObject* parent = nullptr);

    // The key object carried by the last command 183 decoded; null before the first one.
    CwKeyControlAbstract* cwKeyObject() const { return m_cwKeyObject.load(); }

    // Messages emitted from other threads that the bus's thread has not taken yet.
    qint64 undelivered() const
    {
        // The taken count first: it never passes the queued count read after it.
        const quint64 delivered = m_delivered.load();
        return qint64(m_queued.load() - delivered);
    }
    // Called by the encoders after each emit: counts a message emitted off the bus's thread.
    void countQueued();

public slots:
    // Decodes one message and emits its typed signal. Dropped without a signal: a variant that
    // is not a list, an empty list, ID 53 or outside 0..186, a list shorter than its row.
    void setCommand(QVariant cmd);

    // Encoders, one per row of the table (the ID follows each).
    // clang-format off
    void open(bool state); // 0
    void open(); // 0
    void close(); // 0
    void start(bool state); // 1
    void start(); // 1
    void stop(); // 1
    void rxAntSwitch(quint32 index); // 2
    void mox(quint32 channel, bool state); // 3
    void ptt(quint32 channel, bool state); // 4
    void tone(quint32 channel, bool state); // 5
    void trxMode(quint32 tranceiver, quint32 ptt, bool state); // 6
    void tonMode(quint32 tranceiver, quint32 ptt, bool state); // 7
    void moxChacked(quint32 tranceiver, bool state); // 8
    void moxEnable(quint32 tranceiver, bool state); // 9
    void trxLock(quint32 tranceiver, bool state); // 10
    void sampleRate(double value); // 11
    void receiverEnable(quint32 id, bool state); // 12
    void receiverChannelEnable(quint32 receiver, quint32 channel, bool state); // 13
    void bandScope(bool enable, quint64 freq, quint32 decimate); // 14
    void fftSize(quint32 size); // 15
    void fftAveragingType(quint32 size); // 16
    void fftAveragingNum(quint32 size); // 17
    void fftUpdateTime(quint32 size); // 18
    void rxVfo(quint32 receiver, quint32 channel, double value); // 19
    void rxOscFreq(quint32 channel, double freq); // 20
    void rxPreamp(quint32 index); // 21
    void rxVolume(quint32 receiver, int channel, int dB); // 22
    void rxBalance(quint32 receiver, int channel, int dB); // 23
    void rxMute(quint32 receiver, int channel, bool state); // 24
    void rxAgcGain(quint32 id, quint32 channel, int dB); // 25
    void rxAgcMode(quint32 id, quint32 channel, quint32 index); // 26
    void rxDownConvert(quint32 id, quint32 channel, double freq); // 27
    void rxFilter(quint32 id, quint32 channel, double low, double high); // 28
    void rxMode(quint32 id, quint32 channel, quint32 index); // 29
    void rxBand(quint32 channel, quint32 index); // 30
    void rxBin(quint32 channel, bool state); // 31
    void rxNB1(quint32 channel, bool state); // 32
    void rxNB1Level(quint32 channel, int dB); // 33
    void rxNB2(quint32 channel, bool state); // 34
    void rxNB2Level(quint32 channel, int dB); // 35
    void rxNR(quint32 channel, bool state); // 36
    void rxNRTaps(quint32 channel, quint32 value); // 37
    void rxNRDelay(quint32 channel, quint32 value); // 38
    void rxNRGain(quint32 channel, int dB); // 39
    void rxNRLeak(quint32 channel, int dB); // 40
    void rxANF(quint32 channel, bool state); // 41
    void rxANFTaps(quint32 channel, quint32 value); // 42
    void rxANFDelay(quint32 channel, quint32 value); // 43
    void rxANFGain(quint32 channel, int dB); // 44
    void rxANFLeak(quint32 channel, int dB); // 45
    void rxNF(quint32 channel, quint32 index, bool state); // 46
    void rxNF(quint32 channel, quint32 index, double freq, double band); // 47
    void rxEqualizer(quint32 channel, bool state); // 48
    void rxEqualizer(quint32 channel, QList<int> values); // 49
    void rxSql(quint32 receiver, quint32 channel, bool state); // 50
    void rxSqlValue(quint32 receiver, quint32 channel, int dB); // 51
    void rxSplit(quint32 tranceiver, bool state); // 52
    void rxRit(quint32 receiver, quint32 channel, int value); // 54
    void rxRitReset(quint32 receiver, quint32 channel); // 55
    void rxRitEnable(quint32 receiver, quint32 channel, bool state); // 56
    void rxXit(quint32 receiver, quint32 channel, int value); // 57
    void rxXitReset(quint32 receiver, quint32 channel); // 58
    void rxXitEnable(quint32 receiver, quint32 channel, bool state); // 59
    void rxDigOffset(int digl, int digu); // 60
    void txEnable(quint32 transmitter, bool state); // 61
    void txOscFreq(quint32 channel, double freq); // 62
    void txAntSwitch(quint32 index); // 63
    void txMic(quint32 transmitter, quint32 index); // 64
    void txMicValue(quint32 transmitter, int dB); // 65
    void txMicAgcEnable(quint32 transmitter, bool state); // 66
    void txMode(quint32 channel, quint32 index); // 67
    void txMon(quint32 channel, bool state); // 68
    void txMon(quint32 channel, int dB); // 69
    void txDrive(quint32 transmitter, quint32 value); // 70
    void txToneDrive(quint32 transmitter, quint32 value); // 71
    void txExtCtrl(quint32 value); // 72
    void txComp(quint32 channel, bool state); // 73
    void txCompVal(quint32 channel, int dB); // 74
    void txCompThr(quint32 channel, int dB); // 75
    void txCompClip(quint32 channel, int dB); // 76
    void txEqualizer(quint32 channel, bool state); // 77
    void txEqualizer(quint32 channel, QList<int> values); // 78
    void txPA(quint32 transmitter, bool state); // 79
    void txVox(quint32 transmitter, bool state); // 80
    void txBandFilter(quint32 tranceiver, int low, int high); // 81
    void cwSpeed(quint32 wpm); // 82
    void cwBreakIn(bool state); // 83
    void cwBreakInValue(int value); // 84
    void cwPitch(int value); // 85
    void cwWidth(int value); // 86
    void cwRamp(int value); // 87
    void cwParam(quint32 tranceiver, bool enable, bool iambic, bool revPaddle, bool breakIn, quint32 breakInterval, quint32 wpm, double freq, quint32 tau, quint32 dotw); // 88
    void cwKey(quint32 transmitter, quint32 src, bool state); // 89
    void cwPtt(quint32 transmitter, bool state); // 90
    void cwKeyProg(quint32 transmitter, bool keyer); // 91
    void cwKeyProgDashDot(quint32 transmitter, bool dash, bool dot); // 92
    void txDash(quint32 channel, bool state); // 93
    void txDot(quint32 channel, bool state); // 94
    void txKeyer(quint32 transmitter, quint32 src, bool dash, bool dot); // 95
    void scEnable(bool state); // 96
    void scSampleRate(double value); // 97
    void scRingBuffer(void* pRingBuffer); // 98
    void vacEnable(quint32 tranceiver, bool state); // 99
    void meterDbm(quint32 receiver, quint32 channel, double value); // 100
    void meterAdc(quint32 receiver, quint32 channel, double i, double q); // 101
    void meterPower(quint32 transmitter, quint32 channel, double value); // 102
    void meterSwr(quint32 transmitter, quint32 channel, double value); // 103
    void meterMic(quint32 transmitter, quint32 channel, double value); // 104
    void sensorTemperature(double value); // 105
    void sensorUpit(double value); // 106
    void setSensorFan(bool state); // 107
    void deviceAdd(); // 108
    void deviceRemove(); // 109
    void deviceChanged(); // 110
    void panelBandUp(quint32 receiver); // 111
    void panelBandDown(quint32 receiver); // 112
    void panelModeUp(quint32 receiver); // 113
    void panelModeDown(quint32 receiver); // 114
    void panelFilterUp(quint32 receiver); // 115
    void panelFilterDown(quint32 receiver); // 116
    void panelAgcUp(quint32 receiver); // 117
    void panelAgcDown(quint32 receiver); // 118
    void panelPreampUp(); // 119
    void panelPreampDown(); // 120
    void panelStepUp(quint32 receiver); // 121
    void panelStepDown(quint32 receiver); // 122
    void panelZoomUp(quint32 receiver); // 123
    void panelZoomDown(quint32 receiver); // 124
    void panelPowerChange(); // 125
    void panelVolume(quint32 receiver, int step); // 126
    void panelRF(quint32 receiver, int step); // 127
    void panelMicGain(quint32 receiver, int step); // 128
    void panelSqlChange(quint32 receiver); // 129
    void panelSql(quint32 receiver, int step); // 130
    void panelFilterLow(quint32 receiver, int step); // 131
    void panelFilterHigh(quint32 receiver, int step); // 132
    void panelFilterWidth(quint32 receiver, int step); // 133
    void panelFilterShift(quint32 receiver, int step); // 134
    void panelDrive(quint32 receiver, int step); // 135
    void panelIF(quint32 receiver, int step); // 136
    void panelMuteChange(quint32 receiver); // 137
    void panelPaChange(quint32 receiver); // 138
    void panelBinChange(quint32 receiver); // 139
    void panelNrChange(quint32 receiver); // 140
    void panelAnfChange(quint32 receiver); // 141
    void panelNb1Change(quint32 receiver); // 142
    void panelNb2Change(quint32 receiver); // 143
    void panelVFO(quint32 receiver, quint32 channel, int step); // 144
    void panelCwSpeed(quint32 receiver, int step); // 145
    void panelEnableVFOB(quint32 receiver, bool state); // 146
    void panelMox(quint32 receiver, bool state); // 147
    void panelTone(quint32 receiver, bool state); // 148
    void panelWideFilter(); // 149
    void panelRitEnable(quint32 receiver, quint32 channel); // 150
    void panelRitValue(quint32 receiver, quint32 channel, int step); // 151
    void panelRitFromIfValue(quint32 receiver, quint32 channel, int step); // 152
    void panelRitReset(quint32 receiver, quint32 channel); // 153
    void panelXitEnable(quint32 receiver, quint32 channel); // 154
    void panelXitValue(quint32 receiver, quint32 channel, int step); // 155
    void panelXitReset(quint32 receiver, quint32 channel); // 156
    void panelSplitSw(quint32 receiver); // 157
    void panelMoxVoicePlay(quint32 tranceiver); // 158
    void panelVoiceRec(quint32 tranceiver); // 159
    void catSubRX(quint32 receiver, bool enable); // 160
    void catSplit(quint32 receiver, bool enable); // 161
    void setIqWriter(bool state, int channel); // 162
    void setIqFixedFreq(bool state, double freq); // 163
    void voiceRec(quint32 receiver, bool state); // 164
    void voicePlay(quint32 receiver, bool state); // 165
    void quorvexStart(quint32 receiver, bool state); // 166
    void updatePreampMode(); // 167
    void appRetranslate(); // 168
    void ctcssEnable(quint32 receiver, bool state); // 169
    void ctcssTone(quint32 receiver, int index); // 170
    void ctcssTxEnable(quint32 receiver, bool state); // 171
    void ctcssTxTone(quint32 receiver, int index); // 172
    void genTX(bool state); // 173
    void burstToneEnable(quint32 tranceiver, bool state); // 174
    void burstToneParam(quint32 tranceiver, double freq, double deviation); // 175
    void lineOutBuffers(QList<void*> list); // 176
    void lineOutEnable(quint32 tranceiver, bool state); // 177
    void lineOutSampleRate(quint32 tranceiver, double value); // 178
    void monEnableInSsbForVac(bool state); // 179
    void monEnableInSsbForVoiceRecorder(bool state); // 180
    void setCatAttPreAmp(quint32 tranceiver, bool att, bool amp); // 181
    void setTarnFunction(quint32 id, bool state); // 182
    void setCWKeyObject(CwKeyControlAbstract* p); // 183
    void setTxChannels(quint32 count); // 184
    void setSkimmerTune(quint32 receiver, double freq); // 185
    void sensorIpit(double value); // 186
    // clang-format on

signals:
    // Every message that an encoder builds.
    void sCommand(QVariant cmd);

    // Typed signals, one per row of the table (the ID follows each).
    // clang-format off
    void sOpen(bool state); // 0
    void sOpen(); // 0
    void sClose(); // 0
    void sStart(bool state); // 1
    void sStart(); // 1
    void sStop(); // 1
    void sRxAntSwitch(quint32 index); // 2
    void sMox(quint32 channel, bool state); // 3
    void sPtt(quint32 channel, bool state); // 4
    void sTone(quint32 channel, bool state); // 5
    void sTrxMode(quint32 tranceiver, quint32 ptt, bool state); // 6
    void sTonMode(quint32 tranceiver, quint32 ptt, bool state); // 7
    void sMoxChacked(quint32 tranceiver, bool state); // 8
    void sMoxEnable(quint32 tranceiver, bool state); // 9
    void sTrxLock(quint32 tranceiver, bool state); // 10
    void sSampleRate(double value); // 11
    void sReceiverEnable(quint32 id, bool state); // 12
    void sReceiverChannelEnable(quint32 receiver, quint32 channel, bool state); // 13
    void sBandScope(bool enable, quint64 freq, quint32 decimate); // 14
    void sFftSize(quint32 size); // 15
    void sFftAveragingType(quint32 size); // 16
    void sFftAveragingNum(quint32 size); // 17
    void sFftUpdateTime(quint32 size); // 18
    void sRxVfo(quint32 receiver, quint32 channel, double value); // 19
    void sRxOscFreq(quint32 channel, double freq); // 20
    void sRxPream(quint32 index); // 21
    void sRxVolume(quint32 receiver, int channel, int dB); // 22
    void sRxBalance(quint32 receiver, int channel, int dB); // 23
    void sRxMute(quint32 receiver, int channel, bool state); // 24
    void sRxAgcGain(quint32 id, quint32 channel, int dB); // 25
    void sRxAgcMode(quint32 id, quint32 channel, quint32 index); // 26
    void sRxDownConvert(quint32 id, quint32 channel, double freq); // 27
    void sRxFilter(quint32 id, quint32 channel, double low, double high); // 28
    void sRxMode(quint32 id, quint32 channel, quint32 index); // 29
    void sRxBand(quint32 channel, quint32 index); // 30
    void sRxBin(quint32 channel, bool state); // 31
    void sRxNB1(quint32 channel, bool state); // 32
    void sRxNB1Level(quint32 channel, double value); // 33
    void sRxNB2(quint32 channel, bool state); // 34
    void sRxNB2Level(quint32 channel, int dB); // 35
    void sRxNR(quint32 channel, bool state); // 36
    void sRxNRTaps(quint32 channel, quint32 value); // 37
    void sRxNRDelay(quint32 channel, quint32 value); // 38
    void sRxNRGain(quint32 channel, int dB); // 39
    void sRxNRLeak(quint32 channel, int dB); // 40
    void sRxANF(quint32 channel, bool state); // 41
    void sRxANFTaps(quint32 channel, quint32 value); // 42
    void sRxANFDelay(quint32 channel, quint32 value); // 43
    void sRxANFGain(quint32 channel, int dB); // 44
    void sRxANFLeak(quint32 channel, int dB); // 45
    void sRxNF(quint32 channel, quint32 index, bool state); // 46
    void sRxNF(quint32 channel, quint32 index, double freq, double band); // 47
    void sRxEqualizer(quint32 channel, bool state); // 48
    void sRxEqualizer(quint32 channel, QList<int> values); // 49
    void sRxSql(quint32 receiver, quint32 channel, bool state); // 50
    void sRxSqlLevel(quint32 receiver, quint32 channel, int dB); // 51
    void sRxSplit(quint32 tranceiver, bool state); // 52
    void sRxRit(quint32 receiver, quint32 channel, int value); // 54
    void sRxRitReset(quint32 receiver, quint32 channel); // 55
    void sRxRitEnable(quint32 receiver, quint32 channel, bool state); // 56
    void sRxXit(quint32 receiver, quint32 channel, int value); // 57
    void sRxXitReset(quint32 receiver, quint32 channel); // 58
    void sRxXitEnable(quint32 receiver, quint32 channel, bool state); // 59
    void sRxDigOffset(int digl, int digu); // 60
    void sTxEnable(quint32 transmitter, bool state); // 61
    void sTxOscFreq(quint32 channel, double freq); // 62
    void sTxAntSwitch(quint32 index); // 63
    void sTxMic(quint32 transmitter, quint32 index); // 64
    void sTxMicGain(quint32 transmitter, int dB); // 65
    void sTxMicAgcEnable(quint32 transmitter, bool state); // 66
    void sTxMode(quint32 channel, quint32 index); // 67
    void sTxMon(quint32 channel, bool state); // 68
    void sTxMonValue(quint32 channel, int dB); // 69
    void sTxDrive(quint32 transmitter, quint32 value); // 70
    void sTxToneDrive(quint32 transmitter, quint32 value); // 71
    void sTxExtCtrl(quint32 value); // 72
    void sTxComp(quint32 channel, bool state); // 73
    void sTxCompValue(quint32 channel, int val); // 74
    void sTxCompThr(quint32 channel, int val); // 75
    void sTxCompClip(quint32 channel, int dB); // 76
    void sTxEqualizer(quint32 channel, bool state); // 77
    void sTxEqualizer(quint32 channel, QList<int> values); // 78
    void sTxPA(quint32 transmitter, bool state); // 79
    void sTxVox(quint32 transmitter, bool state); // 80
    void sTxBandFilter(quint32 tranceiver, int low, int high); // 81
    void sCwSpeed(quint32 wpm); // 82
    void sCwBreakIn(bool state); // 83
    void sCwBreakInValue(quint32 value); // 84
    void sCwPitch(quint32 value); // 85
    void sCwWidth(quint32 value); // 86
    void sCwRamp(quint32 value); // 87
    void sCwParam(quint32 tranceiver, bool enable, bool iambic, bool revPaddle, bool breakIn, quint32 breakInterval, quint32 wpm, double freq, quint32 tau, quint32 dotw); // 88
    void sCwKey(quint32 transmitter, quint32 src, bool state); // 89
    void sCwPtt(quint32 transmitter, bool state); // 90
    void sCwKeyProg(quint32 transmitter, bool keyer); // 91
    void sCwKeyProgDashDot(quint32 transmitter, bool dash, bool dot); // 92
    void sTxDash(quint32 channel, bool state); // 93
    void sTxDot(quint32 channel, bool state); // 94
    void sTxKeyer(quint32 transmitter, quint32 src, bool dash, bool dot); // 95
    void sScEnable(bool state); // 96
    void sScSampleRate(double value); // 97
    void sScRingBuffer(void* pRingBuffer); // 98
    void sVacEnable(quint32 tranceiver, bool state); // 99
    void sMeterDbm(quint32 receiver, quint32 channel, double value); // 100
    void sMeterAdc(quint32 receiver, quint32 channel, double i, double q); // 101
    void sMeterPower(quint32 transmitter, quint32 channel, double value); // 102
    void sMeterSwr(quint32 transmitter, quint32 channel, double value); // 103
    void sMeterMic(quint32 transmitter, quint32 channel, double value); // 104
    void sSensorTemperature(double value); // 105
    void sSensorUpit(double value); // 106
    void sSensorFan(bool state); // 107
    void sDeviceAdd(); // 108
    void sDeviceRemove(); // 109
    void sDeviceChanged(); // 110
    void sPanelBandUp(quint32 receiver); // 111
    void sPanelBandDown(quint32 receiver); // 112
    void sPanelModeUp(quint32 receiver); // 113
    void sPanelModeDown(quint32 receiver); // 114
    void sPanelFilterUp(quint32 receiver); // 115
    void sPanelFilterDown(quint32 receiver); // 116
    void sPanelAgcUp(quint32 receiver); // 117
    void sPanelAgcDown(quint32 receiver); // 118
    void sPanelPreampUp(); // 119
    void sPanelPreampDown(); // 120
    void sPanelStepUp(quint32 receiver); // 121
    void sPanelStepDown(quint32 receiver); // 122
    void sPanelZoomUp(quint32 receiver); // 123
    void sPanelZoomDown(quint32 receiver); // 124
    void sPanelPowerChange(); // 125
    void sPanelVolume(quint32 receiver, int step); // 126
    void sPanelRF(quint32 receiver, int step); // 127
    void sPanelMicGain(quint32 receiver, int step); // 128
    void sPanelSqlChange(quint32 receiver); // 129
    void sPanelSql(quint32 receiver, int step); // 130
    void sPanelFilterLow(quint32 receiver, int step); // 131
    void sPanelFilterHigh(quint32 receiver, int step); // 132
    void sPanelFilterWidth(quint32 receiver, int step); // 133
    void sPanelFilterShift(quint32 receiver, int step); // 134
    void sPanelDrive(quint32 receiver, int step); // 135
    void sPanelIF(quint32 receiver, int step); // 136
    void sPanelMuteChange(quint32 receiver); // 137
    void sPanelPaChange(quint32 receiver); // 138
    void sPanelBinChange(quint32 receiver); // 139
    void sPanelNrChange(quint32 receiver); // 140
    void sPanelAnfChange(quint32 receiver); // 141
    void sPanelNb1Change(quint32 receiver); // 142
    void sPanelNb2Change(quint32 receiver); // 143
    void sPanelVFO(quint32 receiver, quint32 channel, int step); // 144
    void sPanelCwSpeed(quint32 receiver, int step); // 145
    void sPanelEnableVFOB(quint32 receiver, bool state); // 146
    void sPanelMox(quint32 receiver, bool state); // 147
    void sPanelTone(quint32 receiver, bool state); // 148
    void sPanelWideFilter(); // 149
    void sPanelRitEnable(quint32 receiver, quint32 channel); // 150
    void sPanelRitValue(quint32 receiver, quint32 channel, int step); // 151
    void sPanelRitFromIfValue(quint32 receiver, quint32 channel, int step); // 152
    void sPanelRitReset(quint32 receiver, quint32 channel); // 153
    void sPanelXitEnable(quint32 receiver, quint32 channel); // 154
    void sPanelXitValue(quint32 receiver, quint32 channel, int step); // 155
    void sPanelXitReset(quint32 receiver, quint32 channel); // 156
    void sPanelSplitSw(quint32 receiver); // 157
    void sPanelMoxVoicePlay(quint32 tranceiver); // 158
    void sPanelVoiceRec(quint32 tranceiver); // 159
    void sCatSubRX(quint32 receiver, bool enable); // 160
    void sCatSplit(quint32 receiver, bool enable); // 161
    void sIqWriter(bool state, int channel); // 162
    void sIqFixedFreq(bool state, double freq); // 163
    void sVoiceRec(quint32 receiver, bool state); // 164
    void sVoicePlay(quint32 receiver, bool state); // 165
    void sQuorvexStart(quint32 receiver, bool state); // 166
    void sUpdatePreampMode(); // 167
    void sAppRetranslate(); // 168
    void sCtcssEnable(quint32 receiver, bool state); // 169
    void sCtcssTone(quint32 receiver, int index); // 170
    void sCtcssTxEnable(quint32 receiver, bool state); // 171
    void sCtcssTxTone(quint32 receiver, int index); // 172
    void sGenTX(bool state); // 173
    void sBurstToneEnable(quint32 tranceiver, bool state); // 174
    void sBurstToneParam(quint32 tranceiver, double freq, double deviation); // 175
    void sLineOutBuffers(QList<void*> list); // 176
    void sLineOutEnable(quint32 tranceiver, bool state); // 177
    void sLineOutSampleRate(quint32 tranceiver, double value); // 178
    void sMonEnableInSsbForVac(bool state); // 179
    void sMonEnableInSsbForVoiceRecorder(bool state); // 180
    void sCatAttPreAmp(quint32 tranceiver, bool att, bool amp); // 181
    void sTarnFunction(quint32 id, bool state); // 182
    void sCWKeyObject(CwKeyControlAbstract* p); // 183
    void sTxChannels(quint32 count); // 184
    void sSkimmerTune(quint32 receiver, double freq); // 185
    void sSensorIpit(double value); // 186
    // clang-format on

private:
    // Posts a delivery mark covering every message counted so far.
    void postDeliveryMark();
    // The bus's thread: the mark covering `queued` messages is taken, so they are too.
    void markDelivered(quint64 queued);

    // Written by the decoder (the thread that calls setCommand), read by channel workers.
    std::atomic<CwKeyControlAbstract*> m_cwKeyObject{nullptr};
    // Messages emitted off the bus's thread, and how many of them its thread has taken; whether
    // a delivery mark waits in its queue.
    std::atomic<quint64> m_queued{0};
    std::atomic<quint64> m_delivered{0};
    std::atomic<bool> m_markPending{false};
};
