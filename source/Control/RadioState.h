#pragma once
// The radio-state cache of one channel: the values that the Kenwood read commands report,
// kept current by the host through the command bus and changed by set commands.
// Every field is guarded by the owning Control's mutex.

#include <QtGlobal>

struct RadioState {
    quint32 transceiver;         // the host transceiver this channel serves
    bool started = false;        // host running (PS)
    double vfoA = 1900000.0;     // Hz
    double vfoB = 1900000.0;     // Hz
    quint32 mode = 5;            // host mode index 0 to 10
    quint32 agcMode = 1;         // host AGC mode index
    int agcGain = 100;           // dB
    quint32 cwWpm = 40;          // words per minute
    quint32 cwBreakInDelay = 10; // host's unit
    int micGain = 0;             // dB
    bool trxMode = false;        // transmitting
    int volume = 0;              // dB
    int monitor = 100;           // host's value
    bool nb1Enable = false;
    double nb1Level = 1.65;
    bool nb2Enable = false;
    double nb2Level = 2.48;
    bool nrEnable = false;
    bool anfEnable = false;
    quint32 drive = 0; // percent
    bool compressor = false;
    int sqlLevel = -100;      // dB
    double filterLow = -50.0; // Hz relative to the carrier, negative below it
    double filterHigh = 50.0; // Hz relative to the carrier
    int smeter = 0;           // S-meter step 0 to 20
    int powerMeter = 0;       // forward power on the power bar, 0 to 20 (while transmitting)
    int swrMeter = 0;         // SWR bar 0 to 20 (while transmitting)
    bool antSwEnable = false; // panel option: AN may switch antennas
    int antenna = 1;          // 1 or 2
    bool ritEnable = false;
    int ritOffset = 0; // Hz
    bool xitEnable = false;
    int subRx = 0; // as last set; FR may store any digit
    int split = 0; // as last set; FT may store any digit
    bool ctcssEnable = false;
    int ctcssTone = 0; // tone number
    bool attenuator = false;
    bool preamp = false;
    bool enableFr = false; // panel option: FR may switch the sub receiver
};
