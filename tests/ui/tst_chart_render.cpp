#include "core/charts/ChartDrawing.h"
#include "core/charts/ChartLogic.h"
#include "render/ChartPainter.h"
#include "render/ChartRender.h"
#include "support/TestValues.h"

#include <QGuiApplication>
#include <QTest>

namespace {
constexpr QRgb kGrey = 0xFFC0C0C0;

// Records that wander across the whole plot and through every grid line,
// with overload cells here and there.
QVector<PlotRecord> wandering(int count, bool overloads)
{
    QVector<PlotRecord> r;
    for (int i = 0; i < count; ++i) {
        const double a = i * 2.399;
        PlotRecord p{values(20 + 45 * std::sin(a), 50 + 55 * std::cos(a * 0.7), 20 + 40 * std::sin(a * 1.3),
                            20 + 40 * std::cos(a * 1.1)),
                     QStringLiteral("%1:%2:%3")
                         .arg(10 + i / 3600, 2, 10, QLatin1Char('0'))
                         .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                         .arg(i % 60, 2, 10, QLatin1Char('0'))};
        if (overloads && i % 7 == 3)
            p.values[SeriesTemp] = SeriesValue::over();
        if (overloads && i % 5 == 1)
            p.values[SeriesDew] = SeriesValue::under();
        if (overloads && i % 11 == 4)
            p.values[SeriesRh] = SeriesValue::over();
        if (overloads && i % 13 == 6)
            p.values[SeriesWet] = SeriesValue::under();
        r.append(p);
    }
    return r;
}

QImage render(QSize size, const QVector<PlotRecord> &all, int from, int to, bool celsius, GridOrder order,
              const ChartScale &scale = {})
{
    FileChartPicture p;
    p.size = size;
    p.scale = scale;
    p.celsius = celsius;
    p.range = {from, to, to - from + 1};
    p.order = order;
    return renderFileChart(p, all.mid(from - 1, to - from + 1));
}

int differingPixels(const QImage &a, const QImage &b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}
} // namespace

class TestChartRender : public QObject {
    Q_OBJECT
private slots:
    // The plot draws the grid before the first and the last record only; the
    // specified order redraws it at every record. Same pixels, every case.
    void linearGridOrderGivesTheSamePixels_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("celsius");
        QTest::addColumn<bool>("overloads");
        QTest::newRow("one record") << QSize(392, 364) << 1 << 1 << 1 << true << false;
        QTest::newRow("ten records") << QSize(392, 364) << 10 << 1 << 10 << true << false;
        QTest::newRow("ten records, OL and -OL") << QSize(392, 364) << 10 << 1 << 10 << true << true;
        QTest::newRow("two records") << QSize(392, 364) << 2 << 1 << 2 << false << true;
        QTest::newRow("middle range, °F") << QSize(500, 420) << 200 << 37 << 151 << false << true;
        QTest::newRow("last records") << QSize(392, 364) << 300 << 250 << 300 << true << true;
        QTest::newRow("more records than pixels") << QSize(400, 380) << 1500 << 1 << 1500 << true << true;
        QTest::newRow("large picture") << QSize(1200, 800) << 700 << 100 << 699 << true << true;
    }
    void linearGridOrderGivesTheSamePixels()
    {
        QFETCH(QSize, size);
        QFETCH(int, total);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, celsius);
        QFETCH(bool, overloads);
        const QVector<PlotRecord> all = wandering(total, overloads);
        ChartScale scale;
        if (!celsius) {
            scale.TempMaxF = 100;
            scale.TempMinF = 20;
        }
        const QImage every = render(size, all, from, to, celsius, GridOrder::EveryRecord, scale);
        const QImage linear = render(size, all, from, to, celsius, GridOrder::Linear, scale);
        QCOMPARE(linear.size(), size);
        QCOMPARE(differingPixels(every, linear), 0);
        QVERIFY(every == linear);
    }

    void gridStaysOnTopOfOlderData()
    {
        // Temperature climbs from 0 to 40 °C between records 2 and 3 and so
        // crosses the solid middle line (20 °C) long before the last record.
        QVector<PlotRecord> r;
        for (int i = 0; i < 10; ++i)
            r.append({values(i < 2 ? 0 : 40, 50, 50, 50), QStringLiteral("10:00:00")});
        for (GridOrder order : {GridOrder::EveryRecord, GridOrder::Linear}) {
            const QImage img = render(QSize(392, 364), r, 1, 10, true, order);
            QImage probe(392, 364, QImage::Format_RGB32);
            ChartPainter s(probe, ChartPainter::fileChartFont());
            const ChartGeometry g = ComputeGeometry(s.scaleWidth(), s.scaleHeight());
            const int middle = s.toPixelY(g.PlotBottom - g.PlotHeight / 2);
            const int x2 = s.toPixelX(g.PlotLeft + g.PlotWidth / 10);
            const int x3 = s.toPixelX(g.PlotLeft + 2 * g.PlotWidth / 10);
            // The segment is steep: it meets the middle row somewhere between
            // its two ends, and that pixel is grey, not black.
            bool crossing = false;
            for (int x = x2; x <= x3; ++x)
                crossing =
                    crossing || img.pixel(x, middle - 1) == qRgb(0, 0, 0) || img.pixel(x, middle + 1) == qRgb(0, 0, 0);
            QVERIFY(crossing);
            for (int x = x2; x <= x3; ++x)
                QCOMPARE(img.pixel(x, middle), kGrey);
        }
    }

    void heightsOfLimitsAndOverloads()
    {
        // Two records: one segment from PlotLeft to the middle of the plot.
        PlotRecord p{values(60, 0, -20, 0), QStringLiteral("10:00:00")};
        p.values[SeriesRh] = SeriesValue::over();
        p.values[SeriesDew] = SeriesValue::under();
        const QImage img = render(QSize(392, 364), {p, p}, 1, 2, true, GridOrder::Linear);
        QImage probe(392, 364, QImage::Format_RGB32);
        ChartPainter s(probe, ChartPainter::fileChartFont());
        const ChartGeometry g = ComputeGeometry(s.scaleWidth(), s.scaleHeight());
        QCOMPARE(g.plotTop(), 85.0);
        QCOMPARE(g.PlotBottom, 229.0);
        const int x = s.toPixelX(g.PlotLeft + g.PlotWidth / 4);
        QCOMPARE(img.pixel(x, 85), qRgb(0, 0, 0));        // max: the plot top
        QCOMPARE(img.pixel(x, 80), qRgb(0, 0, 255));      // "OL": 5 above it
        QCOMPARE(img.pixel(x, 229), qRgb(0, 255, 0));     // min: the plot bottom
        QCOMPARE(img.pixel(x, 229 + 3), qRgb(255, 0, 0)); // "-OL": 3 below it
        // Nothing joins the second point to anything further right.
        const int beyond = s.toPixelX(g.PlotLeft + g.PlotWidth * 0.75);
        for (int y : {80, 85, 229, 232})
            QVERIFY(img.pixel(beyond, y) != qRgb(0, 0, 0) && img.pixel(beyond, y) != qRgb(0, 0, 255));
    }

    void emptyFileDrawsTheFrameOnly()
    {
        FileChartPicture p;
        p.range = {1, 0, 0};
        const QImage img = renderFileChart(p, {});
        QCOMPARE(img.size(), QSize(392, 364));
        QImage probe(392, 364, QImage::Format_RGB32);
        ChartPainter s(probe, ChartPainter::fileChartFont());
        const ChartGeometry g = ComputeGeometry(s.scaleWidth(), s.scaleHeight());
        // The left axis is there; the plot rectangle holds no series colour.
        QCOMPARE(img.pixel(s.toPixelX(g.PlotLeft - 2), 150), qRgb(0, 0, 0));
        for (int y = s.toPixelY(g.plotTop()); y < s.toPixelY(g.PlotBottom); ++y)
            for (int x = s.toPixelX(g.PlotLeft) + 1; x < s.toPixelX(g.PlotLeft + g.PlotWidth); ++x)
                QCOMPARE(img.pixel(x, y), qRgb(255, 255, 255));
    }
};

QTEST_MAIN(TestChartRender)
#include "tst_chart_render.moc"
