#pragma once
// Receive filter commands: SH (high cut), SL (low cut) and FW (width). The TS-480 describes
// the filter by mode-dependent codes, the host by two edges in Hz relative to the carrier.

class Request;

namespace filter
{
void sh(Request& request);
void sl(Request& request);
void fw(Request& request);
} // namespace filter
