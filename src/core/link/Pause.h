#pragma once

class SerialLink;

// The pause that lets other events (timers, clicks) run while a command
// sequence waits. Time is monotonic: nothing misbehaves at midnight.
class Pause {
public:
    virtual ~Pause() = default;

    // `Wait`: returns after `seconds`, running events meanwhile.
    virtual void Wait(double seconds) = 0;
    // Runs pending events once ("let the user interface run").
    virtual void processEvents() = 0;
    // Runs events until link.PendingCount() >= count or `seconds` pass.
    // Returns true when the count was reached.
    virtual bool waitForBytes(SerialLink &link, int count, double seconds) = 0;
    // Set when the program is closing: long sequences give up at once.
    virtual bool aborted() const { return false; }
};
