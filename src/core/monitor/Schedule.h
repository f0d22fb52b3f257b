#pragma once

#include <QtGlobal>

// When the samples of a run are due: on a grid of whole intervals from the
// start, on a monotonic clock (milliseconds), so a slow read never shifts
// the later samples and the wall clock's jumps never bunch or skip them.
// A slot that passed while no sample could be taken (link lost, a stall) is
// skipped, never made up with a burst of late samples.
class SampleSchedule {
public:
    explicit SampleSchedule(qint64 intervalMs, qint64 startMs = 0);

    qint64 intervalMs() const { return interval_; }
    // The monotonic time of the next sample.
    qint64 nextDueMs() const { return next_; }
    bool due(qint64 nowMs) const { return nowMs >= next_; }
    qint64 msUntilDue(qint64 nowMs) const { return qMax<qint64>(0, next_ - nowMs); }
    // A sample was taken (or given up) for the slot due now: the next slot
    // is the first one of the grid after nowMs.
    void taken(qint64 nowMs);
    // Slots before nowMs are dropped without a sample (the link was lost).
    void skipTo(qint64 nowMs);

private:
    qint64 interval_;
    qint64 start_;
    qint64 next_;
};
