#include "core/charts/ChartLogic.h"

#include "core/reading/Format.h"

#include <cmath>
#include <cstdio>

ChartColor paletteColor(int index)
{
    static constexpr ChartColor palette[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                               0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                               0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    return palette[index & 15];
}

SeriesValue SeriesValue::fromCell(const QString &text)
{
    if (text == QLatin1String("OL"))
        return over();
    if (text == QLatin1String("-OL"))
        return under();
    return number(leadingNumber(text));
}

ChartGeometry ComputeGeometry(double scaleWidth, double scaleHeight)
{
    ChartGeometry g;
    const double width = scaleWidth - 120;
    // Whole-unit rounding with halves to even, then the remainder keeps its sign.
    const long long r = static_cast<long long>(std::nearbyint(width));
    g.PlotLeft = 120;
    g.PlotWidth = width - static_cast<double>(r % 30);
    g.PlotBottom = scaleHeight - 135;
    g.PlotHeight = scaleHeight - 220;
    return g;
}

QString plainDecimalText(double value)
{
    if (value == 0 || !std::isfinite(value))
        return value == 0 ? QStringLiteral("0") : QString::number(value);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const QString e = QString::fromLatin1(buf); // [-]d.dddddddddddddde[+-]xx
    const bool negative = e.startsWith(QLatin1Char('-'));
    const QString body = negative ? e.mid(1) : e;
    const int ePos = body.indexOf(QLatin1Char('e'));
    QString digits = body.left(1) + body.mid(2, ePos - 2);
    const int exponent = body.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    const int intDigits = exponent + 1;
    QString text;
    if (intDigits <= 0)
        text = QStringLiteral("0.") + QString(-intDigits, QLatin1Char('0')) + digits;
    else if (intDigits >= digits.size())
        text = digits + QString(intDigits - digits.size(), QLatin1Char('0'));
    else
        text = digits.left(intDigits) + QLatin1Char('.') + digits.mid(intDigits);
    return negative ? QLatin1Char('-') + text : text;
}

QString FormatAxisValue(double value, AxisTextForm form, const QLocale &locale)
{
    QString text;
    if (form == AxisTextForm::Plain) {
        QString magnitude = plainDecimalText(std::fabs(value));
        if (magnitude.startsWith(QLatin1String("0.")))
            magnitude.remove(0, 1);
        text = (value < 0 ? QLatin1Char('-') : QLatin1Char(' ')) + magnitude;
    } else {
        text = plainDecimalText(value);
        text.replace(QLatin1Char('.'), locale.decimalPoint());
        if (value < 0)
            text.replace(0, 1, locale.negativeSign());
    }
    int sep = text.indexOf(QLatin1Char(','));
    if (sep < 0)
        sep = text.indexOf(QLatin1Char('.'));
    if (sep < 0)
        return text + QStringLiteral(".0");
    if (sep == text.size() - 1)
        return text.left(sep) + QStringLiteral(".0");
    if (sep == 0)
        return QStringLiteral("0.") + text.mid(1, 1);
    return text.left(sep) + QLatin1Char('.') + text.mid(sep + 1, 1);
}

double ValueToY(const SeriesValue &v, double max, double min, const ChartGeometry &g)
{
    double s;
    if (v.kind == SeriesValue::Kind::Over || (v.kind == SeriesValue::Kind::Number && v.value > max))
        s = g.PlotHeight + 5;
    else if (v.kind == SeriesValue::Kind::Under || v.value < min)
        s = -3;
    else
        s = g.PlotHeight * (v.value - min) / (max - min);
    return g.PlotBottom - s;
}

TimeMark liveTimeMark(double cursorX)
{
    if (!std::isfinite(cursorX))
        return TimeMark::None;
    const long long c = static_cast<long long>(std::nearbyint(cursorX));
    if (c % 60 == 0)
        return TimeMark::Major;
    if (c % 30 == 0)
        return TimeMark::Minor;
    return TimeMark::None;
}

TimeMark fileTimeMark(qint64 n, qint64 count)
{
    if (n == 1)
        return TimeMark::Major;
    for (qint64 k = 1; k <= 5; ++k)
        if (n == count * k / 5)
            return TimeMark::Major;
    for (qint64 k = 1; k <= 10; ++k)
        if (n == count * k / 10)
            return TimeMark::Minor;
    return TimeMark::None;
}

double countsFromStep(double plotWidth, double stepX)
{
    return std::nearbyint(plotWidth / stepX);
}
