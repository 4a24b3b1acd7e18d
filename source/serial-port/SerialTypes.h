#pragma once
// The settings vocabulary of PosixSerialPort, with QextSerialPort's names and values, so the
// Ext backend's tables read as they would against that library.

#include <QtGlobal>

enum BaudRateType {
    BAUD1200 = 1200,
    BAUD2400 = 2400,
    BAUD4800 = 4800,
    BAUD9600 = 9600,
    BAUD19200 = 19200,
    BAUD38400 = 38400,
    BAUD57600 = 57600,
    BAUD115200 = 115200
};

enum DataBitsType { DATA_5 = 5, DATA_6 = 6, DATA_7 = 7, DATA_8 = 8 };

enum ParityType { PAR_NONE = 0, PAR_ODD = 1, PAR_EVEN = 2, PAR_MARK = 3, PAR_SPACE = 4 };

// POSIX has no one-and-a-half stop bits: STOP_1_5 is sent as two stop bits.
enum StopBitsType { STOP_1 = 0, STOP_1_5 = 1, STOP_2 = 2 };

enum FlowType { FLOW_OFF = 0, FLOW_HARDWARE = 1, FLOW_XONXOFF = 2 };

// Modem input lines as reported by lineStatus().
enum LineStatusBit : ulong { LS_CTS = 0x01, LS_DSR = 0x02, LS_DCD = 0x04, LS_RI = 0x08 };

struct PortSettings {
    BaudRateType baudRate = BAUD9600;
    DataBitsType dataBits = DATA_8;
    ParityType parity = PAR_NONE;
    StopBitsType stopBits = STOP_1;
    FlowType flowControl = FLOW_OFF;
};
