// The overlay chart's pixels: two loggers with known values, their colours
// where their values lie, the envelope between them, the limits.
#include "render/OverlayChart.h"
#include "support/Outputs.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTest>

namespace {
const qint64 kFrom = wallSecondsOf(QDateTime(QDate(2026, 6, 30), QTime(8, 0)));

study::Series constant(const QString &label, double value, int records = 61)
{
    study::Series s;
    s.label = label;
    for (int i = 0; i < records; ++i) {
        s.seconds.append(kFrom + 60LL * i);
        s.values.append(value);
    }
    return s;
}

} // namespace

class TestOverlayChart : public QObject {
    Q_OBJECT
private slots:
    void coloursAtKnownPlaces()
    {
        OverlayChart chart;
        chart.title = QStringLiteral("Temperatura (°C)");
        // The warm logger rises from 20 to 24 over its last ten minutes.
        study::Series warm = constant("quente", 20);
        for (int i = 50; i <= 60; ++i)
            warm.values[i] = 20 + 0.4 * (i - 50);
        chart.series = {warm, constant("frio", 10)};
        chart.low = 5;
        chart.high = 25;
        chart.from = kFrom;
        chart.to = kFrom + 3600;
        QImage image(1600, 800, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const OverlayGeometry g = paintOverlayChart(painter, QRectF(10, 10, 1580, 780), chart, 1.5);
        painter.end();

        QVERIFY(g.plot.width() > 1000); // the legend leaves the plot most of the width
        QVERIFY(g.low <= 5 && g.high >= 25);
        for (int minute : {5, 20, 35}) {
            const qint64 t = kFrom + 60 * minute;
            QVERIFY2(colourNear(image, g.at(t, 20), overlayColor(0)), qPrintable(QString::number(minute)));
            QVERIFY(colourNear(image, g.at(t, 10), overlayColor(1)));
            // Between them the envelope; above the warm one plain background.
            QCOMPARE(QColor(image.pixel(g.at(t, 14.3).toPoint())), overlayEnvelopeColor());
            QCOMPARE(QColor(image.pixel(g.at(t, 22.3).toPoint())), QColor(Qt::white));
        }
        // The envelope follows the warm logger up.
        QCOMPARE(QColor(image.pixel(g.at(kFrom + 60 * 58, 22.3).toPoint())), overlayEnvelopeColor());
        QVERIFY(colourNear(image, g.at(kFrom + 60 * 55, 22), overlayColor(0)));

        // The limits, dashed: some pixels of their colour along each.
        for (double limit : {5.0, 25.0}) {
            int red = 0;
            for (int x = int(g.plot.left()) + 5; x < int(g.plot.right()) - 5; ++x)
                red += colourDistance(image.pixel(x, qRound(g.at(kFrom, limit).y())), overlayLimitColor().rgb()) < 40;
            QVERIFY2(red > g.plot.width() / 4, qPrintable(QString::number(limit)));
        }
        // Each legend entry's colour, right of the plot, one below the other.
        int found = 0;
        for (int i = 0; i < 2; ++i)
            for (int y = int(g.plot.top()); y < int(g.plot.top()) + 80 && found == i; ++y)
                for (int x = int(g.plot.right()) + 5; x < image.width() && found == i; ++x)
                    found += colourDistance(image.pixel(x, y), overlayColor(i).rgb()) < 10;
        QCOMPARE(found, 2);
    }

    void thirtyLoggersStayApart()
    {
        QSet<QRgb> colours;
        for (int i = 0; i < 30; ++i)
            colours.insert(overlayColor(i).rgb());
        QCOMPARE(colours.size(), 30);
        // No two of them close enough to be taken for each other.
        for (int i = 0; i < 30; ++i)
            for (int j = i + 1; j < 30; ++j)
                QVERIFY2(colourDistance(overlayColor(i).rgb(), overlayColor(j).rgb()) > 45,
                         qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));

        // Thirty long labels: the legend's texts do not run into each other or off the picture.
        OverlayChart chart;
        for (int i = 0; i < 30; ++i)
            chart.series.append(constant(QStringLiteral("Posição %1 - prateleira alta junto à porta").arg(i + 1), i));
        chart.from = kFrom;
        chart.to = kFrom + 3600;
        for (const QSize size : {QSize(1800, 900), QSize(1200, 450)}) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            const QRectF area(10, 10, size.width() - 20, size.height() - 20);
            const OverlayGeometry g = paintOverlayChart(painter, area, chart, size.width() / 900.0);
            painter.end();
            QCOMPARE(g.legend.size(), 30);
            for (int i = 0; i < 30; ++i) {
                QVERIFY2(area.contains(g.legend[i]), qPrintable(QString::number(i)));
                QVERIFY(!g.legend[i].intersects(g.plot));
                for (int j = i + 1; j < 30; ++j)
                    QVERIFY2(!g.legend[i].intersects(g.legend[j]), qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));
            }
        }
        QVERIFY(renderOverlayCharts({chart}).width() >= 1600);
    }

    // Part of the period: only its points, the lines still broken where the
    // records had a gap, the period kept within the chart's own.
    void spanOfThePeriod()
    {
        OverlayChart chart;
        study::Series s = constant("a", 5, 10); // 08:00 .. 08:09
        s.breaks = {4, 7};                      // gaps before 08:04 and 08:07
        chart.series = {s, constant("b", 6, 3)};
        chart.from = kFrom;
        chart.to = kFrom + 540;

        const OverlayChart span = overlaySpan(chart, kFrom + 120, kFrom + 480);
        QCOMPARE(span.from, kFrom + 120);
        QCOMPARE(span.to, kFrom + 480);
        QCOMPARE(span.series[0].seconds, (QVector<qint64>{kFrom + 120, kFrom + 180, kFrom + 240, kFrom + 300,
                                                          kFrom + 360, kFrom + 420, kFrom + 480}));
        QCOMPARE(span.series[0].breaks, (QVector<qsizetype>{2, 5}));
        QCOMPARE(span.series[1].seconds, QVector<qint64>{kFrom + 120});
        QCOMPARE(span.series[1].label, QStringLiteral("b"));

        // Starting on a break: the first point in sight starts the line, no break is kept for it.
        QCOMPARE(overlaySpan(chart, kFrom + 240, kFrom + 540).series[0].breaks, QVector<qsizetype>{3});
        const OverlayChart beyond = overlaySpan(chart, kFrom - 600, kFrom + 9000);
        QCOMPARE(beyond.from, chart.from);
        QCOMPARE(beyond.to, chart.to);
        QCOMPARE(beyond.series[0].breaks, s.breaks);
    }
};

QTEST_MAIN(TestOverlayChart)
#include "tst_overlay_chart.moc"
