#include "support/TestApp.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPointer>
#include <QTest>
#include <QWidget>

void deleteTopLevelWindows(QWidget *keep)
{
    // Guarded: deleting one window may delete another of the list.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != keep)
            windows << w;
    }
    for (const QPointer<QWidget> &w : windows) {
        if (w && !w->parentWidget())
            delete w.data();
    }
}

void snapshot(QWidget *w, const QString &name)
{
    const QPixmap pixmap = w->grab();
    QVERIFY(!pixmap.isNull());
    const QString dir = qEnvironmentVariable("TH_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        QVERIFY(pixmap.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
}
