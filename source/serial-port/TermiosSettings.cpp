#include "TermiosSettings.h"

#include <array>
#include <utility>

namespace
{

struct Flags {
    tcflag_t cflag;
    tcflag_t iflag;
};

constexpr std::array<std::pair<BaudRateType, speed_t>, 8> speeds{{
    {BAUD1200, B1200},
    {BAUD2400, B2400},
    {BAUD4800, B4800},
    {BAUD9600, B9600},
    {BAUD19200, B19200},
    {BAUD38400, B38400},
    {BAUD57600, B57600},
    {BAUD115200, B115200},
}};

constexpr std::array<std::pair<DataBitsType, tcflag_t>, 4> sizes{{
    {DATA_5, CS5},
    {DATA_6, CS6},
    {DATA_7, CS7},
    {DATA_8, CS8},
}};

// Mark and space are "sticky" parity: CMSPAR with PARODD sends a constant 1, without it a 0.
constexpr std::array<std::pair<ParityType, tcflag_t>, 5> parities{{
    {PAR_NONE, 0},
    {PAR_ODD, PARENB | PARODD},
    {PAR_EVEN, PARENB},
    {PAR_MARK, PARENB | CMSPAR | PARODD},
    {PAR_SPACE, PARENB | CMSPAR},
}};

constexpr std::array<std::pair<StopBitsType, tcflag_t>, 3> stops{{
    {STOP_1, 0},
    {STOP_1_5, CSTOPB},
    {STOP_2, CSTOPB},
}};

constexpr std::array<std::pair<FlowType, Flags>, 3> flows{{
    {FLOW_OFF, {0, 0}},
    {FLOW_HARDWARE, {CRTSCTS, 0}},
    {FLOW_XONXOFF, {0, IXON | IXOFF}},
}};

template <typename Key, typename Value, std::size_t N>
Value lookup(const std::array<std::pair<Key, Value>, N>& table, Key key, Value fallback)
{
    for (const auto& [k, v] : table) {
        if (k == key)
            return v;
    }
    return fallback;
}

} // namespace

void applyPortSettings(const PortSettings& settings, termios& tio)
{
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag |= lookup(sizes, settings.dataBits, tcflag_t(CS8));
    tio.c_cflag |= lookup(parities, settings.parity, tcflag_t(0));
    tio.c_cflag |= lookup(stops, settings.stopBits, tcflag_t(0));
    const Flags flow = lookup(flows, settings.flowControl, Flags{0, 0});
    tio.c_cflag |= flow.cflag;
    tio.c_iflag |= flow.iflag;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    // Reads never wait in the kernel: the descriptor is non-blocking and MIN/TIME are zero.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = lookup(speeds, settings.baudRate, speed_t(B9600));
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
}
