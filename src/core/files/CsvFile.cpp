#include "core/files/CsvFile.h"

#include "core/files/RecordTime.h"

namespace {
QString csvField(const QString &text, QChar sep)
{
    if (!text.contains(sep) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

// A value field: "----.0" (no value) becomes an empty cell; overload marks
// and any other text stay as they are; numbers take the decimal comma on request.
QString valueCell(const QString &field, bool decimalComma)
{
    if (field == QLatin1String("----.0"))
        return {};
    if (!decimalComma)
        return field;
    bool ok = false;
    QLocale::c().toDouble(field, &ok);
    return ok ? QString(field).replace(QLatin1Char('.'), QLatin1Char(',')) : field;
}

// ISO 8601 local date-time; a date or time that does not parse keeps its texts.
QString dateTimeCell(const QString &date, const QString &time)
{
    const RecordTime t = parseRecordTime(date, time);
    if (t.valid)
        return t.isoText();
    if (date.isEmpty() || time.isEmpty())
        return date + time;
    return date + QLatin1Char(' ') + time;
}

// One line of cells with CR LF.
void appendLine(QString &csv, const QStringList &cells, QChar separator)
{
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i)
            csv += separator;
        csv += csvField(cells[i], separator);
    }
    csv += QLatin1String("\r\n");
}

QByteArray finish(const QString &csv, const CsvStyle &style)
{
    QByteArray bytes = style.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    bytes += csv.toUtf8();
    return bytes;
}

} // namespace

CsvStyle CsvStyle::forLocale(const QLocale &locale)
{
    return locale.decimalPoint() == QStringLiteral(",") ? spreadsheet() : plain();
}

QByteArray csvBytes(const QVector<QStringList> &records, bool celsius, const CsvStyle &style)
{
    return csvBytes(
        records.size(), [&records](qsizetype i) { return records[i]; }, celsius, style);
}

QByteArray csvBytes(qsizetype count, const std::function<QStringList(qsizetype)> &record, bool celsius,
                    const CsvStyle &style)
{
    const QString unit = celsius ? QStringLiteral("°C") : QStringLiteral("°F");
    const QStringList header{QStringLiteral("N°"),
                             QStringLiteral("Data e hora"),
                             QStringLiteral("Temperatura (%1)").arg(unit),
                             QStringLiteral("Orvalho (%1)").arg(unit),
                             QStringLiteral("Úmido (%1)").arg(unit),
                             QStringLiteral("UR (%)")};
    QString csv;
    csv.reserve(count * 48 + 128);
    const auto line = [&](const QStringList &cells) { appendLine(csv, cells, style.separator); };
    line(header);
    const auto field = [](const QStringList &r, int i) { return r.value(i); };
    for (qsizetype i = 0; i < count; ++i) {
        const QStringList r = record(i);
        line({field(r, 0), dateTimeCell(field(r, 1), field(r, 2)), valueCell(field(r, 3), style.decimalComma),
              valueCell(field(r, 4), style.decimalComma), valueCell(field(r, 5), style.decimalComma),
              valueCell(field(r, 6), style.decimalComma)});
    }
    return finish(csv, style);
}

QByteArray csvTableBytes(const QStringList &header, const QVector<QStringList> &rows, const CsvStyle &style)
{
    QString csv;
    appendLine(csv, header, style.separator);
    for (const QStringList &row : rows) {
        QStringList cells;
        cells.reserve(row.size());
        for (const QString &cell : row)
            cells << valueCell(cell, style.decimalComma);
        appendLine(csv, cells, style.separator);
    }
    return finish(csv, style);
}
