#include "render/FullReportPainter.h"

#include "core/charts/ChartDrawing.h"
#include "render/ChartRender.h"
#include "render/ReportPrinter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {
using namespace fullreport;

constexpr double kMmPerPoint = 25.4 / 72.0;
// The chart is drawn at twice the screen's resolution: sharp on paper, and
// still the file chart's layout, fonts and colours.
constexpr double kChartDpi = 192;
// The file chart keeps 135 units under its plot for the time labels and its
// text block; the report has the texts in its header, so only the labels
// stay. Above the plot, its axis titles start 25 units up of the 85 it keeps.
constexpr double kChartUnitsBelowPlot = 135;
constexpr double kChartUnitsKept = 30;
constexpr double kChartUnitsAboveCut = 50;

QFont sansFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    return f;
}

class Fonts {
public:
    explicit Fonts(QPaintDevice &device) : device_(device) {}

    const QFont &font(const TextStyle &s)
    {
        const quint64 key = (quint64(s.face) << 32) | quint64(qRound(s.points * 100));
        auto it = fonts_.find(key);
        if (it == fonts_.end()) {
            QFont f = (s.face == Face::Mono || s.face == Face::MonoBold) ? reportFont() : sansFont();
            f.setPointSizeF(s.points);
            f.setBold(s.face == Face::SansBold || s.face == Face::MonoBold);
            f.setKerning(false);
            it = fonts_.insert(key, Entry{QFont(f, &device_), QFontMetricsF(f, &device_)});
        }
        return it->font;
    }
    const QFontMetricsF &metrics(const TextStyle &s)
    {
        font(s);
        return fonts_.find((quint64(s.face) << 32) | quint64(qRound(s.points * 100)))->metrics;
    }

private:
    struct Entry {
        QFont font;
        QFontMetricsF metrics;
    };
    QPaintDevice &device_;
    QHash<quint64, Entry> fonts_;
};

QImage chartImage(const Input &in, const QRectF &placeMm)
{
    const double pxPerMm = kChartDpi / 25.4;
    const double unitPx = kChartDpi / 96.0; // a vertical chart unit is 15 twips
    const int cut = qRound((kChartUnitsBelowPlot - kChartUnitsKept) * unitPx);
    const int cutTop = qRound(kChartUnitsAboveCut * unitPx);
    FileChartPicture picture;
    picture.dpi = kChartDpi;
    picture.celsius = in.celsius;
    picture.size = QSize(qRound(placeMm.width() * pxPerMm), qRound(placeMm.height() * pxPerMm) + cutTop + cut);
    const int count = int(rowCount(in));
    picture.range = {1, count, count};
    // The cells of one row are asked for one after another: split it once.
    int cached = -1;
    QStringList fields;
    const QVector<PlotRecord> records = readPlotRecords(
        count + 1,
        [&](int row, int column) {
            if (row != cached) {
                fields = rowAt(in, row - 1);
                cached = row;
            }
            return fields.value(column);
        },
        1, count);
    const QImage image = renderFileChart(picture, records);
    return image.copy(0, cutTop, image.width(), image.height() - cutTop - cut);
}
} // namespace

FullReportOutcome paintFullReport(QPagedPaintDevice &device, const Input &input)
{
    int printed = 0;
    FullReportOutcome outcome = paintReportPages(
        device,
        [&](QSizeF paper, const Measure &measure) {
            Document doc = layout(input, paper, measure);
            printed = doc.printedRecords;
            return doc.pages;
        },
        [&](QPainter &painter, const Page &page, const QRectF &place) {
            painter.drawImage(place, chartImage(input, page.chart));
        });
    outcome.printedRecords = printed;
    return outcome;
}

FullReportOutcome paintReportPages(QPagedPaintDevice &device, const ReportLayout &layoutPages,
                                   const ReportChart &paintChart)
{
    FullReportOutcome outcome;
    const QPageLayout pageLayout = device.pageLayout();
    const QRectF full = pageLayout.fullRectPoints();
    const QPointF origin = pageLayout.paintRectPoints().topLeft() * kMmPerPoint;
    const QSizeF paper = full.size() * kMmPerPoint;

    Fonts fonts(device);
    const double dpiX = device.logicalDpiX(), dpiY = device.logicalDpiY();
    const auto toMm = [dpiX](double px) { return px * 25.4 / dpiX; };
    const Measure measure = [&](const QString &text, const TextStyle &s) {
        return toMm(fonts.metrics(s).horizontalAdvance(text));
    };
    const QVector<Page> pages = layoutPages(paper, measure);

    const auto px = [&](const QPointF &mm) {
        return QPointF((mm.x() - origin.x()) * dpiX / 25.4, (mm.y() - origin.y()) * dpiY / 25.4);
    };
    const auto rect = [&](const QRectF &mm) { return QRectF(px(mm.topLeft()), px(mm.bottomRight())); };

    QPainter painter;
    if (!painter.begin(&device)) {
        outcome.error = QStringLiteral("cannot draw on the output");
        return outcome;
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const Page &page = pages[i];
        if (i > 0 && !device.newPage()) {
            outcome.error = QStringLiteral("cannot start page %1").arg(i + 1);
            painter.end();
            return outcome;
        }
        painter.setPen(Qt::NoPen);
        for (const Fill &f : page.fills)
            painter.fillRect(rect(f.box), QColor::fromRgb(f.rgb));
        for (const Rule &r : page.rules) {
            painter.setPen(QPen(QColor::fromRgb(r.rgb), r.width * dpiX / 25.4));
            painter.drawLine(QLineF(px(r.line.p1()), px(r.line.p2())));
        }
        if (!page.chart.isEmpty())
            paintChart(painter, page, rect(page.chart));
        QRgb pen = 0xFFFFFFFF;
        TextStyle current{Face::Sans, -1};
        for (const Text &t : page.texts) {
            if (t.style.face != current.face || t.style.points != current.points) {
                painter.setFont(fonts.font(t.style));
                current = t.style;
            }
            if (t.rgb != pen) {
                painter.setPen(QColor::fromRgb(t.rgb));
                pen = t.rgb;
            }
            const QFontMetricsF &fm = fonts.metrics(t.style);
            const QRectF box = rect(t.box);
            const bool mono = t.style.face == Face::Mono || t.style.face == Face::MonoBold;
            QString text = t.text;
            double x = box.left();
            // The readings are laid out to fit; a long name or company is
            // cut with a mark rather than run over the next item.
            if (!mono || t.align != Align::Left) {
                double w = fm.horizontalAdvance(text);
                if (!mono && w > box.width() + 0.5) {
                    text = fm.elidedText(text, Qt::ElideRight, box.width());
                    w = fm.horizontalAdvance(text);
                }
                if (t.align != Align::Left)
                    x = t.align == Align::Right ? box.right() - w : box.left() + (box.width() - w) / 2;
            }
            const double baseline = box.top() + (box.height() - fm.ascent() - fm.descent()) / 2 + fm.ascent();
            painter.drawText(QPointF(x, baseline), text);
        }
    }
    if (!painter.end()) {
        outcome.error = QStringLiteral("cannot finish the output");
        return outcome;
    }
    outcome.ok = true;
    outcome.pages = int(pages.size());
    return outcome;
}
