#include "core/files/DataRecords.h"

#include "core/files/DataFile.h"
#include "core/files/RecordTime.h"
#include "core/stats/Stats.h"

#include <QFile>

namespace {
constexpr qint64 kBlockBytes = 1 << 20;

// A field's bytes as text for the number and time readers. Bytes above 0x7F
// are never digits, signs or separators in Windows-1252 either, so reading
// them as Latin-1 changes no result.
class FieldText {
public:
    QStringView view(QByteArrayView bytes)
    {
        if (bytes.size() > qsizetype(sizeof(small_) / sizeof(small_[0]))) {
            large_ = QString::fromLatin1(bytes);
            return large_;
        }
        for (qsizetype i = 0; i < bytes.size(); ++i)
            small_[i] = char16_t(uchar(bytes[i]));
        return QStringView(small_, bytes.size());
    }

private:
    char16_t small_[32];
    QString large_;
};

// Splits a record line as the data-file reader does: fields after the
// seventh are dropped, missing ones are empty.
std::array<QByteArrayView, kDataFields> splitFields(QByteArrayView line)
{
    std::array<QByteArrayView, kDataFields> f{};
    qsizetype start = 0;
    for (int k = 0; k < kDataFields; ++k) {
        const qsizetype tab = line.indexOf('\t', start);
        if (tab < 0) {
            f[size_t(k)] = line.sliced(start);
            break;
        }
        f[size_t(k)] = line.sliced(start, tab - start);
        start = tab + 1;
    }
    return f;
}

template <typename FieldOf> DataRecord recordFrom(FieldOf field)
{
    DataRecord r;
    const RecordTime t = parseRecordTime(field(1), field(2));
    if (t.valid)
        r.seconds = t.wallSeconds();
    for (int k = 0; k < kQuantities; ++k)
        if (const auto v = valueOf(field(quantityColumn(Quantity(k)))))
            r.value[size_t(k)] = *v;
    bool ok = false;
    const int n = field(0).toInt(&ok);
    r.number = ok ? n : -1;
    return r;
}

class LineParser {
public:
    LineParser(DataRecordFile &out, RecordTexts texts) : out_(out), lines_(texts == RecordTexts::Lines) {}

    void line(QByteArrayView line)
    {
        ++lineNo_;
        if (lineNo_ <= 3) {
            if (line.contains('*'))
                return;
            QString &target = lineNo_ == 1 ? out_.name : lineNo_ == 2 ? out_.sector : out_.company;
            target = decodeDataText(line.toByteArray());
            return;
        }
        if (lineNo_ == 4) {
            out_.hasUnit = true;
            out_.celsius = decodeDataText(line.toByteArray()).contains(QStringLiteral("°C"));
            return;
        }
        if (lines_)
            out_.lines.append(decodeDataText(line.toByteArray()));
        const auto fields = splitFields(line);
        std::array<FieldText, 3> texts; // date, time and one value at a time
        out_.records.append(recordFrom([&](int column) {
            FieldText &t = texts[size_t(std::min(column, 2))];
            return t.view(fields[size_t(column)]);
        }));
    }

private:
    DataRecordFile &out_;
    bool lines_ = false;
    int lineNo_ = 0;
};

// Feeds every complete line of `bytes` from `pos` to the parser; at the end
// of the input a last line without an end is a line too. Returns where the
// unfinished line starts.
qsizetype feedLines(QByteArrayView bytes, qsizetype pos, bool last, LineParser &parser)
{
    const char *d = bytes.data();
    const qsizetype n = bytes.size();
    while (pos < n) {
        qsizetype i = pos;
        while (i < n && d[i] != '\r' && d[i] != '\n')
            ++i;
        // A CR at the end of a block may be the first half of a CR LF.
        if (!last && (i >= n - 1))
            return pos;
        const QByteArrayView line(d + pos, i - pos);
        if (i < n && d[i] == '\r')
            ++i;
        if (i < n && d[i] == '\n')
            ++i;
        parser.line(line);
        pos = i;
    }
    return pos;
}
} // namespace

DataRecord dataRecordOf(const QStringList &row)
{
    return recordFrom([&row](int column) { return column < row.size() ? QStringView(row[column]) : QStringView(); });
}

QVector<DataRecord> dataRecordsOf(const QVector<QStringList> &rows)
{
    QVector<DataRecord> out;
    out.reserve(rows.size());
    for (const QStringList &row : rows)
        out.append(dataRecordOf(row));
    return out;
}

QDateTime wallDateTime(qint64 seconds)
{
    if (seconds == kNoWallTime)
        return {};
    qint64 days = seconds / 86400;
    qint64 rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    return QDateTime(QDate(1970, 1, 1).addDays(days), QTime(0, 0).addSecs(int(rest)));
}

qint64 wallSecondsOf(const QDateTime &t)
{
    if (!t.isValid())
        return kNoWallTime;
    return QDate(1970, 1, 1).daysTo(t.date()) * 86400 + t.time().msecsSinceStartOfDay() / 1000;
}

DataRecordFile parseDataRecords(QByteArrayView bytes, RecordTexts texts)
{
    DataRecordFile out;
    LineParser parser(out, texts);
    feedLines(bytes, 0, true, parser);
    return out;
}

bool readDataRecords(const QString &path, DataRecordFile &out, QString *error, RecordTexts texts)
{
    QFile f(path);
    const auto fail = [&] {
        if (error)
            *error = path + QStringLiteral(": ") + f.errorString();
        return false;
    };
    if (!f.open(QIODevice::ReadOnly))
        return fail();
    out = DataRecordFile{};
    // About 47 bytes a record: reserving from the size saves the copies of a growing vector.
    if (f.size() > 0) {
        out.records.reserve(qsizetype(f.size() / 40 + 16));
        if (texts == RecordTexts::Lines)
            out.lines.reserve(out.records.capacity());
    }
    LineParser parser(out, texts);
    QByteArray buffer;
    for (;;) {
        const QByteArray block = f.read(kBlockBytes);
        if (f.error() != QFileDevice::NoError)
            return fail();
        const bool last = block.isEmpty();
        buffer += block;
        const qsizetype used = feedLines(buffer, 0, last, parser);
        buffer.remove(0, used);
        if (last)
            break;
    }
    out.records.squeeze();
    return true;
}
