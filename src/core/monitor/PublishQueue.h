#pragma once

#include <QByteArray>
#include <QString>

#include <deque>

// The messages a publisher owes the broker, oldest first, kept until the
// broker acknowledges them. While the broker is away they wait here (up to
// `limit`; beyond it the oldest not yet sent is dropped and counted), and on
// its return they go out again in their order with the very same bytes, so a
// message the broker got just before a loss comes twice, never changed.
class PublishQueue {
public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retain = false;
    };

    explicit PublishQueue(int limit = 10000);

    void push(Message message);
    // The oldest message not yet sent while fewer than `window` wait for
    // their acknowledgement; nullptr otherwise.
    const Message *nextToSend(int window) const;
    // That message went out under the broker's message id `mid`.
    void sent(int mid);
    // The broker took message `mid`: it leaves the queue.
    void acknowledged(int mid);
    // The connection is gone: what was sent and not acknowledged is sent again.
    void connectionLost();

    // Takes out every message the broker has not acknowledged, oldest first,
    // so that a publisher replacing this one can send them.
    std::deque<Message> takeUnacknowledged();

    int size() const { return int(entries_.size()); }
    bool isEmpty() const { return entries_.empty(); }
    int inFlight() const { return sentCount_; }
    int limit() const { return limit_; }
    // Messages dropped because the queue was full, in all and since the last call.
    quint64 droppedTotal() const { return droppedTotal_; }
    quint64 takeDropped();

private:
    struct Entry {
        Message message;
        int mid = 0; // 0: not sent on this connection
        bool acked = false;
    };
    std::deque<Entry> entries_;
    int sentCount_ = 0; // entries_[0, sentCount_) went out on this connection
    int limit_;
    quint64 droppedTotal_ = 0;
    quint64 dropped_ = 0;
};
