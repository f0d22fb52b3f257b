#include "core/files/LineProtocol.h"

#include "core/files/RecordTime.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <cmath>

namespace {
bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// InfluxDB cannot hold a line break in any element, and a trailing backslash
// would escape the separator that follows it.
bool checkElement(const QString &text, const QString &what, QString *error)
{
    if (text.isEmpty())
        return fail(error, QStringLiteral("%1 is empty").arg(what));
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return fail(error, QStringLiteral("%1 \"%2\" holds a control character").arg(what, text));
    if (text.endsWith(QLatin1Char('\\')))
        return fail(error, QStringLiteral("%1 \"%2\" ends in a backslash").arg(what, text));
    return true;
}

QString escaped(QStringView text, QStringView special)
{
    QString out;
    out.reserve(text.size() + 4);
    for (QChar c : text) {
        if (special.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

// Any finite number, written back in its shortest exact form: a float field
// in line protocol needs no decimal point ("23" is a float, "23i" an integer).
std::optional<QString> fieldValue(const QString &text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// InfluxDB's own limits of a nanosecond timestamp (about 1677 to 2262).
constexpr qint64 kMaxMsecs = 9223372036853LL;

std::optional<qint64> timestampNs(const QString &date, const QString &time, const LineProtocolOptions &options)
{
    const RecordTime rt = parseRecordTime(date, time);
    if (!rt.valid)
        return std::nullopt;
    const QDate d = rt.date();
    const QTime t = rt.time();
    const QDateTime when = options.zone ? QDateTime(d, t, *options.zone) : QDateTime(d, t);
    if (!when.isValid())
        return std::nullopt;
    const qint64 ms = when.toMSecsSinceEpoch();
    if (ms > kMaxMsecs || ms < -kMaxMsecs)
        return std::nullopt;
    return ms * 1000000;
}
} // namespace

bool parseLineProtocolTag(const QString &text, LineProtocolTag &out, QString *error)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return fail(error, QStringLiteral("tag \"%1\": expected K=V").arg(text));
    LineProtocolTag tag{text.left(eq), text.mid(eq + 1)};
    if (!checkElement(tag.key, QStringLiteral("tag key"), error) ||
        !checkElement(tag.value, QStringLiteral("tag value"), error))
        return false;
    if (tag.key == QLatin1String("unit"))
        return fail(error, QStringLiteral("tag \"unit\" is the file's unit and cannot be set"));
    out = tag;
    return true;
}

bool checkMeasurementName(const QString &name, QString *error)
{
    if (!checkElement(name, QStringLiteral("measurement"), error))
        return false;
    if (name.startsWith(QLatin1Char('#')))
        return fail(error, QStringLiteral("measurement \"%1\" starts with \"#\" (a comment line)").arg(name));
    return true;
}

QString escapeMeasurement(QStringView name)
{
    return escaped(name, u", ");
}

QString escapeTagOrFieldKey(QStringView text)
{
    return escaped(text, u",= ");
}

QString seriesPrefix(bool celsius, const LineProtocolOptions &options)
{
    QList<LineProtocolTag> tags = options.tags;
    tags.append({QStringLiteral("unit"), celsius ? QStringLiteral("C") : QStringLiteral("F")});
    // Keys compared by their bytes, as InfluxDB sorts them; a later --tag of
    // the same key replaces the earlier one.
    std::stable_sort(tags.begin(), tags.end(), [](const LineProtocolTag &a, const LineProtocolTag &b) {
        return a.key.toUtf8() < b.key.toUtf8();
    });
    QString prefix = escapeMeasurement(options.measurement);
    for (qsizetype i = 0; i < tags.size(); ++i) {
        if (i + 1 < tags.size() && tags[i + 1].key == tags[i].key)
            continue;
        prefix +=
            QLatin1Char(',') + escapeTagOrFieldKey(tags[i].key) + QLatin1Char('=') + escapeTagOrFieldKey(tags[i].value);
    }
    return prefix;
}

QString lineProtocolLine(const QString &prefix, const QStringList &record, const LineProtocolOptions &options,
                         LineSkip *skip)
{
    auto skipped = [&](LineSkip why) {
        if (skip)
            *skip = why;
        return QString();
    };
    if (record.size() < kDataFields)
        return skipped(LineSkip::NoField);
    // Columns of a data file: temperature, dew point, wet bulb, humidity.
    static const char *const kFields[] = {"temp", "dew", "wet", "rh"};
    QString fields;
    for (int i = 0; i < 4; ++i) {
        const auto v = fieldValue(record[3 + i]);
        if (!v)
            continue;
        if (!fields.isEmpty())
            fields += QLatin1Char(',');
        fields += QLatin1String(kFields[i]) + QLatin1Char('=') + *v;
    }
    if (fields.isEmpty())
        return skipped(LineSkip::NoField);
    const auto ns = timestampNs(record[1], record[2], options);
    if (!ns)
        return skipped(LineSkip::BadTime);
    if (skip)
        *skip = LineSkip::None;
    return prefix + QLatin1Char(' ') + fields + QLatin1Char(' ') + QString::number(*ns);
}

LineProtocolOutput lineProtocolText(const DataFileContents &file, const LineProtocolOptions &options)
{
    return lineProtocolText(
        file.records.size(), [&file](qsizetype i) { return file.records[i]; }, file.celsius, options);
}

LineProtocolOutput lineProtocolText(qsizetype count, const std::function<QStringList(qsizetype)> &record, bool celsius,
                                    const LineProtocolOptions &options)
{
    LineProtocolOutput out;
    const QString prefix = seriesPrefix(celsius, options);
    QString text;
    text.reserve(count * (prefix.size() + 64));
    for (qsizetype i = 0; i < count; ++i) {
        const QStringList r = record(i);
        LineSkip why = LineSkip::None;
        const QString line = lineProtocolLine(prefix, r, options, &why);
        if (why == LineSkip::NoField) {
            ++out.noField;
            continue;
        }
        if (why == LineSkip::BadTime) {
            ++out.badTime;
            continue;
        }
        text += line;
        text += QLatin1Char('\n');
        ++out.lines;
    }
    out.text = text.toUtf8();
    return out;
}
