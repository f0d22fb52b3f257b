// Reading values off the charts: the record under the mouse, the file
// chart's range under the wheel and a drag, and the live chart's memory of
// the points its picture still shows.
#include "core/charts/ChartLogic.h"
#include "core/charts/ChartReadout.h"

#include <QTest>

class TstChartReadout : public QObject {
    Q_OBJECT

    ChartGeometry g = ComputeGeometry(494.36, 364); // PlotLeft 120, PlotWidth 360.36

private slots:
    void nearestRecordOfTheMouse()
    {
        const RecordRange r{11, 30};
        const double step = g.PlotWidth / r.count();
        QCOMPARE(nearestRecord(g, step, r, g.PlotLeft), std::optional<int>(11));
        QCOMPARE(nearestRecord(g, step, r, recordX(g, step, r, 17) + step * 0.49), std::optional<int>(17));
        QCOMPARE(nearestRecord(g, step, r, recordX(g, step, r, 17) + step * 0.51), std::optional<int>(18));
        // The last record lies one step short of the right edge; the edge still reads it.
        QCOMPARE(nearestRecord(g, step, r, g.PlotLeft + g.PlotWidth), std::optional<int>(30));
        QCOMPARE(nearestRecord(g, step, r, g.PlotLeft - step / 2), std::optional<int>(11));
        QVERIFY(!nearestRecord(g, step, r, g.PlotLeft - 2 * step));
        QVERIFY(!nearestRecord(g, step, r, g.PlotLeft + g.PlotWidth + 2 * step));
        QVERIFY(!nearestRecord(g, 0, {1, 0}, g.PlotLeft));
        // One record: wherever the mouse is on the plot, that record.
        QCOMPARE(nearestRecord(g, g.PlotWidth, {1, 1}, g.PlotLeft + 300), std::optional<int>(1));
    }

    void wheelAndDragKeepTheRangeValid()
    {
        // Four fifths per notch towards the screen, the inverse away from it.
        QCOMPARE(wheelZoomFactor(120), 0.8);
        QVERIFY(qAbs(wheelZoomFactor(-120) - 1.25) < 1e-12);

        // The record under the mouse keeps its place.
        RecordRange r = zoomRecords({1, 100}, 100, 51, 0.5);
        QCOMPARE(r.count(), 50);
        QCOMPARE(r.from, 26);
        r = zoomRecords({1, 100}, 100, 1, 0.5);
        QCOMPARE(r, (RecordRange{1, 50}));
        r = zoomRecords({1, 100}, 100, 100, 0.5);
        QCOMPARE(r, (RecordRange{51, 100}));
        // Out past the whole file: the whole file; in past two records: two.
        QCOMPARE(zoomRecords({40, 60}, 100, 50, 20), (RecordRange{1, 100}));
        QCOMPARE(zoomRecords({40, 60}, 100, 50, 0.01), (RecordRange{49, 50}));
        QCOMPARE(zoomRecords({50, 51}, 100, 50, 0.5), (RecordRange{50, 51}));
        // A small factor on a short range still moves.
        QCOMPARE(zoomRecords({1, 4}, 10, 1, 0.9).count(), 3);
        QCOMPARE(zoomRecords({1, 4}, 10, 1, 1.1).count(), 5);
        // A single record cannot be zoomed.
        QCOMPARE(zoomRecords({1, 1}, 1, 1, 0.5), (RecordRange{1, 1}));

        QCOMPARE(panRecords({20, 29}, 100, 5), (RecordRange{25, 34}));
        QCOMPARE(panRecords({20, 29}, 100, -50), (RecordRange{1, 10}));
        QCOMPARE(panRecords({20, 29}, 100, 500), (RecordRange{91, 100}));
        QCOMPARE(panRecords({1, 100}, 100, 3), (RecordRange{1, 100}));
        // Dragging to the right brings earlier records in.
        QCOMPARE(dragShift(36, 3.6), -10);
        QCOMPARE(dragShift(-5.3, 3.6), 1);
        QCOMPARE(dragShift(10, 0), 0);
    }

    void livePointsFollowThePicture()
    {
        LivePointLog log;
        const double unit = 1 / 0.7929; // one pixel, in units
        log.reset(g, unit);
        auto point = [](double x, qint64 n) {
            LivePoint p;
            p.x = x;
            p.number = n;
            return p;
        };
        for (int i = 0; i < 10; ++i)
            log.add(point(g.PlotLeft + 10 * i, i + 1), 10);
        QCOMPARE(log.nearest(g.PlotLeft + 31, 5)->number, 4);
        QVERIFY(!log.nearest(g.PlotLeft + 35, 4));
        // The next sweep: its point replaces the old one of its column and
        // the strip ahead of it (x + 2 .. x + 12) takes the next one away.
        log.add(point(g.PlotLeft + 30, 11), 10);
        QCOMPARE(log.nearest(g.PlotLeft + 30, 1)->number, 11);
        QVERIFY(!log.nearest(g.PlotLeft + 40, 3));
        QCOMPARE(log.nearest(g.PlotLeft + 50, 3)->number, 6);
        // Points at the plot's edges and beyond it do not break the log.
        log.add(point(g.PlotLeft + g.PlotWidth, 12), 10);
        log.add(point(g.PlotLeft + 5000, 13), 10);
        log.add(point(g.PlotLeft - 50, 14), 10);
        QCOMPARE(log.nearest(g.PlotLeft + g.PlotWidth, 1)->number, 12);
        log.reset(g, unit);
        QVERIFY(!log.nearest(g.PlotLeft + 30, 100));

        LivePoint p = point(g.PlotLeft, 7);
        p.when = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 7));
        p.tempC = 25.39;
        p.rh = 50;
        p.wetC = -0.05;
        p.dewC = 14.99;
        QCOMPARE(readoutText(liveReadout(p)), QStringLiteral("Ponto 7\n08/12/2026 10:00:07\nTemperatura: 25.3 °C\n"
                                                             "UR: 50.0 %\nÚmido: -0.0 °C\nOrvalho: 14.9 °C"));
    }
};

QTEST_MAIN(TstChartReadout)
#include "tst_chart_readout.moc"
