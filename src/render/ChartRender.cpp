#include "render/ChartRender.h"

#include "core/charts/ChartLogic.h"
#include "render/ChartPainter.h"

#include <QGuiApplication>
#include <QPainter>

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
