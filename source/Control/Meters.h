#pragma once
// The TS-480's meter bars, 0 to 20, as its display marks them: the S-meter from the host's
// level in dBm, and while transmitting the forward power in watts and the SWR as a ratio. The
// cache converts each host report once, when it arrives; the interpreter only reads bars.

namespace meters
{

// The highest bar of every meter.
inline constexpr int fullScale = 20;

// dBm -> S-meter step: -130 dBm and below 0, -73 dBm (S9) 11, -23 dBm and above 20, linear in
// between, truncated toward zero. A level that is not a number shows as no signal.
int sMeterStep(double dbm);
// Watts -> power bar, through the marked points 0 W, 5, 10, 25, 50, 100 and 200 W.
int powerBar(double watts);
// Ratio -> SWR bar, through the marked points 1.0, 1.5, 2.0, 3.0 and 10.0.
int swrBar(double ratio);

} // namespace meters
