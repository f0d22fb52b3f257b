#include "core/files/DataFile.h"
#include "core/files/NseFile.h"
#include "core/files/RecordTime.h"
#include "core/files/Report.h"
#include "core/state/Reading.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray latin(const char *s)
{
    return QByteArray(s);
}

QVector<QStringList> sampleRecords()
{
    return {{"1", "08/12/2026", "09:05:07", "29.0", "13.9", "18.0", "50.0"},
            {"2", "08/12/2026", "09:05:09", "29.1", "----.0", "----.0", "0.0"},
            {"48000", "09/12/2026", "23:59:59", "-OL", "OL", "-3.0", "100.0"}};
}

QByteArray recordingFile(bool celsius, const QVector<QStringList> &records)
{
    QByteArray bytes = recordingFileStart(celsius);
    for (const QStringList &r : records)
        bytes += encodeDataText(recordLine(r[0].toInt(), r.mid(1).join(QLatin1Char('\t'))) + "\r\n");
    return bytes;
}
} // namespace

class TestDataFile : public QObject {
    Q_OBJECT
private slots:
    // The quick reader of record times takes exactly what Qt's parser takes.
    void recordTimesReadAsQtReadsThem()
    {
        const QStringList dates{"30/06/2026", "29/02/2024", "29/02/2026",  "31/04/2026", "00/01/2026",
                                "01/13/2026", "01/01/0000", "1/06/2026",   "01/6/2026",  "01/06/26",
                                " 1/06/2026", "01-06-2026", "01/06/2026 ", "",           "٠١/٠٦/٢٠٢٦"};
        const QStringList times{"23:59:59", "00:00:00", "24:00:00", "12:60:00", "12:00:60", "1:00:00", "12:00", ""};
        for (const QString &date : dates) {
            for (const QString &time : times) {
                const QDate d = QDate::fromString(date, QStringLiteral("dd/MM/yyyy"));
                const QTime t = QTime::fromString(time, QStringLiteral("hh:mm:ss"));
                const RecordTime r = parseRecordTime(date, time);
                const QString what = date + QLatin1Char('|') + time;
                QVERIFY2(r.valid == (d.isValid() && t.isValid()), qPrintable(what));
                if (r.valid) {
                    QCOMPARE(r.isoText(), d.toString(Qt::ISODate) + QLatin1Char('T') + t.toString(Qt::ISODate));
                    QCOMPARE(r.wallSeconds(), QDateTime(d, t, Qt::UTC).toSecsSinceEpoch());
                }
            }
        }
    }

    void writtenLinesAreWindows1252WithCrLf()
    {
        QCOMPARE(encodeDataText(headingLine(true)), latin("N\xB0\tData\tHora\t\xB0"
                                                          "C\tOrvalho(\xB0"
                                                          "C)\t\xDAmido(\xB0"
                                                          "C)\tUR%"));
        QCOMPARE(headingLine(false), QStringLiteral("N°\tData\tHora\t°F\tOrvalho(°F)\tÚmido(°F)\tUR%"));
        QCOMPARE(recordingFileStart(false), latin("*\r\n*\r\n*\r\n") + encodeDataText(headingLine(false)) + "\r\n");

        QCOMPARE(headerLines({}, {}, {}), QStringList({"*", "*", "*"}));
        QCOMPARE(headerLines({}, QStringLiteral("Estufa 2"), {}), QStringList({"", "Estufa 2", ""}));
        QCOMPARE(gridDumpLine({"a", "", "c"}), QStringLiteral("a\t\tc\t"));

        Reading r;
        r.TempCDot = "29.0", r.DewCDot = "13.9", r.WetCDot = "18.0", r.RhDot = "50.0";
        r.TempFDot = "84.2", r.DewFDot = "57.0", r.WetFDot = "64.4";
        const QDateTime when(QDate(2026, 12, 8), QTime(9, 5, 7));
        QCOMPARE(recordLine(12, sampleLine(when, r, true)),
                 QStringLiteral("12\t08/12/2026\t09:05:07\t29.0\t13.9\t18.0\t50.0"));
        QCOMPARE(sampleLine(when, r, false), QStringLiteral("08/12/2026\t09:05:07\t84.2\t57.0\t64.4\t50.0"));

        // Euro sign, accents; what the code page lacks becomes "?".
        QCOMPARE(encodeDataText(QStringLiteral("€ João ç")), latin("\x80 Jo\xE3o \xE7"));
        QCOMPARE(encodeDataText(QStringLiteral("a漢b\U0001F600c")), latin("a?b?c"));
        QCOMPARE(decodeDataText(latin("\x80 Jo\xE3o")), QStringLiteral("€ João"));

        // Every byte: the Latin-1 shortcut and the general converter agree,
        // and what is read is written back byte for byte.
        QStringDecoder general("windows-1252");
        for (int b = 0; b < 256; ++b) {
            const QByteArray one(1, char(b));
            const QString text = decodeDataText(one + "x");
            QCOMPARE(text, general.decode(one + "x"));
            QCOMPARE(encodeDataText(text), one + "x");
        }
    }

    void recordingFileAndGridDumpReadIntoTheSameRows()
    {
        const QVector<QStringList> records = sampleRecords();
        QVector<QStringList> grid{dataFileHeadings(true)};
        grid += records;
        const QByteArray dump = gridDumpBytes(QStringLiteral("Silva, João"), {}, QStringLiteral("ACME"), grid);
        const QByteArray rec = recordingFile(true, records);

        const DataFileContents a = parseDataFile(rec);
        const DataFileContents b = parseDataFile(dump);
        QCOMPARE(a.records, records);
        QCOMPARE(b.records, records);
        QVERIFY(a.hasUnit && a.celsius && b.hasUnit && b.celsius);
        QVERIFY(!a.hasName && !a.hasSector && !a.hasCompany);
        QVERIFY(b.hasName && b.hasSector && b.hasCompany);
        QCOMPARE(b.name, QStringLiteral("Silva, João"));
        QCOMPARE(b.sector, QString());

        // Line by line the two differ only in the header lines and the trailing TAB.
        const QList<QByteArray> la = rec.split('\n'), lb = dump.split('\n');
        QCOMPARE(la.size(), lb.size());
        for (qsizetype i = 3; i < la.size() - 1; ++i)
            QCOMPARE(la[i].chopped(1) + "\t\r", lb[i]);
        QVERIFY(dump.endsWith("\t\r\n"));
    }

    void readerRules()
    {
        // "*" anywhere makes a header line absent; no "°C" means Fahrenheit.
        DataFileContents c = parseDataFile(latin("Jo*o\r\n\r\nEmpresa\r\nN\xB0\tX\r\n1\t2\r\n"));
        QVERIFY(!c.hasName);
        QVERIFY(c.hasSector && c.sector.isEmpty());
        QCOMPARE(c.company, QStringLiteral("Empresa"));
        QVERIFY(c.hasUnit && !c.celsius);
        QCOMPARE(c.records, QVector<QStringList>({{"1", "2", "", "", "", "", ""}}));

        // Extra fields dropped; LF-only and CR-only ends; a last line without
        // an end; an empty line is an empty record.
        c = parseDataFile(latin("*\n*\r*\r\n\xB0"
                                "C\n1\t2\t3\t4\t5\t6\t7\t8\t9\r\n\r\n2\t\t\t\t\t\tlast"));
        QVERIFY(c.celsius);
        QCOMPARE(c.records.size(), 3);
        QCOMPARE(c.records[0], QStringList({"1", "2", "3", "4", "5", "6", "7"}));
        QCOMPARE(c.records[1], QStringList(7, QString()));
        QCOMPARE(c.records[2].last(), QStringLiteral("last"));

        // Short files: no records, and without line 4 no unit decision.
        c = parseDataFile(latin("a\r\nb\r\n"));
        QVERIFY(c.hasName && c.hasSector && !c.hasCompany && !c.hasUnit && c.records.isEmpty());
        c = parseDataFile({});
        QVERIFY(!c.hasName && !c.hasUnit);

        // Incremental reading reports each line as it comes.
        DataFileReader reader(recordingFile(false, sampleRecords()));
        QList<DataFileReader::Item> items;
        for (DataFileReader::Item it; (it = reader.next()) != DataFileReader::Item::End;)
            items << it;
        using I = DataFileReader::Item;
        QCOMPARE(items, QList<I>({I::Ignored, I::Ignored, I::Ignored, I::Unit, I::Record, I::Record, I::Record}));
        QCOMPARE(reader.lineNumber(), 7);
        QVERIFY(reader.atEnd() && reader.position() == reader.size());
    }

    void readerTakesAnyBytes()
    {
        // NUL bytes, undefined code points, a 10 MB line, binary garbage.
        QByteArray bytes = latin("*\r\n*\r\n*\r\nhead\r\n");
        bytes += QByteArray("1\0\x81\x8D\x8F\x90\x9D\t", 8);
        bytes += QByteArray(10 * 1024 * 1024, 'x');
        bytes += "\r\n";
        for (int i = 0; i < 4096; ++i)
            bytes += char((i * 7919) & 0xFF);
        const DataFileContents c = parseDataFile(bytes);
        QVERIFY(c.records.size() >= 2);
        QCOMPARE(c.records[0].size(), 7);
        QCOMPARE(c.records[0][0].size(), 7);
        QCOMPARE(c.records[0][1].size(), 10 * 1024 * 1024);
        for (const QStringList &r : c.records)
            QCOMPARE(r.size(), 7);
    }

    void splitNamesChangeOnlyTheFileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("split");
        QTest::newRow("plain") << "/dados/ensaio.dlf" << 1 << "/dados/ensaio-1.dlf";
        QTest::newRow("second") << "/dados/ensaio.dlf" << 2 << "/dados/ensaio-2.dlf";
        QTest::newRow("dot in folder") << "/dados.v2/ensaio.dlf" << 1 << "/dados.v2/ensaio-1.dlf";
        QTest::newRow("dot in folder, none in name") << "/dados.v2/ensaio" << 1 << "/dados.v2/ensaio-1";
        QTest::newRow("no dot") << "ensaio" << 1 << "ensaio-1";
        QTest::newRow("two dots") << "a.b.dlf" << 1 << "a-1.b.dlf";
        QTest::newRow("windows path") << "C:\\dados.x\\ensaio.dlf" << 12 << "C:\\dados.x\\ensaio-12.dlf";
    }
    void splitNamesChangeOnlyTheFileName()
    {
        QFETCH(QString, path);
        QFETCH(int, n);
        QFETCH(QString, split);
        QCOMPARE(splitFileName(path, n), split);
    }

    void filesOnDisk()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("lista.dlf"));
        QVector<QStringList> grid{dataFileHeadings(false)};
        QList<int> progress;
        QString error;
        QVERIFY(writeGridDump(path, {}, {}, {}, grid, &error, [&](int row) { progress << row; }));
        QCOMPARE(progress, QList<int>{0});
        DataFileContents c;
        QVERIFY(readDataFile(path, c, &error));
        QVERIFY(c.hasUnit && !c.celsius && c.records.isEmpty() && !c.hasName);

        // Replacing keeps nothing of the old file.
        grid += sampleRecords();
        QVERIFY(writeGridDump(path, QStringLiteral("n"), {}, {}, grid, &error));
        QVERIFY(readDataFile(path, c, &error));
        QCOMPARE(c.records.size(), 3);

        const QString missing = dir.filePath(QStringLiteral("nao/existe.dlf"));
        QVERIFY(!readDataFile(missing, c, &error));
        QVERIFY(error.startsWith(missing + ": "));
        QVERIFY(!writeGridDump(missing, {}, {}, {}, grid, &error));
        QVERIFY(error.contains(missing));
        QVERIFY(!readDataFile(dir.path(), c, &error)); // a folder is not a file
    }

    void nseFiles()
    {
        QCOMPARE(nseBytes({}, {}, {}), latin("\r\n\r\n\r\n"));
        QCOMPARE(nseBytes(QStringLiteral("Silva, João"), QStringLiteral("\"A\""), QStringLiteral("*")),
                 latin("Silva, Jo\xE3o\r\n\"A\"\r\n*\r\n"));

        NseContents c = parseNse(nseBytes(QStringLiteral("Silva, João"), QStringLiteral("\"A\""), QStringLiteral("*")));
        QVERIFY(c.hasName && c.hasSector && c.hasCompany);
        QCOMPARE(c.name, QStringLiteral("Silva, João"));
        QCOMPARE(c.sector, QStringLiteral("\"A\""));
        QCOMPARE(c.company, QStringLiteral("*"));

        c = parseNse(latin("a\r\nb\r\n"));
        QVERIFY(c.hasName && c.hasSector && !c.hasCompany);
        c = parseNse(latin("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"));
        QCOMPARE(QStringList({c.name, c.sector, c.company}), QStringList({"4", "5", "6"}));
        c = parseNse(latin("1\n2\n3\n4")); // a partial group fills only the boxes it reaches
        QCOMPARE(QStringList({c.name, c.sector, c.company}), QStringList({"4", "2", "3"}));
        c = parseNse({});
        QVERIFY(!c.hasName && !c.hasSector && !c.hasCompany);
        c = parseNse(latin("\r\n"));
        QVERIFY(c.hasName && c.name.isEmpty() && !c.hasSector);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.nse"));
        QString error;
        QVERIFY(writeNseFile(path, QStringLiteral("N"), QStringLiteral("S"), QStringLiteral("E€"), &error));
        QVERIFY(readNseFile(path, c, &error));
        QCOMPARE(c.company, QStringLiteral("E€"));
        QVERIFY(!readNseFile(dir.filePath(QStringLiteral("none.nse")), c, &error));
    }

    void reportLayout()
    {
        QCOMPARE(reportRuler(), QString(6, ' ') + QString(65, '-'));
        QCOMPARE(reportHeadLines({}, {}, {}), QStringList(6, QStringLiteral(" -")));
        QCOMPARE(
            reportHeadLines({}, QStringLiteral("Setor"), {}),
            QStringList({" -", " -", " -", " -          ", " -          Setor", " -          ", " -", " -", " -"}));

        const QString heading = reportRowLine(dataFileHeadings(true));
        QCOMPARE(heading, QStringLiteral("           N°        Data      Hora     °C Orvalho(°C) Úmido(°C)   UR%"));
        QCOMPARE(heading.size(), 70);
        const QString row = reportRowLine({"48000", "31/12/2026", "23:59:59", "-50.0", "----.0", "----.0", "100.0"});
        QCOMPARE(row, QStringLiteral("        48000  31/12/2026  23:59:59  -50.0      ----.0    ----.0 100.0"));
        // A cell wider than its field is printed whole.
        QCOMPARE(reportRowLine({"1", "2", "3", "12345678", "5", "6", "7"}).size(), 71);

        QVector<QStringList> rows{dataFileHeadings(true)};
        QCOMPARE(reportLines({}, {}, {}, rows), QStringList(6, QStringLiteral(" -")) << heading << reportRuler());
        rows += sampleRecords();
        const QStringList lines = reportLines(QStringLiteral("N"), {}, {}, rows);
        QCOMPARE(lines.size(), 9 + 2 + 3);
        QCOMPARE(lines[11], reportRowLine(sampleRecords()[0]));
    }
};

QTEST_APPLESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
