#pragma once
// Level and switch commands: AG, RG, MG, SQ, ML, NL, PC, KS, SD (levels, each scaled between
// the Kenwood range and the host's unit), GT (AGC), NB, NR, PR, RA, PA (switches), AN
// (antenna), SM (S-meter, the power bar while transmitting) and RM (transmit meters).

class Request;

namespace levels
{
void ag(Request& request);
void rg(Request& request);
void mg(Request& request);
void sq(Request& request);
void ml(Request& request);
void nl(Request& request);
void pc(Request& request);
void ks(Request& request);
void sd(Request& request);
void gt(Request& request);
void nb(Request& request);
void nr(Request& request);
void pr(Request& request);
void ra(Request& request);
void pa(Request& request);
void an(Request& request);
void sm(Request& request);
void rm(Request& request);
} // namespace levels
