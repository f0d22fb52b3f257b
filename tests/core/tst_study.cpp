// Mapping studies worked out by hand: four loggers ten minutes apart, one of
// them in °F and one with a gap, limits 2 to 8 °C.
#include "core/files/DataFile.h"
#include "core/files/DataRecords.h"
#include "core/stats/Stats.h"
#include "core/study/Study.h"
#include "core/study/StudyReport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace study;

namespace {
const QDateTime kStart(QDate(2026, 6, 30), QTime(8, 0));

QDateTime at(int minutes)
{
    return kStart.addSecs(60 * minutes);
}

// One row per value: {minutes after 08:00, temperature}; humidity 60.
QVector<QStringList> rowsOf(const QVector<std::pair<int, QString>> &values)
{
    QVector<QStringList> rows;
    for (int i = 0; i < values.size(); ++i) {
        const QDateTime t = at(values[i].first);
        rows.append({QString::number(i + 1), t.toString("dd/MM/yyyy"), t.toString("HH:mm:ss"), values[i].second, "0.0",
                     "1.0", "60.0"});
    }
    return rows;
}

QVector<std::pair<int, QString>> everyTen(const QStringList &temps)
{
    QVector<std::pair<int, QString>> v;
    for (int i = 0; i < temps.size(); ++i)
        v.append({10 * i, temps[i]});
    return v;
}

Logger logger(const QString &label, const QVector<QStringList> &rows, bool celsius = true)
{
    return Logger{label, label + QStringLiteral(".dlf"), celsius, dataRecordsOf(rows)};
}

QVector<Logger> fourLoggers()
{
    return {
        logger("A", rowsOf(everyTen({"4.0", "5.0", "9.0", "6.0", "5.0", "5.0"}))),
        logger("B", rowsOf(everyTen({"3.0", "1.0", "1.5", "4.0", "9.0", "5.0"}))),
        // 5, 6, 9, 7, 5, 6 °C.
        logger("C", rowsOf(everyTen({"41.0", "42.8", "48.2", "44.6", "41.0", "42.8"})), false),
        // Nothing from 08:10 to 08:40.
        logger("D", rowsOf({{0, "5.5"}, {10, "5.5"}, {40, "5.5"}, {50, "5.5"}})),
    };
}

Options limited()
{
    Options o;
    parseLimit(QStringLiteral("temp=2:8"), o.limits, nullptr);
    return o;
}

bool sameRecord(const DataRecord &a, const DataRecord &b)
{
    for (int k = 0; k < kQuantities; ++k)
        if (!(a.value[size_t(k)] == b.value[size_t(k)] ||
              (std::isnan(a.value[size_t(k)]) && std::isnan(b.value[size_t(k)]))))
            return false;
    return a.seconds == b.seconds && a.number == b.number;
}

// Text widths near those of the report's fonts.
double measure(const QString &text, const fullreport::TextStyle &s)
{
    return text.size() * s.points * 0.55 * 25.4 / 72.0;
}
} // namespace

class TestStudy : public QObject {
    Q_OBJECT
private slots:
    void figuresOfFourLoggers()
    {
        const QVector<Logger> loggers = fourLoggers();
        const Result r = analyze(loggers, limited());
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(r.celsius); // the first file's unit
        QCOMPARE(r.from, at(0));
        QCOMPARE(r.to, at(50));
        QCOMPARE(r.loggers.size(), 4);

        // Each logger's figures are those of the statistics, to the last bit.
        const RowStats a =
            computeRowStats(rowsOf(everyTen({"4.0", "5.0", "9.0", "6.0", "5.0", "5.0"})), true, r.limits);
        const QuantityStats &ta = *r.loggers[0].stats[Quantity::Temperature];
        QCOMPARE(ta.mean, a[Quantity::Temperature]->mean);
        QCOMPARE(*ta.stdev, *a[Quantity::Temperature]->stdev);
        QCOMPARE(*r.loggers[0].stats.mkt, *a.mkt);
        QCOMPARE(ta.outsideSeconds, a[Quantity::Temperature]->outsideSeconds);
        QCOMPARE(ta.maxAt, at(20));

        // The °F file in °C.
        const QuantityStats &tc = *r.loggers[2].stats[Quantity::Temperature];
        QCOMPARE(tc.max, 9.0);
        QCOMPARE(tc.min, 5.0);
        QVERIFY(qAbs(tc.mean - 38.0 / 6) < 1e-9);
        QCOMPARE(r.loggers[2].stats[Quantity::Humidity]->mean, 60.0); // humidity is not converted

        // A, B and C all reach 9.0: the hot spot is the one with the highest mean.
        QVERIFY(r.hot);
        QCOMPARE(r.loggers[r.hot->logger].label, QStringLiteral("C"));
        QCOMPARE(r.hot->value, 9.0);
        QCOMPARE(r.hot->at, at(20));
        QCOMPARE(r.loggers[r.cold->logger].label, QStringLiteral("B"));
        QCOMPARE(r.cold->value, 1.0);
        QVERIFY(qAbs(*r.meanSpread - (38.0 / 6 - 23.5 / 6)) < 1e-9);

        // 08:20: A and C at 9.0, B at 1.5, D has no record within 5 minutes.
        QVERIFY(r.maxDifference);
        QCOMPARE(r.maxDifference->value, 7.5);
        QCOMPARE(r.maxDifference->at, at(20));
        QCOMPARE(r.loggers[r.maxDifference->warmer].label, QStringLiteral("A"));
        QCOMPARE(r.loggers[r.maxDifference->cooler].label, QStringLiteral("B"));

        // D's gap is told; every interval is the same ten minutes (D's median).
        for (const LoggerFigures &f : r.loggers)
            QCOMPARE(f.intervalSeconds, qint64(600));
        QCOMPARE(r.warnings.size(), 1);
        QVERIFY2(r.warnings[0].startsWith("D: ") && r.warnings[0].contains("30 min"), qPrintable(r.warnings[0]));
    }

    void excursionsAddUpToTheTimeOutside()
    {
        const Result r = analyze(fourLoggers(), limited());
        QVERIFY(r.ok);
        // A: one record above, lasting until the next one.
        const QuantityExcursions &a = r.loggers[0].excursions[size_t(Quantity::Temperature)];
        QCOMPARE(a.runs.size(), 1);
        QCOMPARE(a.runs[0].records, 1);
        QCOMPARE(a.runs[0].seconds, qint64(600));
        QCOMPARE(a.runs[0].start, at(20));
        QCOMPARE(a.runs[0].end, at(20));
        QVERIFY(a.runs[0].above);
        // B: two records below, back inside, then one above; the longest is the first.
        const QuantityExcursions &b = r.loggers[1].excursions[size_t(Quantity::Temperature)];
        QCOMPARE(b.runs.size(), 2);
        QCOMPARE(b.runs[0].records, 2);
        QCOMPARE(b.runs[0].seconds, qint64(1200));
        QCOMPARE(b.runs[0].extreme, 1.0);
        QVERIFY(!b.runs[0].above);
        QCOMPARE(b.runs[1].start, at(40));
        QCOMPARE(b.longestSeconds, qint64(1200));
        QCOMPARE(b.longestStart, at(10));
        QCOMPARE(b.runs[0].seconds + b.runs[1].seconds, r.loggers[1].stats[Quantity::Temperature]->outsideSeconds);
        // D stays inside.
        QVERIFY(r.loggers[3].excursions[size_t(Quantity::Temperature)].runs.isEmpty());

        // In order of start: B 08:10, A 08:20, C 08:20, B 08:40.
        const QVector<Excursion> all = r.excursionsInOrder();
        QCOMPARE(all.size(), 4);
        QStringList order;
        for (const Excursion &e : all)
            order << r.loggers[e.logger].label;
        QCOMPARE(order, QStringList({"B", "A", "C", "B"}));
        QVERIFY(!r.allWithin());
        const QString text = studyreport::conclusion(r);
        QVERIFY2(text.contains("B: temperatura fora por 30 min 00 s em 2 excursões") &&
                     text.contains("O outro registrador ficou dentro dos limites."),
                 qPrintable(text));

        // Wider limits: all inside.
        Options wide;
        parseLimit(QStringLiteral("temp=0:10"), wide.limits, nullptr);
        const Result inside = analyze(fourLoggers(), wide);
        QVERIFY(inside.allWithin());
        QVERIFY(studyreport::conclusion(inside).startsWith("Todos os 4 registradores ficaram dentro"));
    }

    void periodAndUnit()
    {
        QVector<Logger> loggers = fourLoggers();
        // E starts at 08:20 and records every five minutes until 09:30.
        QVector<std::pair<int, QString>> e;
        for (int m = 20; m <= 90; m += 5)
            e.append({m, "7.0"});
        loggers.append(logger("E", rowsOf(e)));
        Result r = analyze(loggers, limited());
        QVERIFY(r.ok);
        QCOMPARE(r.from, at(20));
        QCOMPARE(r.to, at(50));
        QCOMPARE(r.loggers[0].stats.records, 4); // A from 08:20 to 08:50
        QCOMPARE(r.loggers[0].first, 2);
        QCOMPARE(r.loggers[4].stats.records, 7);
        QCOMPARE(r.loggers[4].intervalSeconds, qint64(300));
        QVERIFY(r.warnings.first().startsWith("intervalos de amostragem diferentes"));

        // A period given; everything in °F.
        Options o;
        o.from = at(10);
        o.to = at(30);
        o.celsius = false;
        parseLimit(QStringLiteral("temp=35.6:46.4"), o.limits, nullptr);
        r = analyze(fourLoggers(), o);
        QVERIFY(r.ok);
        QVERIFY(!r.celsius);
        QCOMPARE(r.loggers[0].stats.records, 3);
        QCOMPARE(r.loggers[0].stats[Quantity::Temperature]->max, 48.2); // 9 °C
        QCOMPARE(r.loggers[2].stats[Quantity::Temperature]->max, 48.2); // the °F file as it is
        QCOMPARE(r.loggers[3].stats.records, 1);                        // D: only 08:10
        QCOMPARE(r.loggers[1].excursions[size_t(Quantity::Temperature)].runs.size(), 1);
    }

    void filesWithoutACommonPeriod()
    {
        QVector<Logger> loggers = fourLoggers();
        loggers.insert(1, logger("late", rowsOf({{120, "5.0"}, {130, "5.0"}})));
        const Result r = analyze(loggers, {});
        QVERIFY(!r.ok);
        // The latest start against the earliest end.
        QCOMPARE(r.badFiles, QStringList({"A.dlf", "late.dlf"})); // the first of those ending at 08:50
        QVERIFY(r.error.contains("no period in common"));

        const Result none = analyze({logger("A", rowsOf({{0, "1.0"}})), logger("bad", {{"1", "x", "y"}})}, {});
        QVERIFY(!none.ok);
        QCOMPARE(none.badFiles, QStringList({"bad.dlf"}));
    }

    void seriesFollowThePeriodAndBreakAtGaps()
    {
        const QVector<Logger> loggers = fourLoggers();
        const Result r = analyze(loggers, limited());
        const QVector<Series> s = seriesOf(loggers, r, Quantity::Temperature);
        QCOMPARE(s.size(), 4);
        QCOMPARE(s[2].values, QVector<double>({5, 6, 9, 7, 5, 6}));
        QCOMPARE(s[3].breaks, QVector<qsizetype>({2}));
        QVERIFY(s[0].breaks.isEmpty());
    }

    // The records read straight into numbers are those of the rows the file
    // reader gives, for every line shape.
    void recordsMatchTheRowReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("recording") << QByteArray("*\r\n*\r\n*\r\nN\xb0\tData\tHora\t\xb0"
                                                 "C\tx\ty\tUR%\r\n"
                                                 "1\t30/06/2026\t08:00:00\t5.0\t-1.5\t2.0\t60.0\r\n"
                                                 "2\t30/06/2026\t08:10:00\tOL\t----.0\t\t-OL\r\n");
        QTest::newRow("odd lines") << QByteArray("Nome\rSetor \x80\nEmpresa\r\n\xb0"
                                                 "F\n"
                                                 "\n"
                                                 "7\t31/06/2026\t08:00:00\t1e3\t+2.50\n"
                                                 "x\t01/07/2026\t24:00:00\t.5\t5.\t1,5\t\xe9\x80\t9\t9\n"
                                                 "9\t01/07/2026\t23:59:59\t12345678901234567890.5\t-0\t7");
        QTest::newRow("heading only") << QByteArray("*\r\n*\r\n*\r\nheading");
        QTest::newRow("empty") << QByteArray();
    }

    void recordsMatchTheRowReader()
    {
        QFETCH(QByteArray, bytes);
        const DataFileContents rows = parseDataFile(bytes);
        const DataRecordFile numbers = parseDataRecords(bytes, RecordTexts::Lines);
        QCOMPARE(numbers.name, rows.name);
        QCOMPARE(numbers.sector, rows.sector);
        QCOMPARE(numbers.celsius, rows.celsius);
        QCOMPARE(numbers.hasUnit, rows.hasUnit);
        const QVector<DataRecord> expected = dataRecordsOf(rows.records);
        QCOMPARE(numbers.records.size(), expected.size());
        QCOMPARE(numbers.lines.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QVERIFY2(sameRecord(numbers.records[i], expected[i]), qPrintable(QString::number(i)));
            // The texts a report or a CSV prints are those of the row reader.
            QCOMPARE(splitRecordLine(numbers.lines[i]), rows.records[i]);
        }
    }

    void recordsAcrossReadingBlocks()
    {
        // Lines of every length around the reader's blocks, CR LF split between two of them.
        QByteArray bytes("*\r\n*\r\n*\r\nN\tData\tHora\t\xb0"
                         "C\r\n");
        for (int i = 0; bytes.size() < 3 * (1 << 20); ++i)
            bytes += QByteArray::number(i + 1) + "\t01/07/2026\t" +
                     QTime(0, 0).addSecs(i % 86400).toString("HH:mm:ss").toLatin1() + '\t' +
                     QByteArray::number(i % 400 / 10.0 - 20, 'f', i % 3) + "\t1.0\t2.0\t" + QByteArray(i % 7, '5') +
                     "\r\n";
        QTemporaryDir dir;
        const QString path = dir.filePath("big.dlf");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        DataRecordFile read;
        QVERIFY(readDataRecords(path, read, nullptr));
        const QVector<DataRecord> expected = dataRecordsOf(parseDataFile(bytes).records);
        QCOMPARE(read.records.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(sameRecord(read.records[i], expected[i]), qPrintable(QString::number(i)));
        QString error;
        QVERIFY(!readDataRecords(dir.filePath("none.dlf"), read, &error));
        QVERIFY(error.startsWith(dir.filePath("none.dlf")));
    }

    void reportPages()
    {
        const Result r = analyze(fourLoggers(), limited());
        studyreport::Input in;
        in.result = &r;
        in.name = QStringLiteral("Câmara 3");
        in.responsible = QStringLiteral("Ana Souza");
        for (const LoggerFigures &f : r.loggers)
            in.files.append({f.file, f.stats.records, f.intervalSeconds, QStringLiteral("ab12"), QStringLiteral("—")});
        in.files[1].signatureStatus = QStringLiteral("assinatura válida");
        in.madeAt = at(600);
        const QVector<fullreport::Page> pages = studyreport::layout(in, QSizeF(210, 297), measure);
        QStringList all;
        int charts = 0;
        for (int i = 0; i < pages.size(); ++i) {
            QStringList texts;
            for (const fullreport::Text &t : pages[i].texts) {
                texts << t.text;
                QVERIFY2(t.box.left() >= 0 && t.box.right() <= 210 && t.box.bottom() <= 297, qPrintable(t.text));
            }
            QVERIFY(texts.contains(QStringLiteral("Página %1 de %2").arg(i + 1).arg(pages.size())));
            if (!pages[i].chart.isEmpty())
                ++charts;
            all += texts;
        }
        QCOMPARE(charts, 2); // temperature and humidity
        for (const char *expected : {"Estudo de mapeamento térmico", "Ana Souza", "Aprovado por",
                                     "Ponto quente:", "assinatura válida", "Excursões"})
            QVERIFY2(all.join('\n').contains(QString::fromUtf8(expected)), expected);
        QVERIFY(all.contains(QStringLiteral("20 min 00 s"))); // B's first excursion
        QVERIFY(all.contains(QStringLiteral("6,3")));         // C's mean with a decimal comma
    }
};

QTEST_APPLESS_MAIN(TestStudy)
#include "tst_study.moc"
