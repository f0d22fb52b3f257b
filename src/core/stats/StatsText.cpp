#include "core/stats/StatsText.h"

#include "core/reading/Format.h"

#include <QLocale>

#include <functional>

namespace statstext {
namespace {
const QLocale &portuguese()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

QString boundText(const std::optional<double> &v, Quantity q, bool celsius)
{
    return v ? withUnit(*v, q, celsius) : QStringLiteral("-");
}
} // namespace

QString number(double value)
{
    return formatFixed(value, 1, portuguese());
}

QString number(const std::optional<double> &value)
{
    return value ? number(*value) : QStringLiteral("-");
}

QString unit(Quantity q, bool celsius)
{
    if (q == Quantity::Humidity)
        return QStringLiteral("%");
    return celsius ? QStringLiteral("°C") : QStringLiteral("°F");
}

QString withUnit(double value, Quantity q, bool celsius)
{
    return number(value) + QLatin1Char(' ') + unit(q, celsius);
}

QString quantityHeading(Quantity q, bool celsius)
{
    const QString u = QStringLiteral(" (") + unit(q, celsius) + QLatin1Char(')');
    switch (q) {
    case Quantity::Temperature: return QStringLiteral("Temperatura") + u;
    case Quantity::DewPoint: return QStringLiteral("Orvalho") + u;
    case Quantity::WetBulb: return QStringLiteral("Úmido") + u;
    case Quantity::Humidity: return QStringLiteral("UR") + u;
    }
    return {};
}

QString dateTime(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString();
}

QString duration(qint64 seconds)
{
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (h > 0)
        return QStringLiteral("%1 h %2 min %3 s").arg(h).arg(two(m), two(s));
    if (m > 0)
        return QStringLiteral("%1 min %2 s").arg(m).arg(two(s));
    return QStringLiteral("%1 s").arg(s);
}

QString percent(double value)
{
    return number(value) + QStringLiteral(" %");
}

QString mktLabel()
{
    return QStringLiteral("Temperatura cinética média (TCM)");
}

QString mktValue(const RowStats &s)
{
    return s.mkt ? withUnit(*s.mkt, Quantity::Temperature, s.celsius) : QStringLiteral("-");
}

QStringList summaryLines(const RowStats &s)
{
    QStringList lines{QStringLiteral("Registros: %1").arg(s.records)};
    if (s.first.isValid())
        lines << QStringLiteral("Período: %1 a %2").arg(dateTime(s.first), dateTime(s.last));
    lines << mktLabel() + QStringLiteral(": ") + mktValue(s);
    return lines;
}

Table table(const RowStats &s, const Limits &limits)
{
    Table t;
    t.header << QString();
    for (Quantity q : kColumnOrder)
        t.header << quantityHeading(q, s.celsius);

    using Cell = std::function<QString(Quantity, const QuantityStats &)>;
    const auto row = [&](const QString &label, const Cell &cell, bool limitedOnly = false) {
        QStringList r{label};
        for (Quantity q : kColumnOrder) {
            const auto &st = s[q];
            if (!st)
                r << (limitedOnly && !limits[q].isSet() ? QString() : QStringLiteral("-"));
            else if (limitedOnly && !st->limited)
                r << QString();
            else
                r << cell(q, *st);
        }
        t.rows << r;
    };
    const bool c = s.celsius;
    row(QStringLiteral("Valores válidos"), [](Quantity, const QuantityStats &st) { return QString::number(st.valid); });
    row(QStringLiteral("Inválidos"), [](Quantity, const QuantityStats &st) { return QString::number(st.invalid); });
    row(QStringLiteral("Mínimo"), [c](Quantity q, const QuantityStats &st) { return withUnit(st.min, q, c); });
    row(QStringLiteral("Mínimo em"), [](Quantity, const QuantityStats &st) { return dateTime(st.minAt); });
    row(QStringLiteral("Máximo"), [c](Quantity q, const QuantityStats &st) { return withUnit(st.max, q, c); });
    row(QStringLiteral("Máximo em"), [](Quantity, const QuantityStats &st) { return dateTime(st.maxAt); });
    row(QStringLiteral("Média"), [c](Quantity q, const QuantityStats &st) { return withUnit(st.mean, q, c); });
    row(QStringLiteral("Desvio padrão"), [c](Quantity q, const QuantityStats &st) {
        return st.stdev ? withUnit(*st.stdev, q, c) : QStringLiteral("-");
    });
    if (!limits.any())
        return t;
    row(
        QStringLiteral("Limite inferior"),
        [&](Quantity q, const QuantityStats &) { return boundText(limits[q].low, q, c); }, true);
    row(
        QStringLiteral("Limite superior"),
        [&](Quantity q, const QuantityStats &) { return boundText(limits[q].high, q, c); }, true);
    row(
        QStringLiteral("Abaixo do limite"), [](Quantity, const QuantityStats &st) { return QString::number(st.below); },
        true);
    row(
        QStringLiteral("Acima do limite"), [](Quantity, const QuantityStats &st) { return QString::number(st.above); },
        true);
    row(
        QStringLiteral("Dentro dos limites"),
        [](Quantity, const QuantityStats &st) { return percent(st.withinPercent); }, true);
    row(
        QStringLiteral("Fora dos limites"),
        [](Quantity, const QuantityStats &st) { return duration(st.outsideSeconds); }, true);
    return t;
}

} // namespace statstext
