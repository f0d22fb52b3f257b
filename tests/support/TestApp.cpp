#include "support/TestApp.h"

#include <QDir>
#include <QPixmap>
#include <QTest>
#include <QWidget>

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
