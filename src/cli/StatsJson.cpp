#include "cli/StatsJson.h"

QString isoLocal(const QDateTime &t)
{
    if (!t.isValid())
        return {};
    return t.date().toString(Qt::ISODate) + QLatin1Char('T') + t.time().toString(QStringLiteral("HH:mm:ss"));
}

QJsonValue isoOrNull(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(isoLocal(t)) : QJsonValue(QJsonValue::Null);
}

QJsonValue quantityJson(const std::optional<QuantityStats> &s)
{
    if (!s)
        return QJsonValue(QJsonValue::Null);
    QJsonObject o{{QStringLiteral("valid"), s->valid},
                  {QStringLiteral("invalid"), s->invalid},
                  {QStringLiteral("min"), s->min},
                  {QStringLiteral("min_at"), isoOrNull(s->minAt)},
                  {QStringLiteral("max"), s->max},
                  {QStringLiteral("max_at"), isoOrNull(s->maxAt)},
                  {QStringLiteral("mean"), s->mean},
                  {QStringLiteral("stdev"), s->stdev ? QJsonValue(*s->stdev) : QJsonValue(QJsonValue::Null)}};
    if (s->limited) {
        o.insert(QStringLiteral("below"), s->below);
        o.insert(QStringLiteral("above"), s->above);
        o.insert(QStringLiteral("within_percent"), s->withinPercent);
        o.insert(QStringLiteral("outside_seconds"), s->outsideSeconds);
    }
    return o;
}

QJsonObject rowStatsJson(const RowStats &s)
{
    QJsonObject o{{QStringLiteral("unit"), s.celsius ? QStringLiteral("C") : QStringLiteral("F")},
                  {QStringLiteral("records"), s.records},
                  {QStringLiteral("first"), isoOrNull(s.first)},
                  {QStringLiteral("last"), isoOrNull(s.last)},
                  {QStringLiteral("mkt"), s.mkt ? QJsonValue(*s.mkt) : QJsonValue(QJsonValue::Null)}};
    for (int k = 0; k < kQuantities; ++k)
        o.insert(quantityKey(Quantity(k)), quantityJson(s[Quantity(k)]));
    return o;
}
