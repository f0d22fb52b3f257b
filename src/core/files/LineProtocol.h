#pragma once

#include "core/files/DataFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <functional>
#include <optional>

// InfluxDB line protocol of a data file's records, so that a logger set or an
// old recording can be loaded into InfluxDB afterwards:
//   termohigrometro,site=lab\ 2,unit=C temp=23,dew=13.5,wet=17.2,rh=55 1796728142000000000

struct LineProtocolTag {
    QString key, value;
};

struct LineProtocolOptions {
    QString measurement = QStringLiteral("termohigrometro");
    QList<LineProtocolTag> tags; // beside unit=C|F, which is always there
    // The zone of the file's local dates and times; none: the machine's.
    std::optional<QTimeZone> zone;
};

// Parses "K=V" (split at the first "="). False with a message when the key
// or value is empty, holds a line break or control character, ends in a
// backslash (it would escape the separator after it) or the key is "unit".
bool parseLineProtocolTag(const QString &text, LineProtocolTag &out, QString *error);
// The same checks for a measurement name, which may not start with "#" either
// (a comment line).
bool checkMeasurementName(const QString &name, QString *error);

// Backslash before the characters that would end the element.
QString escapeMeasurement(QStringView name);   // "," and " "
QString escapeTagOrFieldKey(QStringView text); // ",", "=" and " "

enum class LineSkip { None, NoField, BadTime };

// The line of one record (seven fields), without its line end, or an empty
// string with the reason in *skip. `prefix` is seriesPrefix() of the options.
QString lineProtocolLine(const QString &prefix, const QStringList &record, const LineProtocolOptions &options,
                         LineSkip *skip = nullptr);
// Measurement and tags (sorted by key, as InfluxDB keeps them), no trailing space.
QString seriesPrefix(bool celsius, const LineProtocolOptions &options);

struct LineProtocolOutput {
    QByteArray text; // UTF-8, LF after each line
    int lines = 0;
    int noField = 0; // records without a single number
    int badTime = 0; // records whose date or time is not a moment in the zone
};
LineProtocolOutput lineProtocolText(const DataFileContents &file, const LineProtocolOptions &options);
// The same of `count` records that `record` gives one at a time.
LineProtocolOutput lineProtocolText(qsizetype count, const std::function<QStringList(qsizetype)> &record, bool celsius,
                                    const LineProtocolOptions &options);
