#pragma once

#include "core/stats/Stats.h"

#include <QJsonObject>
#include <QJsonValue>

// The statistics as `stats --json` prints them, for every command that prints them.

// Local wall-clock time as the file holds it, without a zone offset ("2026-06-30T23:50:00").
QString isoLocal(const QDateTime &t);
QJsonValue isoOrNull(const QDateTime &t);
// One quantity: null without a valid value, else valid, invalid, min, min_at,
// max, max_at, mean, stdev, and with a limit below, above, within_percent, outside_seconds.
QJsonValue quantityJson(const std::optional<QuantityStats> &s);
// unit, records, first, last, mkt, and the four quantities by their keys.
QJsonObject rowStatsJson(const RowStats &s);
