#pragma once
// The CW text command KY: loggers and contest programs hand the radio's keyer the text of their
// CW messages, which the channel's keyer (CwKeyer) sends at the KS speed.

class Request;

namespace keyer
{
void ky(Request& request);
} // namespace keyer
