#include "core/charts/ChartDrawing.h"
#include "core/charts/ChartLogic.h"
#include "support/TestValues.h"

#include <QTest>

// Records every drawing call in chart units; text is 6 units per character
// and 14 units high.
class RecordingSurface : public ChartSurface {
public:
    struct Op {
        QString kind; // "line", "box", "text", "clear"
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        ChartColor color = 0;
        DrawStyle style = DrawStyle::Solid;
        int width = 1;
        QString text = {};
    };
    QList<Op> ops;
    double w = 494.36, h = 364;

    double scaleWidth() const override { return w; }
    double scaleHeight() const override { return h; }
    void clear() override
    {
        ops.append({QStringLiteral("clear")});
        CurrentX = CurrentY = 0;
    }
    void line(double x1, double y1, double x2, double y2, ChartColor c) override
    {
        ops.append({QStringLiteral("line"), x1, y1, x2, y2, c, drawStyle, DrawWidth, {}});
    }
    void fillBox(double x1, double y1, double x2, double y2, ChartColor c) override
    {
        ops.append({QStringLiteral("box"), x1, y1, x2, y2, c, drawStyle, DrawWidth, {}});
    }
    void printText(const QString &t) override
    {
        ops.append({QStringLiteral("text"), CurrentX, CurrentY, 0, 0, ForeColor, drawStyle, DrawWidth, t});
    }
    double textWidth(const QString &t) const override { return 6.0 * t.size(); }
    double textHeight(const QString &) const override { return 14; }

    QList<Op> of(const QString &kind, ChartColor color) const
    {
        QList<Op> r;
        for (const Op &o : ops)
            if (o.kind == kind && o.color == color)
                r.append(o);
        return r;
    }
    QStringList texts() const
    {
        QStringList r;
        for (const Op &o : ops)
            if (o.kind == QLatin1String("text"))
                r << o.text;
        return r;
    }
};

namespace {
const ChartColor kGrid = 0xC0C0C0;

QVector<PlotRecord> records(int count)
{
    QVector<PlotRecord> r;
    for (int i = 1; i <= count; ++i)
        r.append({values(20 + i, 50 + i, 15 + i, 10 + i),
                  QStringLiteral("08/12/2026 10:00:%1").arg(i, 2, 10, QLatin1Char('0'))});
    return r;
}
} // namespace

class TestChartLogic : public QObject {
    Q_OBJECT
private slots:
    void geometryOfTheDesignSizeAndHalfRounding()
    {
        const ChartGeometry g = ComputeGeometry(5880 / 11.894, 364);
        QCOMPARE(g.PlotLeft, 120.0);
        QVERIFY(qAbs(g.PlotWidth - 360.36) < 0.01);
        QCOMPARE(g.PlotBottom, 229.0);
        QCOMPARE(g.PlotHeight, 144.0);
        QCOMPARE(g.plotTop(), 85.0);
        // ScaleWidth - 120 = 44.5 rounds to 44 (14 left over), 45.5 to 46 (16).
        QCOMPARE(ComputeGeometry(164.5, 300).PlotWidth, 30.5);
        QCOMPARE(ComputeGeometry(165.5, 300).PlotWidth, 29.5);
    }

    void axisLabels()
    {
        const QLocale pt(QLocale::Portuguese, QLocale::Brazil);
        QCOMPARE(FormatAxisValue(33.36), QStringLiteral(" 33.3"));
        QCOMPARE(FormatAxisValue(-2.75, AxisTextForm::Locale, pt), QStringLiteral("-2.7"));
        QCOMPARE(FormatAxisValue(12.75, AxisTextForm::Locale, pt), QStringLiteral("12.7"));
        QCOMPARE(FormatAxisValue(0.5, AxisTextForm::Locale, pt), QStringLiteral("0.5"));
        QCOMPARE(FormatAxisValue(-0.5), QStringLiteral("-.5"));
        QCOMPARE(FormatAxisValue(0.5), QStringLiteral(" .5"));
        QCOMPARE(FormatAxisValue(37.5), QStringLiteral(" 37.5"));
        QCOMPARE(FormatAxisValue(10), QStringLiteral(" 10.0"));
        QCOMPARE(FormatAxisValue(-20), QStringLiteral("-20.0"));
        QCOMPARE(FormatAxisValue(0), QStringLiteral(" 0.0"));
        QCOMPARE(FormatAxisValue(1e20), QStringLiteral(" 100000000000000000000.0"));
        QCOMPARE(FormatAxisValue(0.1 + 0.2), QStringLiteral(" .3"));
        QCOMPARE(plainDecimalText(-0.000125), QStringLiteral("-0.000125"));

        // The default columns of both windows, bottom to top.
        RecordingSurface live;
        SweepState sweep;
        const ChartGeometry g = ComputeGeometry(live.w, live.h);
        DrawChartFrame(live, g, ChartScale{}, ChartKind::Live, sweep, pt);
        QStringList t = live.texts();
        QCOMPARE(t.size(), 27 + 5);
        QStringList celsius, rh, fahrenheit;
        for (int j = 0; j < 9; ++j) {
            celsius << t[3 * j];
            rh << t[3 * j + 1];
            fahrenheit << t[3 * j + 2];
        }
        QCOMPARE(celsius, QStringList({"-20.0", "-10.0", "0.0", "10.0", "20.0", "30.0", "40.0", "50.0", "60.0"}));
        QCOMPARE(rh, QStringList({" 0.0", " 12.5", " 25.0", " 37.5", " 50.0", " 62.5", " 75.0", " 87.5", " 100.0"}));
        QCOMPARE(fahrenheit,
                 QStringList({"-4.0", " 14.0", " 32.0", " 50.0", " 68.0", " 86.0", " 104.0", " 122.0", " 140.0"}));
        QCOMPARE(t.mid(27), QStringList({"Cel", "UR%", "Fah", "Orvalho", "Úmido"}));

        RecordingSurface file;
        DrawChartFrame(file, g, ChartScale{}, ChartKind::File, sweep);
        QCOMPARE(file.texts()[6], QStringLiteral(" 0.0"));
        QCOMPARE(file.texts()[0], QStringLiteral("-20.0"));
        // Label position: PlotLeft - d - w / 4, centred on its level.
        const auto first = file.of(QStringLiteral("text"), chartcolor::Black).first();
        QCOMPARE(first.x1, 120 - 32 - 6.0 * 5 / 4);
        QCOMPARE(first.y1, g.PlotBottom - 7);
    }

    void frameOfEachWindow()
    {
        RecordingSurface live, file;
        SweepState sweep;
        sweep.StepX = 2.5;
        sweep.CursorX = 40;
        sweep.PrevX = 160;
        const ChartGeometry g = ComputeGeometry(live.w, live.h);
        DrawChartFrame(live, g, ChartScale{}, ChartKind::Live, sweep);
        QCOMPARE(sweep.PrevX, 0.0);
        QCOMPARE(sweep.CursorX, -2.5);
        DrawChartFrame(file, g, ChartScale{}, ChartKind::File, sweep);
        QCOMPARE(live.ops.first().kind, QStringLiteral("clear"));
        // 2 axes + 17 short and 9 long ticks, in black.
        QCOMPARE(live.of(QStringLiteral("line"), chartcolor::Black).size(), 28);
        QCOMPARE(live.of(QStringLiteral("line"), chartcolor::Black).first().width, 2);
        QCOMPARE(live.of(QStringLiteral("line"), chartcolor::Black).last().width, 1);
        // Only the live chart fills the plot rectangle white.
        const auto fills = live.of(QStringLiteral("box"), chartcolor::White);
        QCOMPARE(fills.size(), 1);
        QCOMPARE(fills[0].x1, 120.0);
        QCOMPARE(fills[0].y2, 85.0);
        QVERIFY(file.of(QStringLiteral("box"), chartcolor::White).isEmpty());
    }

    void valueToHeight()
    {
        const ChartGeometry g = ComputeGeometry(494.36, 364);
        QCOMPARE(ValueToY(SeriesValue::number(60), 60, -20, g), g.plotTop());
        QCOMPARE(ValueToY(SeriesValue::number(-20), 60, -20, g), g.PlotBottom);
        QCOMPARE(ValueToY(SeriesValue::number(20), 60, -20, g), g.PlotBottom - 72);
        QCOMPARE(ValueToY(SeriesValue::over(), 60, -20, g), g.plotTop() - 5);
        QCOMPARE(ValueToY(SeriesValue::under(), 60, -20, g), g.PlotBottom + 3);
        QCOMPARE(ValueToY(SeriesValue::number(60.01), 60, -20, g), g.plotTop() - 5);
        QCOMPARE(ValueToY(SeriesValue::number(-25), 60, -20, g), g.PlotBottom + 3);

        QCOMPARE(SeriesValue::fromCell(QStringLiteral("OL")).kind, SeriesValue::Kind::Over);
        QCOMPARE(SeriesValue::fromCell(QStringLiteral("-OL")).kind, SeriesValue::Kind::Under);
        const SeriesValue dashes = SeriesValue::fromCell(QStringLiteral("----.0"));
        QCOMPARE(dashes.kind, SeriesValue::Kind::Number);
        QCOMPARE(dashes.value, 0.0);
        QCOMPARE(SeriesValue::fromCell(QStringLiteral("23.4")).value, 23.4);
        // "----" plots at 0, clamped when 0 is below the axis.
        QCOMPARE(ValueToY(dashes, 60, 10, g), g.PlotBottom + 3);
    }

    void timeMarks()
    {
        QList<int> majors, minors;
        for (int n = 1; n <= 10; ++n) {
            if (fileTimeMark(n, 10) == TimeMark::Major)
                majors << n;
            else if (fileTimeMark(n, 10) == TimeMark::Minor)
                minors << n;
        }
        QCOMPARE(majors, QList<int>({1, 2, 4, 6, 8, 10}));
        QCOMPARE(minors, QList<int>({3, 5, 7, 9}));
        QCOMPARE(fileTimeMark(1, 1), TimeMark::Major);
        QCOMPARE(fileTimeMark(48000, 48000), TimeMark::Major);
        QCOMPARE(fileTimeMark(4800, 48000), TimeMark::Minor);

        QCOMPARE(liveTimeMark(0), TimeMark::Major);
        QCOMPARE(liveTimeMark(30), TimeMark::Minor);
        QCOMPARE(liveTimeMark(29.5), TimeMark::Minor); // halves to even
        QCOMPARE(liveTimeMark(30.5), TimeMark::Minor);
        QCOMPARE(liveTimeMark(31.5), TimeMark::None);
        QCOMPARE(liveTimeMark(120), TimeMark::Major);
        QCOMPARE(liveTimeMark(45), TimeMark::None);
        QCOMPARE(countsFromStep(360.36, 1), 360.0);
    }

    void liveSweepWrapsWithoutJoiningSegment()
    {
        RecordingSurface s;
        s.w = 120 + 62; // PlotWidth 62 - 2 = 60
        const ChartGeometry g = ComputeGeometry(s.w, s.h);
        QCOMPARE(g.PlotWidth, 60.0);
        SweepState sweep;
        sweep.StepX = 20;
        DrawChartFrame(s, g, ChartScale{}, ChartKind::Live, sweep);
        QString label;
        QTime now(10, 0, 5);
        s.ops.clear();
        // Cursor 0, 20, 40, then 60 >= PlotWidth wraps to 0, then 20.
        for (int tick = 0; tick < 5; ++tick)
            LiveTick(s, g, sweep, ChartScale{}, values(20, 50, 15, 10 + tick), kGrid, now, label);
        const auto dew = s.of(QStringLiteral("line"), chartcolor::Red);
        QCOMPARE(dew.size(), 3); // 0-20, 20-40, then nothing into the wrap, then 0-20
        QCOMPARE(dew[1].x1, 140.0);
        QCOMPARE(dew[1].x2, 160.0);
        QCOMPARE(dew[2].x1, 120.0);
        QCOMPARE(dew[2].x2, 140.0);
        for (const auto &o : dew)
            QVERIFY(o.x2 > o.x1);
        // The erase strip runs ahead of each point, from PlotBottom+3 to PlotTop-5.
        const auto erase = s.of(QStringLiteral("box"), chartcolor::White);
        QCOMPARE(erase.first().x1, 122.0);
        QCOMPARE(erase.first().x2, 142.0);
        QCOMPARE(erase.first().y1, g.PlotBottom + 3);
        QCOMPARE(erase.first().y2, g.plotTop() - 5);
        // Cursor 0 gets a labelled dotted line (twice, one per sweep), 20/40 nothing.
        QCOMPARE(s.texts(), QStringList({"10:00:05", "10:00:05"}));
        QCOMPARE(label, QStringLiteral("10:00:05"));

        // After a frame redraw (a resize) the next point starts a new polyline.
        DrawChartFrame(s, g, ChartScale{}, ChartKind::Live, sweep);
        s.ops.clear();
        LiveTick(s, g, sweep, ChartScale{}, values(20, 50, 15, 10), kGrid, now, label);
        QVERIFY(s.of(QStringLiteral("line"), chartcolor::Red).isEmpty());
        LiveTick(s, g, sweep, ChartScale{}, values(20, 50, 15, 10), kGrid, now, label);
        QCOMPARE(s.of(QStringLiteral("line"), chartcolor::Red).size(), 1);
    }

    void sweepGridAndSeriesOrder()
    {
        RecordingSurface s;
        const ChartGeometry g = ComputeGeometry(s.w, s.h);
        SweepState sweep;
        sweep.StepX = 10;
        sweep.CursorX = 10;
        sweep.PrevX = 120;
        PlotSweepStep(s, g, sweep, ChartKind::File, values(20, 50, 15, 10), {60, -20}, {100, 0}, kGrid);
        QStringList kinds;
        for (const auto &o : s.ops)
            kinds << QStringLiteral("%1/%2/%3").arg(o.kind).arg(o.color, 6, 16, QLatin1Char('0')).arg(int(o.style));
        QCOMPARE(kinds.size(), 12);
        QCOMPARE(kinds[0], QStringLiteral("line/c0c0c0/0"));
        for (int k = 1; k <= 7; ++k)
            QCOMPARE(kinds[k], QStringLiteral("line/c0c0c0/2"));
        // File chart: temperature, wet bulb, dew point, humidity last.
        QCOMPARE(kinds.mid(8), QStringList({"line/000000/0", "line/00ff00/0", "line/ff0000/0", "line/0000ff/0"}));
        QCOMPARE(s.drawStyle, DrawStyle::Solid);
        // Dotted lines at k = 1, 7, 6, 5, 8, 3, 2 eighths.
        QList<double> ks;
        for (int k = 1; k <= 7; ++k)
            ks << (g.PlotBottom - s.ops[k].y1) / g.PlotHeight * 8;
        QCOMPARE(ks, QList<double>({1, 7, 6, 5, 8, 3, 2}));
        QCOMPARE(s.ops[0].x1, 118.0);
        QCOMPARE(s.ops[0].x2, 120 + g.PlotWidth + 2);
        QCOMPARE(sweep.PrevX, 130.0);
    }

    void filePlotMarksAndEdges()
    {
        RecordingSurface s;
        const ChartGeometry g = ComputeGeometry(s.w, s.h);
        SweepState sweep;

        // One record: one point at PlotLeft, no segment, a label shifted 20 left.
        sweep.StepX = fileStepX(g, 1);
        DrawChartFrame(s, g, ChartScale{}, ChartKind::File, sweep);
        s.ops.clear();
        QCOMPARE(PlotFileRecords(s, g, sweep, ChartScale{}, true, records(1), {1, 1, 1}, kGrid), 1);
        QCOMPARE(s.of(QStringLiteral("line"), chartcolor::Black).size(), 0);
        QCOMPARE(s.texts(), QStringList({"10:00:01"}));
        QCOMPARE(s.of(QStringLiteral("text"), chartcolor::Black)[0].x1, 120 - 24 - 20.0);

        // Ten records: labels at 1, 2, 4, 6, 8, 10, minor marks at 3, 5, 7, 9.
        sweep.StepX = fileStepX(g, 10);
        DrawChartFrame(s, g, ChartScale{}, ChartKind::File, sweep);
        s.ops.clear();
        QList<int> progress;
        PlotFileRecords(s, g, sweep, ChartScale{}, true, records(10), {1, 10, 10}, kGrid, GridOrder::Linear,
                        [&](int i) {
                            progress << i;
                            return true;
                        });
        QCOMPARE(progress.size(), 10);
        QCOMPARE(s.texts(), QStringList({"10:00:01", "10:00:02", "10:00:04", "10:00:06", "10:00:08", "10:00:10"}));
        const auto texts = s.of(QStringLiteral("text"), chartcolor::Black);
        QCOMPARE(texts.last().x1, 120 + 9 * sweep.StepX - 24 - 10);
        QCOMPARE(texts.last().y1, g.PlotBottom + 10);
        QCOMPARE(s.of(QStringLiteral("line"), chartcolor::Black).size(), 9);
        int minor = 0, dottedVertical = 0;
        for (const auto &o : s.of(QStringLiteral("line"), kGrid)) {
            if (o.x1 != o.x2)
                continue;
            if (o.style == DrawStyle::Dotted) {
                ++dottedVertical;
                QCOMPARE(o.y2, g.plotTop() - 10);
            } else {
                ++minor;
                QCOMPARE(o.y1, g.PlotBottom - 3.8 * g.PlotHeight / 8);
            }
        }
        QCOMPARE(dottedVertical, 6);
        QCOMPARE(minor, 4);
        // The last record lands one step short of the right edge.
        QVERIFY(qAbs(sweep.PrevX - (120 + g.PlotWidth - sweep.StepX)) < 1e-9);

        // A range in the middle, in °F, with a stop request after 3 records.
        ChartScale scale;
        scale.TempMaxF = 100;
        scale.TempMinF = 0;
        QVector<PlotRecord> r = records(5);
        r[0].values[SeriesTemp] = SeriesValue::number(50);
        sweep.StepX = fileStepX(g, 5);
        DrawChartFrame(s, g, scale, ChartKind::File, sweep);
        s.ops.clear();
        const int drawn = PlotFileRecords(s, g, sweep, scale, false, r, {3, 7, 5}, kGrid, GridOrder::Linear,
                                          [](int i) { return i < 6; });
        QCOMPARE(drawn, 3);
        QCOMPARE(sweep.PrevY[SeriesTemp], ValueToY(SeriesValue::number(r[2].values[SeriesTemp].value), 100, 0, g));
    }

    void emptyRangeDrawsNothing()
    {
        RecordingSurface s;
        const ChartGeometry g = ComputeGeometry(s.w, s.h);
        SweepState sweep;
        sweep.StepX = fileStepX(g, 0);
        QCOMPARE(sweep.StepX, 0.0);
        DrawChartFrame(s, g, ChartScale{}, ChartKind::File, sweep);
        s.ops.clear();
        QCOMPARE(PlotFileRecords(s, g, sweep, ChartScale{}, true, {}, {1, 0, 0}, kGrid), 0);
        QVERIFY(s.ops.isEmpty());
    }

    void recordsReadFromCells()
    {
        const QList<QStringList> grid = {
            {"N°", "Data", "Hora", "°C", "Orvalho(°C)", "Úmido(°C)", "UR%"},
            {"1", "08/12/2026", "10:00:00", "OL", "----.0", "-OL", "55.0"},
            {"2", "08/12/2026", "10:00:02", "21.5", "12.0", "15.0", "60.5"},
        };
        auto cell = [&](int row, int col) { return grid[row][col]; };
        const QVector<PlotRecord> r = readPlotRecords(int(grid.size()), cell, 1, 5);
        QCOMPARE(r.size(), 2); // rows past the grid are left out
        QCOMPARE(r[0].values[SeriesTemp].kind, SeriesValue::Kind::Over);
        QCOMPARE(r[0].values[SeriesWet].kind, SeriesValue::Kind::Under);
        QCOMPARE(r[0].values[SeriesDew].value, 0.0);
        QCOMPARE(r[0].values[SeriesRh].value, 55.0);
        QCOMPARE(r[0].time, QStringLiteral("10:00:00"));
        QCOMPARE(r[1].time, QStringLiteral("10:00:02"));
        QCOMPARE(r[1].values[SeriesDew].value, 12.0);
        QCOMPARE(r[1].values[SeriesWet].value, 15.0);
        QVERIFY(readPlotRecords(1, cell, 1, 0).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestChartLogic)
#include "tst_chart_logic.moc"
