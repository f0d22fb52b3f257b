#include "core/report/PageFlow.h"

#include "core/stats/StatsText.h"

namespace fullreport {

double lineHeight(const TextStyle &s, double factor)
{
    return s.points * kMmPerPoint * factor;
}

QString dash()
{
    return QStringLiteral("—");
}

PageFlow::PageFlow(QVector<Page> &pages, QSizeF paper, const Measure &measure)
    : pages_(pages), paper_(paper), measure_(measure), width_(paper.width() - 2 * kMarginX)
{
    newPage();
}

void PageFlow::newPage()
{
    pages_.append(Page{});
    y = top();
}

void PageFlow::need(double height)
{
    if (room() < height)
        newPage();
}

void PageFlow::text(double x, double w, double h, const QString &t, const TextStyle &s, Align a, unsigned rgb)
{
    page().texts.append(Text{QRectF(x, y, w, h), t, s, a, rgb});
}

void PageFlow::rule(double x1, double x2, double yy, double width, unsigned rgb)
{
    page().rules.append(Rule{QLineF(x1, yy, x2, yy), width, rgb});
}

void PageFlow::section(const QString &t)
{
    need(lineHeight(kSection) + 20);
    y += 2;
    text(left(), width(), lineHeight(kSection), t, kSection);
    y += lineHeight(kSection);
    rule(left(), right(), y, 0.3);
    y += 1.5;
}

QStringList PageFlow::wrap(const QString &t, double w, const TextStyle &s) const
{
    QStringList lines;
    QString line;
    for (const QString &word : t.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && measure(candidate, s) > w) {
            lines << line;
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty() || lines.isEmpty())
        lines << line;
    return lines;
}

void PageFlow::paragraph(const QString &t, const TextStyle &s, unsigned rgb)
{
    const double h = lineHeight(s);
    for (const QString &part : t.split(QLatin1Char('\n'))) {
        for (const QString &line : wrap(part, width(), s)) {
            need(h);
            text(left(), width(), h, line, s, Align::Left, rgb);
            y += h;
        }
    }
}

void PageFlow::finish(const QString &headLeft, const QString &headRight, const QDateTime &madeAt)
{
    const int count = int(pages_.size());
    const QString made = QStringLiteral("Emitido em ") + statstext::dateTime(madeAt);
    const double h = lineHeight(kRunning);
    const double footY = paper_.height() - kMarginBottom - h;
    for (int i = 0; i < count; ++i) {
        Page &p = pages_[i];
        // Each half of the line its own: a long file name is cut, never run over the title.
        p.texts.append(Text{QRectF(left(), kMarginTop, width() / 2, h), headLeft, kRunning, Align::Left, kGrey});
        p.texts.append(
            Text{QRectF(left() + width() / 2, kMarginTop, width() / 2, h), headRight, kRunning, Align::Right, kGrey});
        p.rules.append(Rule{QLineF(left(), kMarginTop + h + 0.8, right(), kMarginTop + h + 0.8), 0.2, kRuleGrey});
        p.rules.append(Rule{QLineF(left(), footY - 0.8, right(), footY - 0.8), 0.2, kRuleGrey});
        p.texts.append(Text{QRectF(left(), footY, width() / 2, h), made, kRunning, Align::Left, kGrey});
        p.texts.append(Text{QRectF(left() + width() / 2, footY, width() / 2, h),
                            QStringLiteral("Página %1 de %2").arg(i + 1).arg(count), kRunning, Align::Right, kGrey});
    }
}

} // namespace fullreport
