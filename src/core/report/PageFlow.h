#pragma once

#include "core/report/FullReport.h"

#include <QDateTime>

// What the printed reports share: their margins, text styles, and the flow
// that lays items out page after page with the running head and foot.
namespace fullreport {

constexpr double kMmPerPoint = 25.4 / 72.0;
constexpr double kMarginX = 15;
constexpr double kMarginTop = 12;
constexpr double kMarginBottom = 12;
constexpr double kPad = 1.5; // between a table cell's text and its edges

constexpr TextStyle kRunning{Face::Sans, 7.5};
constexpr TextStyle kTitle{Face::SansBold, 14};
constexpr TextStyle kSection{Face::SansBold, 10.5};
constexpr TextStyle kLabel{Face::SansBold, 9};
constexpr TextStyle kValue{Face::Sans, 9};
constexpr TextStyle kNote{Face::Sans, 7.5};
constexpr unsigned kGrey = 0x606060;
constexpr unsigned kRuleGrey = 0xB0B0B0;

double lineHeight(const TextStyle &s, double factor = 1.45);
QString dash();

// Lays out page after page: `y` runs down the body of the current page.
class PageFlow {
public:
    PageFlow(QVector<Page> &pages, QSizeF paper, const Measure &measure);

    double left() const { return kMarginX; }
    double right() const { return paper_.width() - kMarginX; }
    double width() const { return width_; }
    double bottom() const { return paper_.height() - kMarginBottom - lineHeight(kRunning) - 2; }
    double top() const { return kMarginTop + lineHeight(kRunning) + 3; }
    double room() const { return bottom() - y; }
    Page &page() { return pages_.last(); }
    int pageCount() const { return int(pages_.size()); }
    double measure(const QString &text, const TextStyle &style) const { return measure_(text, style); }

    void newPage();
    // A new page unless `height` still fits on this one.
    void need(double height);
    void text(double x, double w, double h, const QString &t, const TextStyle &s, Align a = Align::Left,
              unsigned rgb = 0);
    void rule(double x1, double x2, double yy, double width = 0.2, unsigned rgb = 0);
    void section(const QString &t);
    // `t` in lines that fit `w`, broken between words (a word longer than
    // the line is cut by the painter with a mark).
    QStringList wrap(const QString &t, double w, const TextStyle &s) const;
    // A paragraph from `left()` across the width, moving `y` down; "\n" starts a new line.
    void paragraph(const QString &t, const TextStyle &s, unsigned rgb = 0);

    // The running head and foot, once every page is known: `headLeft` and
    // `headRight` on top, the time it was made and "Página N de M" below.
    void finish(const QString &headLeft, const QString &headRight, const QDateTime &madeAt);

    double y = 0;

private:
    QVector<Page> &pages_;
    QSizeF paper_;
    const Measure &measure_;
    double width_;
};

} // namespace fullreport
