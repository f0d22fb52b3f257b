#include "core/stats/Limits.h"

#include <QLocale>

#include <cmath>

namespace {
constexpr std::array<const char *, kQuantities> kKeys{"temp", "rh", "dew", "wet"};

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

std::optional<double> parseDecimal(QString text)
{
    text = text.trimmed();
    if (!text.contains(QLatin1Char('.')) && text.count(QLatin1Char(',')) == 1)
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString quantityKey(Quantity q)
{
    return QLatin1String(kKeys[size_t(q)]);
}

std::optional<Quantity> quantityFromKey(const QString &key)
{
    for (int i = 0; i < kQuantities; ++i)
        if (key == QLatin1String(kKeys[size_t(i)]))
            return Quantity(i);
    return std::nullopt;
}

int quantityColumn(Quantity q)
{
    switch (q) {
    case Quantity::Temperature: return 3;
    case Quantity::DewPoint: return 4;
    case Quantity::WetBulb: return 5;
    case Quantity::Humidity: return 6;
    }
    return 3;
}

bool Limits::any() const
{
    for (const Bounds &b : bounds)
        if (b.isSet())
            return true;
    return false;
}

bool parseLimit(const QString &text, Limits &limits, QString *error)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return fail(error, QStringLiteral("limit \"%1\": expected Q=LOW:HIGH").arg(text));
    const QString key = text.left(eq).trimmed().toLower();
    const auto q = quantityFromKey(key);
    if (!q)
        return fail(error, QStringLiteral("limit \"%1\": unknown quantity \"%2\" (temp, rh, dew or wet)")
                               .arg(text, text.left(eq).trimmed()));
    const QString range = text.mid(eq + 1);
    const QStringList parts = range.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return fail(error, QStringLiteral("limit \"%1\": expected LOW:HIGH after \"=\" (e.g. %2=:70)").arg(text, key));
    Bounds b;
    const QString names[2] = {QStringLiteral("low"), QStringLiteral("high")};
    for (int i = 0; i < 2; ++i) {
        if (parts[i].trimmed().isEmpty())
            continue;
        const auto v = parseDecimal(parts[i]);
        if (!v)
            return fail(error, QStringLiteral("limit \"%1\": the %2 bound \"%3\" is not a number")
                                   .arg(text, names[i], parts[i].trimmed()));
        (i == 0 ? b.low : b.high) = v;
    }
    if (!b.isSet())
        return fail(error, QStringLiteral("limit \"%1\": give a low bound, a high bound or both").arg(text));
    if (b.low && b.high && *b.low > *b.high)
        return fail(error, QStringLiteral("limit \"%1\": the low bound is above the high bound").arg(text));
    limits[*q] = b;
    return true;
}
