#pragma once
// The scheduling a thread that keeps time to the millisecond asks for: the lowest real-time
// priority, above every ordinary thread, so that a busy machine does not hold its wake-ups
// back by a time slice. The system grants it to privileged users and to those it allows real
// time (as audio and SDR setups usually do); otherwise the thread stays as it was. The call
// sleeps nowhere and spins nowhere, so a thread at real-time priority only ever runs for the
// few microseconds between its waits. POSIX; called by the thread it concerns.

// Whether the calling thread now runs at real-time priority.
bool raiseToTimingPriority();
