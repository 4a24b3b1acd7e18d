#pragma once
// Frequency, mode, status and transmit commands: FA, FB, FR, FT, MD, IF, PS, RX, TX.

class Request;

namespace frequency
{
void fa(Request& request);
void fb(Request& request);
void fr(Request& request);
void ft(Request& request);
void md(Request& request);
void ifStatus(Request& request);
void ps(Request& request);
void rx(Request& request);
void tx(Request& request);
} // namespace frequency
