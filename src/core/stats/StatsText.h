#pragma once

#include "core/stats/Limits.h"
#include "core/stats/Stats.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The figures of RowStats as the panel and the printed report show them:
// Portuguese labels, one decimal and a decimal comma.
namespace statstext {

// "6,3"; "-" for no value.
QString number(double value);
QString number(const std::optional<double> &value);
// "23,5 °C", "70,0 %".
QString withUnit(double value, Quantity q, bool celsius);
QString unit(Quantity q, bool celsius);
// Column heading of a quantity: "Temperatura (°C)", "Orvalho (°C)", "Úmido (°C)", "UR (%)".
QString quantityHeading(Quantity q, bool celsius);
// "30/06/2026 23:50:00"; empty for an invalid time.
QString dateTime(const QDateTime &t);
// "0 s", "45 s", "10 min 05 s", "6 h 40 min 00 s".
QString duration(qint64 seconds);
// "97,9 %".
QString percent(double value);

// The label of the mean kinetic temperature and its value ("6,3 °C", or "-"
// without valid temperatures).
QString mktLabel();
QString mktValue(const RowStats &s);

// "Registros: 144", "Período: 30/06/2026 00:00:00 a 30/06/2026 23:50:00",
// "Temperatura cinética média (TCM): 6,3 °C".
QStringList summaryLines(const RowStats &s);

// The figures by quantity: header "" then the quantities in the order of a
// data file's columns (temperature, dew point, wet bulb, humidity); each row a
// label and one text per quantity. The limit rows come only when `limits`
// holds a bound.
struct Table {
    QStringList header;
    QVector<QStringList> rows;
};
Table table(const RowStats &s, const Limits &limits);

// The quantities in the order of a data file's columns.
constexpr std::array<Quantity, kQuantities> kColumnOrder{Quantity::Temperature, Quantity::DewPoint, Quantity::WetBulb,
                                                         Quantity::Humidity};

} // namespace statstext
