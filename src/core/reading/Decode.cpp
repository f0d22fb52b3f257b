#include "core/reading/Decode.h"

#include "core/reading/Format.h"
#include "core/reading/Psychro.h"

#include <cmath>

namespace {
QLocale &localeSlot()
{
    static QLocale locale;
    return locale;
}

double toF(double c)
{
    return c * 1.8 + 32;
}

// A measured text (two decimals) cut to one decimal: "23,45" -> "23,4".
QString cutToOneDecimal(const QString &text)
{
    qsizetype sep = text.indexOf(QLatin1Char(','));
    if (sep < 0)
        sep = text.indexOf(QLatin1Char('.'));
    if (sep < 0 || text.size() - sep <= 2)
        return text;
    return text.left(sep + 2);
}
} // namespace

QLocale displayLocale()
{
    return localeSlot();
}
void setDisplayLocale(const QLocale &locale)
{
    localeSlot() = locale;
}

void DecodeStatus(Reading &r, quint8 status)
{
    unsigned s = status;
    r.MemoryFull = s % 2;
    s /= 2;
    r.InstrumentRecording = s % 2;
    s /= 2;
    r.Hold = s % 2;
}

void DecodeTemperature(Reading &r, quint8 high, quint8 low)
{
    const int w = high * 256 + low;
    r.TempC = w / 100.0 - 50;
    r.TempF = toF(r.TempC);
    const QLocale loc = displayLocale();
    r.TempCText = formatFixed(r.TempC, 2, loc);
    r.TempFText = formatFixed(r.TempF, 2, loc);
}

void DecodeHumidity(Reading &r, quint8 high, quint8 low)
{
    r.LowBattery = (high / 128) != 0;
    const int w = high * 256 + low;
    r.Rh = r.LowBattery ? (w - 32768) / 100.0 : w / 100.0;
    r.RhText = formatFixed(r.Rh, 2, displayLocale());
}

void ComputeDewWet(Reading &r, const QString &tempCText, const QString &rhText)
{
    const QLocale loc = displayLocale();
    // Both texts are read as the numbers they denote, whatever the separator.
    const double t = textValue(tempCText, loc);
    const double rh = textValue(rhText, loc);

    if (rh >= 100 && std::isfinite(t)) {
        // Saturated air: dew point and wet bulb are the air temperature.
        r.DewCText = r.WetCText = cutToOneDecimal(tempCText);
        r.DewFText = r.WetFText = cutToOneDecimal(r.TempFText.isEmpty() ? formatFixed(toF(t), 2, loc) : r.TempFText);
        r.DewC = r.WetC = t;
        r.DewF = r.WetF = toF(t);
        return;
    }
    const QString none = QStringLiteral("----");
    const double e = 0.01 * rh * psychro::saturationPressure(t + psychro::kKelvin);
    const psychro::WetBulb wet = rh > 0 ? psychro::wetBulbSearch(t, e) : psychro::WetBulb{};
    if (!wet.found) {
        // No humidity (or no usable reading): no dew point, no wet bulb.
        r.DewCText = r.DewFText = r.WetCText = r.WetFText = none;
        return;
    }
    r.DewC = psychro::dewPointC(e);
    r.WetC = wet.wetC;
    r.DewF = toF(r.DewC);
    r.WetF = toF(r.WetC);
    r.DewCText = formatFixed(r.DewC, 1, loc);
    r.WetCText = formatFixed(r.WetC, 1, loc);
    r.DewFText = formatFixed(toF(textValue(r.DewCText, loc)), 1, loc);
    r.WetFText = formatFixed(toF(textValue(r.WetCText, loc)), 1, loc);
}

QString ToDotText(const QString &x)
{
    const qsizetype p = x.indexOf(QLatin1Char(',')) + 1;
    const qsizetype q = x.indexOf(QLatin1Char('.')) + 1;
    const qsizetype len = x.size();
    if (p == 0 && q == 0 && !x.contains(QLatin1Char('L')))
        return x + QLatin1String(".0");
    if (p == len)
        return x.left(p - 1) + QLatin1String(".0");
    if (p == 1)
        return QLatin1String("0.") + x.mid(1, 1);
    if (p > 1)
        return x.left(p - 1) + QLatin1Char('.') + x.mid(p, 1);
    if (q == 0)
        return x;
    return x.left(q - 1) + QLatin1Char('.') + x.mid(q, 1);
}

void fillDotTexts(Reading &r)
{
    r.TempCDot = ToDotText(r.TempCText);
    r.RhDot = ToDotText(r.RhText);
    r.TempFDot = ToDotText(r.TempFText);
    r.DewCDot = ToDotText(r.DewCText);
    r.DewFDot = ToDotText(r.DewFText);
    r.WetCDot = ToDotText(r.WetCText);
    r.WetFDot = ToDotText(r.WetFText);
}

void decodeRecord(Reading &r, quint8 rhHigh, quint8 rhLow, quint8 tHigh, quint8 tLow)
{
    DecodeTemperature(r, tHigh, tLow);
    DecodeHumidity(r, rhHigh, rhLow);
    ComputeDewWet(r, r.TempCText, r.RhText);
    fillDotTexts(r);
}

void decodeFrame(Reading &r, const QByteArray &frame)
{
    if (frame.size() < 6)
        return;
    const auto b = [&](int i) { return quint8(frame[i]); };
    DecodeStatus(r, b(1));
    decodeRecord(r, b(2), b(3), b(4), b(5));
}
