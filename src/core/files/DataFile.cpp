#include "core/files/DataFile.h"

#include "core/state/Reading.h"

namespace {
const QChar kTab(QLatin1Char('\t'));
const QString kStar = QStringLiteral("*");
} // namespace

QStringList dataFileHeadings(bool celsius)
{
    if (celsius)
        return {QStringLiteral("N°"), QStringLiteral("Data"),        QStringLiteral("Hora"),
                QStringLiteral("°C"), QStringLiteral("Orvalho(°C)"), QStringLiteral("Úmido(°C)"),
                QStringLiteral("UR%")};
    return {QStringLiteral("N°"),          QStringLiteral("Data"),      QStringLiteral("Hora"), QStringLiteral("°F"),
            QStringLiteral("Orvalho(°F)"), QStringLiteral("Úmido(°F)"), QStringLiteral("UR%")};
}

QString headingLine(bool celsius)
{
    return dataFileHeadings(celsius).join(kTab);
}

QStringList headerLines(const QString &name, const QString &sector, const QString &company)
{
    if (name.isEmpty() && sector.isEmpty() && company.isEmpty())
        return {kStar, kStar, kStar};
    return {name, sector, company};
}

QString recordLine(int number, const QString &unitLine)
{
    return QString::number(number) + kTab + unitLine;
}

QString sampleLine(const QDateTime &when, const Reading &r, bool celsius)
{
    const QString date = when.date().toString(QStringLiteral("dd/MM/yyyy"));
    const QString time = when.time().toString(QStringLiteral("hh:mm:ss"));
    if (celsius)
        return QStringList{date, time, r.TempCDot, r.DewCDot, r.WetCDot, r.RhDot}.join(kTab);
    return QStringList{date, time, r.TempFDot, r.DewFDot, r.WetFDot, r.RhDot}.join(kTab);
}

QString gridDumpLine(const QStringList &cells)
{
    QString line;
    for (const QString &c : cells) {
        line += c;
        line += kTab;
    }
    return line;
}

QString splitFileName(const QString &path, int splitNo)
{
    // Only the last component is the file's name; a "." in a folder stays put.
    const qsizetype nameStart = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
    const QString suffix = QLatin1Char('-') + QString::number(splitNo);
    const qsizetype dot = path.indexOf(QLatin1Char('.'), nameStart);
    if (dot < 0)
        return path + suffix;
    return path.left(dot) + suffix + path.mid(dot);
}

QString crlfLines(const QStringList &lines)
{
    QString text;
    for (const QString &l : lines) {
        text += l;
        text += QLatin1String("\r\n");
    }
    return text;
}

QByteArray encodeDataText(const QString &lines)
{
    return encodeWin1252(lines);
}
QString decodeDataText(const QByteArray &bytes)
{
    return decodeWin1252(bytes);
}

QByteArray recordingFileStart(bool celsius)
{
    return encodeDataText(crlfLines(headerLines({}, {}, {}) << headingLine(celsius)));
}

namespace {
QString gridDumpText(const QString &name, const QString &sector, const QString &company,
                     const QVector<QStringList> &rows, const std::function<void(int)> &progress)
{
    QString text = crlfLines(headerLines(name, sector, company));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        text += gridDumpLine(rows[i]);
        text += QLatin1String("\r\n");
        if (progress)
            progress(int(i));
    }
    return text;
}
} // namespace

QByteArray gridDumpBytes(const QString &name, const QString &sector, const QString &company,
                         const QVector<QStringList> &rows)
{
    return encodeDataText(gridDumpText(name, sector, company, rows, {}));
}

bool writeGridDump(const QString &path, const QString &name, const QString &sector, const QString &company,
                   const QVector<QStringList> &rows, QString *error, const std::function<void(int row)> &progress)
{
    return writeFileAtomically(path, encodeDataText(gridDumpText(name, sector, company, rows, progress)), error);
}

DataFileReader::DataFileReader(const QByteArray &bytes) : m_text(decodeWin1252(bytes)) {}

DataFileReader::Item DataFileReader::next()
{
    if (atEnd())
        return Item::End;
    const QChar *d = m_text.constData();
    const qsizetype n = m_text.size();
    const qsizetype start = m_pos;
    qsizetype i = start;
    while (i < n && d[i] != QLatin1Char('\r') && d[i] != QLatin1Char('\n'))
        ++i;
    const QStringView line(d + start, i - start);
    if (i < n && d[i] == QLatin1Char('\r'))
        ++i;
    if (i < n && d[i] == QLatin1Char('\n'))
        ++i;
    m_pos = i;
    ++m_line;

    if (m_line <= 3) {
        if (line.contains(QLatin1Char('*')))
            return Item::Ignored;
        m_header = line.toString();
        return m_line == 1 ? Item::Name : m_line == 2 ? Item::Sector : Item::Company;
    }
    if (m_line == 4) {
        m_celsius = line.contains(QStringLiteral("°C"));
        return Item::Unit;
    }
    m_record = splitRecordLine(line);
    return Item::Record;
}

QStringList splitRecordLine(QStringView line)
{
    // Fields after the seventh (the empty one after a grid dump's trailing
    // TAB among them) are dropped; missing ones stay empty.
    QStringList record;
    record.reserve(kDataFields);
    qsizetype f = 0;
    while (record.size() < kDataFields) {
        const qsizetype tab = line.indexOf(kTab, f);
        if (tab < 0) {
            record.append(line.sliced(f).toString());
            break;
        }
        record.append(line.sliced(f, tab - f).toString());
        f = tab + 1;
    }
    while (record.size() < kDataFields)
        record.append(QString());
    return record;
}

DataFileContents parseDataFile(const QByteArray &bytes)
{
    DataFileContents c;
    DataFileReader reader(bytes);
    for (;;) {
        switch (reader.next()) {
        case DataFileReader::Item::End: return c;
        case DataFileReader::Item::Name:
            c.name = reader.text();
            c.hasName = true;
            break;
        case DataFileReader::Item::Sector:
            c.sector = reader.text();
            c.hasSector = true;
            break;
        case DataFileReader::Item::Company:
            c.company = reader.text();
            c.hasCompany = true;
            break;
        case DataFileReader::Item::Unit:
            c.hasUnit = true;
            c.celsius = reader.celsius();
            break;
        case DataFileReader::Item::Record: c.records.append(reader.takeRecord()); break;
        case DataFileReader::Item::Ignored: break;
        }
    }
}

bool readDataFile(const QString &path, DataFileContents &out, QString *error)
{
    QByteArray bytes;
    if (!readFileBytes(path, bytes, error))
        return false;
    out = parseDataFile(bytes);
    return true;
}
