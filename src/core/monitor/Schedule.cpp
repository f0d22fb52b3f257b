#include "core/monitor/Schedule.h"

SampleSchedule::SampleSchedule(qint64 intervalMs, qint64 startMs)
    : interval_(qMax<qint64>(1, intervalMs)), start_(startMs), next_(startMs)
{
}

void SampleSchedule::taken(qint64 nowMs)
{
    const qint64 slots = nowMs < start_ ? 0 : (nowMs - start_) / interval_ + 1;
    next_ = qMax(next_ + interval_, start_ + slots * interval_);
}

void SampleSchedule::skipTo(qint64 nowMs)
{
    if (nowMs <= next_)
        return;
    // The first slot at or after nowMs.
    const qint64 slots = (nowMs - start_ + interval_ - 1) / interval_;
    next_ = start_ + slots * interval_;
}
