#include "render/ChartRender.h"

#include "core/charts/ChartLogic.h"
#include "render/ChartPainter.h"
#include "render/PdfInMemory.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

QImage renderFileChart(const FileChartPicture &picture, const QVector<PlotRecord> &records)
{
    QImage image(picture.size, QImage::Format_RGB32);
    image.fill(Qt::white);
    ChartPainter surface(image, ChartPainter::fileChartFont(), picture.dpi, picture.dpi);
    const ChartGeometry g = ComputeGeometry(surface.scaleWidth(), surface.scaleHeight());
    SweepState sweep;
    sweep.StepX = fileStepX(g, picture.range.count);
    DrawChartFrame(surface, g, picture.scale, ChartKind::File, sweep);
    PlotFileRecords(surface, g, sweep, picture.scale, picture.celsius, records, picture.range, paletteColor(7),
                    picture.order);
    surface.suspend();

    if (picture.name.isEmpty() && picture.sector.isEmpty() && picture.company.isEmpty())
        return image;
    // The text block as the window shows it: labels at 90 twips (the company
    // label at the left edge), boxes from 960 twips on, rows 100, 68 and 36
    // units above the bottom.
    QPainter p(&image);
    p.setFont(QGuiApplication::font());
    const QFontMetrics fm = p.fontMetrics();
    const int boxHeight = fm.height() + 6;
    const QString labels[3] = {QStringLiteral("Nome:"), QStringLiteral("Setor:"), QStringLiteral("Empresa:")};
    const QString values[3] = {picture.name, picture.sector, picture.company};
    const double rows[3] = {100, 68, 36};
    const int boxLeft = surface.toPixelX(80.712);
    const int boxWidth = surface.toPixelX(404.36);
    for (int r = 0; r < 3; ++r) {
        const int top = surface.toPixelY(surface.scaleHeight() - rows[r]);
        const int labelLeft = r == 2 ? 0 : surface.toPixelX(7.567);
        p.setPen(Qt::black);
        p.drawText(QRect(labelLeft, top, boxLeft - labelLeft, boxHeight), Qt::AlignLeft | Qt::AlignVCenter, labels[r]);
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawRect(boxLeft, top, boxWidth - 1, boxHeight - 1);
        p.setPen(Qt::black);
        p.drawText(QRect(boxLeft + 3, top, boxWidth - 6, boxHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(values[r], Qt::ElideRight, boxWidth - 6));
    }
    return image;
}

void paintChartPage(QPaintDevice &device, const QImage &image, double dpi)
{
    QPainter p(&device);
    QSizeF size(image.width() * device.logicalDpiX() / dpi, image.height() * device.logicalDpiY() / dpi);
    if (size.width() > device.width() || size.height() > device.height())
        size.scale(QSizeF(device.width(), device.height()), Qt::KeepAspectRatio);
    p.drawImage(QRectF(QPointF(0, 0), size), image);
}

FileChartPicture savedChartPicture(FileChartPicture picture)
{
    if (picture.size.width() >= kSavedChartWidth)
        return picture;
    // The proportions of a landscape page; the text grows with the height,
    // so the chart keeps the design's room for it and takes the extra width
    // for the plot.
    const QSize size(kSavedChartWidth, qRound(kSavedChartWidth / std::sqrt(2.0)));
    picture.dpi *= double(size.height()) / picture.size.height();
    picture.size = size;
    return picture;
}

QImage withTitle(const QImage &chart, const QString &title, double dpi)
{
    if (title.isEmpty())
        return chart;
    QFont font = QGuiApplication::font();
    font.setPointSizeF(9);
    font.setBold(true);
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(dpi / 0.0254));
    probe.setDotsPerMeterY(qRound(dpi / 0.0254));
    QPainter measure(&probe);
    measure.setFont(font);
    const QFontMetrics fm = measure.fontMetrics();
    measure.end();
    const int band = fm.height() * 2;
    QImage out(chart.width(), chart.height() + band, QImage::Format_RGB32);
    out.setDotsPerMeterX(probe.dotsPerMeterX());
    out.setDotsPerMeterY(probe.dotsPerMeterY());
    out.fill(Qt::white);
    QPainter p(&out);
    p.setFont(font);
    p.setPen(QColor(0x12, 0x26, 0x3f));
    const int margin = fm.height() / 2;
    p.drawText(QRect(margin, 0, chart.width() - 2 * margin, band), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(title, Qt::ElideRight, chart.width() - 2 * margin));
    p.drawImage(0, band, chart);
    return out;
}

QString chartTitle(const QString &source, int from, int to, const QString &first, const QString &last)
{
    QStringList parts;
    if (!source.isEmpty())
        parts << source;
    if (to >= from)
        parts << QStringLiteral("registros %1 a %2").arg(from).arg(to);
    if (!first.isEmpty())
        parts << (last.isEmpty() || last == first ? first : QStringLiteral("%1 a %2").arg(first, last));
    return parts.join(QStringLiteral(" — "));
}

void paintChartFullPage(QPaintDevice &device, const QImage &image)
{
    QPainter p(&device);
    QSizeF size = image.size();
    size.scale(QSizeF(device.width(), device.height()), Qt::KeepAspectRatio);
    const QPointF at((device.width() - size.width()) / 2, (device.height() - size.height()) / 2);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(at, size), image);
}

QByteArray chartPdf(const QImage &image, const QString &title, const QString &creator)
{
    PdfInMemory pdf(title, 300, creator);
    pdf.writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                         QPageLayout::Millimeter));
    paintChartFullPage(pdf.writer, image);
    return pdf.bytes();
}
