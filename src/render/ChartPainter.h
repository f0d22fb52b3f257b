#pragma once

#include "core/charts/ChartSurface.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <optional>
#include <vector>

// The chart drawing surface on a QImage. Chart units map to pixels through
// the dpi (a horizontal unit is 11.894 twips, a vertical one 15 twips, 1440
// twips per inch); every coordinate is rounded to a whole pixel and lines are
// drawn without antialiasing, so the same calls always give the same pixels.
// The painter is opened on the first drawing call; suspend() closes it (the
// image may then be shown, replaced or handed to a printer) and the next call
// opens it again.
class ChartPainter : public ChartSurface {
public:
    ChartPainter(QImage &image, const QFont &font, double dpiX = 96, double dpiY = 96);
    ~ChartPainter() override;
    ChartPainter(const ChartPainter &) = delete;
    ChartPainter &operator=(const ChartPainter &) = delete;

    double scaleWidth() const override;
    double scaleHeight() const override;
    void clear() override;
    void line(double x1, double y1, double x2, double y2, ChartColor color) override;
    void fillBox(double x1, double y1, double x2, double y2, ChartColor color) override;
    void printText(const QString &text) override;
    double textWidth(const QString &text) const override;
    double textHeight(const QString &text) const override;

    void suspend();
    // A fresh white picture of `size` pixels in place of the current one.
    void replaceImage(QSize size);

    // Pixels per chart unit.
    double pixelsPerUnitX() const { return sx_; }
    double pixelsPerUnitY() const { return sy_; }
    int toPixelX(double x) const;
    int toPixelY(double y) const;

    // Twips per chart unit.
    static constexpr double kTwipsPerUnitX = 11.894;
    static constexpr double kTwipsPerUnitY = 15.0;

    // The fonts of the two chart windows (8.25 pt).
    static QFont liveChartFont();
    static QFont fileChartFont();

private:
    QPainter &painter();
    void usePen(ChartColor color);
    bool plainLine(int x0, int y0, int x1, int y1, ChartColor color);

    QImage &image_;
    double dpiX_;
    double dpiY_;
    QFont font_;
    QFontMetricsF metrics_;
    double sx_;
    double sy_;
    std::optional<QPainter> painter_;
    // Pens built once: the plot switches colour for every segment.
    struct CachedPen {
        int width;
        DrawStyle style;
        ChartColor color;
        QPen pen;
    };
    std::vector<CachedPen> pens_;
    bool penValid_ = false;
    int penWidth_ = 0;
    DrawStyle penStyle_ = DrawStyle::Solid;
    ChartColor penColor_ = 0;
};
