#include "core/reading/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {
// The value's decimal text with 15 significant digits: the 15 digits
// (without point) and the decimal exponent of the first one.
struct Digits15 {
    char digits[15];
    int exponent = 0;
    bool negative = false;
};

Digits15 digits15(double value)
{
    Digits15 d;
    char buf[40];
    // Always "d.ddddddddddddddde[+-]x", whatever the C locale says.
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const char *p = buf;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    int n = 0;
    for (; p < res.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9' && n < 15)
            d.digits[n++] = *p;
    while (n < 15)
        d.digits[n++] = '0';
    if (p < res.ptr && *p == 'e') {
        ++p;
        int e = 0;
        std::from_chars(*p == '+' ? p + 1 : p, res.ptr, e);
        d.exponent = e;
    }
    return d;
}
} // namespace

double quantize15(double value)
{
    if (!std::isfinite(value))
        return value;
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    double out = 0;
    std::from_chars(buf, res.ptr, out);
    return out;
}

QString formatFixed(double value, int decimals, const QLocale &locale)
{
    if (!std::isfinite(value))
        return QStringLiteral("----");
    decimals = std::clamp(decimals, 0, 20);
    const Digits15 d = digits15(value);
    // Digit string of the magnitude scaled by 10^decimals, rounded half away
    // from zero at the cut: keep = digits before the cut.
    const int keep = d.exponent + 1 + decimals;
    QByteArray mag; // decimal digits of round(|value| * 10^decimals)
    if (keep >= 15) {
        mag = QByteArray(d.digits, 15) + QByteArray(keep - 15, '0');
    } else if (keep >= 0) {
        mag = QByteArray(d.digits, keep);
        if (d.digits[keep] >= '5') {
            int i = keep - 1;
            while (i >= 0 && mag[i] == '9')
                mag[i--] = '0';
            if (i >= 0)
                mag[i] = char(mag[i] + 1);
            else
                mag.prepend('1');
        }
    }
    // Left-pad so that there is at least one integer digit.
    if (mag.size() < decimals + 1)
        mag.prepend(QByteArray(decimals + 1 - mag.size(), '0'));
    const bool zero = mag.count('0') == mag.size();
    QString out;
    if (d.negative && !zero)
        out += QLatin1Char('-');
    out += QLatin1String(mag.constData(), mag.size() - decimals);
    if (decimals > 0) {
        out += locale.decimalPoint();
        out += QLatin1String(mag.constData() + mag.size() - decimals, decimals);
    }
    return out;
}

double leadingNumber(const QString &text)
{
    QByteArray s;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        if (text[i] == QLatin1Char('-'))
            s += '-';
        ++i;
    }
    bool point = false;
    bool digit = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            s += char(c.unicode());
            digit = true;
        } else if (c == QLatin1Char('.') && !point) {
            s += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digit)
        return 0;
    double v = 0;
    const char *b = s.constData();
    const auto res = std::from_chars(b, b + s.size(), v);
    if (res.ec == std::errc::result_out_of_range)
        return s.startsWith('-') ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return v;
}

double textValue(const QString &text, const QLocale &locale)
{
    // Display texts carry no group separators, so a comma or the locale's
    // separator can only be the decimal separator.
    QString t = text;
    const QString sep = locale.decimalPoint();
    if (sep != QLatin1String("."))
        t.replace(sep, QLatin1String("."));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    return leadingNumber(t);
}

long long roundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double kMax = 9.0e18;
    if (value >= kMax)
        return static_cast<long long>(kMax);
    if (value <= -kMax)
        return -static_cast<long long>(kMax);
    // The default rounding mode sends exact halves to the even neighbour.
    return static_cast<long long>(std::nearbyint(value));
}
