#pragma once
// One modem input line as a backend's poll sees it: the last level and a sticky flag that
// records a change until the line is read. The owning backend holds its lock around every call,
// so a read and the clearing of its flag are one step and no transition slips between them.

struct ModemLine {
    bool level;
    bool changed = false;

    void observe(bool asserted)
    {
        if (asserted != level) {
            level = asserted;
            changed = true;
        }
    }

    // Takes the level as it is now, without reporting a change.
    void settle(bool asserted)
    {
        level = asserted;
        changed = false;
    }

    bool take()
    {
        changed = false;
        return level;
    }
};
