#pragma once
// Turns PortSettings into a raw-mode termios: bit rate, character size, parity (mark and
// space through CMSPAR), stop bits and flow control. Kept apart from the device so the mapping
// can be checked whole: a pseudo-terminal forces 8 data bits and no parity on whatever it is given.

#include "SerialTypes.h"

#include <termios.h>

void applyPortSettings(const PortSettings& settings, termios& tio);
