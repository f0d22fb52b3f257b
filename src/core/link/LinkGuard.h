#pragma once

#include "core/link/Pause.h"
#include "core/link/Protocol.h"
#include "core/link/SerialLink.h"

#include <QElapsedTimer>

// Bounds one whole command sequence: the caller's time limit, the program
// closing and a device that went away all end it, with the reason left in
// ctx.failure.
class LinkGuard {
public:
    explicit LinkGuard(LinkContext &ctx) : ctx_(ctx)
    {
        ctx_.failure = LinkFailure::None;
        timer_.start();
    }

    // False when the sequence must give up.
    bool ok()
    {
        if (ctx_.pause.aborted())
            ctx_.failure = LinkFailure::Aborted;
        else if (ctx_.link.hasFailed())
            ctx_.failure = LinkFailure::PortFailed;
        else if (ctx_.timeoutSeconds >= 0 && timer_.elapsed() >= qint64(ctx_.timeoutSeconds * 1000.0))
            ctx_.failure = LinkFailure::Timeout;
        else
            return true;
        return false;
    }

    // Progress was made: the limit counts from now.
    void restart() { timer_.restart(); }

    // Seconds left before the limit (large when unbounded), never below 0.
    double remaining() const
    {
        if (ctx_.timeoutSeconds < 0)
            return 1e9;
        return qMax(0.0, ctx_.timeoutSeconds - timer_.elapsed() / 1000.0);
    }

    // Waits d seconds but not past the limit.
    void wait(double d) { ctx_.pause.Wait(qMin(d, remaining())); }

private:
    LinkContext &ctx_;
    QElapsedTimer timer_;
};

// Sequences that other sequences build on, sharing one guard.
bool handshakeWith(LinkContext &ctx, LinkGuard &guard, QByteArray *statusFrame);
bool prepareWith(LinkContext &ctx, LinkGuard &guard);
