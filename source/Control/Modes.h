#pragma once
// The host's demodulation modes (indices 0 to 10) as the Kenwood protocol sees them: the MD
// digit each one reports, the host mode each MD digit selects, and the mode groups by which
// the filter commands choose their tables.

#include <QtGlobal>

#include <array>

namespace modes
{

enum class Group { Am, Lsb, Usb, Cw, Fm, Fsk, Other };

// Host mode index -> Kenwood MD digit (1 LSB, 2 USB, 3 CW, 4 FM, 5 AM, 6 FSK, 9 FSK reverse).
inline constexpr std::array<quint32, 11> hostModeToKenwoodTable{5, 5, 5, 1, 2, 3, 4, 4, 0, 6, 9};
// Kenwood MD digit -> host mode index; 0, 5 and 8 all select the AM family's first mode and
// CW reverse (7) selects plain CW.
inline constexpr std::array<quint32, 10> kenwoodToHostModeTable{0, 3, 4, 5, 6, 0, 9, 5, 0, 10};
inline constexpr std::array<Group, 11> groupTable{Group::Am,    Group::Am,  Group::Am, Group::Lsb,
                                                  Group::Usb,   Group::Cw,  Group::Fm, Group::Fm,
                                                  Group::Other, Group::Fsk, Group::Fsk};

inline constexpr quint32 hostModeToKenwood(quint32 hostMode)
{
    return hostMode < hostModeToKenwoodTable.size() ? hostModeToKenwoodTable[hostMode] : 0;
}

inline constexpr quint32 kenwoodToHostMode(int digit)
{
    return digit >= 0 && static_cast<size_t>(digit) < kenwoodToHostModeTable.size()
               ? kenwoodToHostModeTable[static_cast<size_t>(digit)]
               : 0;
}

inline constexpr Group groupOf(quint32 hostMode)
{
    return hostMode < groupTable.size() ? groupTable[hostMode] : Group::Other;
}

} // namespace modes
