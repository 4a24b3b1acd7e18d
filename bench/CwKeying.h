#pragma once
// CW text sent with KY and timed where the host sees it. host-sim prints every setKey edge with
// the time of the call ("key setKey 0 2 <0|1> <thread> at <us>"); the text, "PARIS " a number
// of times, has an ideal schedule in PARIS dots, and every edge is compared with it, the
// schedule placed at the edges' median offset from it. Meanwhile the same client polls the
// channel at 20 commands a second, or floods it with reads (traffic::keyingCycle). Main thread
// only; the flood writes from a thread of its own (Traffic.h).

#include "ClientPort.h"
#include "Results.h"

#include <string>

// Sets CW at `wpm`, sends about `seconds` of text and measures it under `load` (one of
// keyingLoads). A build that does not take KY text keys nothing: the row has no edges.
KeyingRow measureKeying(ClientPort& port, const std::string& hostOutput, int wpm,
                        const std::string& load, int seconds);
