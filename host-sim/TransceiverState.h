#pragma once
// What one simulated transceiver is doing: the values the host reports to the plug-in and
// shows in its window. Plain data; SimulatedRadio changes it and tells whom it concerns.
// Units are the host's: Hz, dB, host mode indices (0-2 AM family, 3 LSB, 4 USB, 5 CW,
// 6-7 FM, 8 other, 9 FSK, 10 FSK reverse), percent for the drive.

#include <QString>
#include <QtGlobal>

#include <array>

// Transmit and key requests are kept per source code of the key object (2 CAT port or RX/TX
// command, 3 PTT port, 4 footswitch port); lower codes are unused.
constexpr quint32 keySourceCount = 5;

struct TransceiverState {
    double vfoA = 14074000.0;
    double vfoB = 14200000.0;
    quint32 mode = 4;
    double filterLow = 100.0;
    double filterHigh = 2800.0;
    int volume = -20;
    int agcGain = 80;
    quint32 agcMode = 1;
    int sqlLevel = -140;
    int micGain = 35;
    int monitor = 50;
    quint32 drive = 50;
    bool nb1 = false;
    int nb1Level = 2;
    bool nr = false;
    bool compressor = false;
    bool ritEnable = false;
    int ritOffset = 0;
    bool xitEnable = false;
    bool split = false;
    bool subRx = false;
    bool ctcssEnable = false;
    int ctcssTone = 0;
    bool attenuator = false;
    bool preamp = false;
    bool transmitting = false;
    std::array<bool, keySourceCount> trxBySource{};
    std::array<bool, keySourceCount> keyBySource{};
    QString cwText; // the CW message being received, or the last one
    double smeterDbm = -100.0;
    double swr = 1.2; // the antenna's match while transmitting (1.0 perfect)
};

// What the transmit meters read: forward power in watts (the drive's share of a 100 W
// transmitter) and SWR while transmitting; 0 W and a perfect 1.0 otherwise.
struct TransmitMeters {
    double watts;
    double swr;
};
TransmitMeters transmitMeters(const TransceiverState& state);

// The host's name of a mode index ("USB" for 4), "?" outside 0..10.
QString modeName(quint32 mode);

// The filter the host selects when a mode is chosen: edges in Hz around the carrier.
struct FilterEdges {
    double low;
    double high;
};
FilterEdges defaultFilter(quint32 mode);

// "S9+20" style reading of a level in dBm (S9 = -73 dBm, 6 dB per S unit).
QString sUnits(double dbm);
