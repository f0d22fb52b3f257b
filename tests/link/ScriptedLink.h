#pragma once

#include "core/link/Pause.h"
#include "core/link/SerialLink.h"

#include <QList>

// A link whose bytes arrive by script, and a pause that delivers them: each
// wait of the sequence under test receives the next scripted chunk, so the
// retry rules can be checked attempt by attempt without real time.
class ScriptedLink : public SerialLink {
public:
    QByteArray rx;
    QByteArray sent;
    QList<QByteArray> onWaitForBytes;                        // one chunk per waitForBytes call
    QByteArray afterScript;                                  // what every later waitForBytes call receives
    QList<QByteArray> onWait;                                // one chunk per Wait call (after a send, typically)
    std::function<QByteArray(const QByteArray &)> responder; // answers each Send

    bool OpenPort(QString * = nullptr) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QString portName() const override { return QStringLiteral("script"); }
    void Send(const QByteArray &bytes) override
    {
        sent += bytes;
        if (responder)
            rx += responder(bytes);
    }
    using SerialLink::Send;
    QByteArray ReadAnswer() override
    {
        QByteArray out;
        out.swap(rx);
        return out;
    }
    int PendingCount() override { return int(rx.size()); }
    void ClearInput() override { rx.clear(); }
};

class ScriptedPause : public Pause {
public:
    explicit ScriptedPause(ScriptedLink &link) : link_(link) {}
    int waits = 0;
    int byteWaits = 0;
    bool abortNow = false;

    void Wait(double) override
    {
        ++waits;
        if (!link_.onWait.isEmpty())
            link_.rx += link_.onWait.takeFirst();
    }
    void processEvents() override {}
    bool waitForBytes(SerialLink &, int count, double) override
    {
        ++byteWaits;
        if (!link_.onWaitForBytes.isEmpty())
            link_.rx += link_.onWaitForBytes.takeFirst();
        else
            link_.rx += link_.afterScript;
        return link_.rx.size() >= count;
    }
    bool aborted() const override { return abortNow; }

private:
    ScriptedLink &link_;
};
