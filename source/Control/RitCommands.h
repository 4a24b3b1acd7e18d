#pragma once
// Incremental tuning and tone squelch commands: RT, XT (RIT and XIT on/off), RC, RU, RD
// (RIT offset), CT (CTCSS on/off) and CN (CTCSS tone number).

class Request;

namespace rit
{
// The largest RIT/XIT offset in Hz, either way: RU and RD set no more, IF shows no more.
inline constexpr int offsetLimit = 9999;

void rt(Request& request);
void xt(Request& request);
void rc(Request& request);
void ru(Request& request);
void rd(Request& request);
void ct(Request& request);
void cn(Request& request);
} // namespace rit
