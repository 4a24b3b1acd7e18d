#pragma once
// The channel panel's transmit keying controls, by object name: the PTT and footswitch ports,
// their line boxes, the CAT port's line choices and their labels. A host without a transmitter
// (command 184 with 0) hides all of them on every channel.

inline constexpr const char* transmitControlNames[] = {
    "cbPortNamePTT",
    "chbEnablePtt",
    "chbDTR",
    "chbRTS",
    "cbPortNameFootSwitch",
    "chbEnableFootswitch",
    "chbDTR_FootSwitch",
    "chbRTS_FootSwitch",
    "cbPttLine",
    "cbKeyLine",
    "lbPortNamePtt",
    "lbDtr",
    "lbRts",
    "lbPortNamePtt_2",
    "lbDtr_2",
    "lbRts_2",
    "lbPttLine",
    "lbKeyLine",
};
