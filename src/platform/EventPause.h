#pragma once

#include "core/link/Pause.h"

// `Wait` as a local event loop that quits on a timer or on arriving bytes:
// events run, no CPU is burnt, and time is measured on a monotonic clock.
class EventPause : public Pause {
public:
    void Wait(double seconds) override;
    void processEvents() override;
    bool waitForBytes(SerialLink &link, int count, double seconds) override;
    bool aborted() const override { return aborted_; }
    void abort() { aborted_ = true; }

private:
    bool aborted_ = false;
};
