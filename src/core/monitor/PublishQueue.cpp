#include "core/monitor/PublishQueue.h"

#include <QtGlobal>

PublishQueue::PublishQueue(int limit) : limit_(qMax(1, limit)) {}

void PublishQueue::push(Message message)
{
    while (int(entries_.size()) >= limit_ && sentCount_ < int(entries_.size())) {
        // The oldest that has not gone out yet; one the broker may already
        // hold stays until it says so.
        entries_.erase(entries_.begin() + sentCount_);
        ++droppedTotal_;
        ++dropped_;
    }
    if (int(entries_.size()) >= limit_)
        return; // the whole queue is waiting for acknowledgements (a limit below the window)
    entries_.push_back(Entry{std::move(message)});
}

const PublishQueue::Message *PublishQueue::nextToSend(int window) const
{
    if (sentCount_ >= int(entries_.size()))
        return nullptr;
    int waiting = 0;
    for (int i = 0; i < sentCount_; ++i)
        waiting += entries_[size_t(i)].acked ? 0 : 1;
    if (waiting >= window)
        return nullptr;
    return &entries_[size_t(sentCount_)].message;
}

void PublishQueue::sent(int mid)
{
    if (sentCount_ >= int(entries_.size()))
        return;
    entries_[size_t(sentCount_)].mid = mid;
    ++sentCount_;
}

void PublishQueue::acknowledged(int mid)
{
    for (int i = 0; i < sentCount_; ++i) {
        Entry &e = entries_[size_t(i)];
        if (e.mid == mid && !e.acked) {
            e.acked = true;
            break;
        }
    }
    while (!entries_.empty() && entries_.front().acked) {
        entries_.pop_front();
        --sentCount_;
    }
}

void PublishQueue::connectionLost()
{
    for (int i = 0; i < sentCount_; ++i)
        entries_[size_t(i)].mid = 0;
    // Acknowledged ones in the middle stay acknowledged: they are not sent again.
    std::deque<Entry> kept;
    for (Entry &e : entries_)
        if (!e.acked)
            kept.push_back(std::move(e));
    entries_.swap(kept);
    sentCount_ = 0;
}

std::deque<PublishQueue::Message> PublishQueue::takeUnacknowledged()
{
    std::deque<Message> out;
    for (Entry &e : entries_)
        if (!e.acked)
            out.push_back(std::move(e.message));
    entries_.clear();
    sentCount_ = 0;
    return out;
}

quint64 PublishQueue::takeDropped()
{
    const quint64 d = dropped_;
    dropped_ = 0;
    return d;
}
