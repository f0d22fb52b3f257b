#include "platform/EventPause.h"

#include "core/link/SerialLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

void EventPause::Wait(double seconds)
{
    if (aborted_ || seconds <= 0) {
        processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(qMax(0, int(seconds * 1000.0 + 0.5)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void EventPause::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool EventPause::waitForBytes(SerialLink &link, int count, double seconds)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 limitMs = qint64(seconds * 1000.0 + 0.5);
    while (link.PendingCount() < count) {
        const qint64 left = limitMs - elapsed.elapsed();
        if (left <= 0 || aborted_ || link.hasFailed())
            return link.PendingCount() >= count;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&link, &SerialLink::bytesArrived, &loop, &QEventLoop::quit);
        QObject::connect(&link, &SerialLink::portFailed, &loop, &QEventLoop::quit);
        timer.start(int(qMin<qint64>(left, 50)));
        loop.exec();
    }
    return true;
}
