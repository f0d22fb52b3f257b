// The full report's pages on papers large and small: nothing placed over
// anything else or off the paper, every record printed once, page numbers.
#include "core/files/DataFile.h"
#include "core/files/DataRecords.h"
#include "core/report/FullReport.h"

#include <QTest>

namespace {
// Text widths as the fonts the report uses give them: a 0.6 em advance for
// the fixed-pitch face, a little less for the proportional one on average.
double measure(const QString &text, const fullreport::TextStyle &s)
{
    const bool mono = s.face == fullreport::Face::Mono || s.face == fullreport::Face::MonoBold;
    return text.size() * s.points * (mono ? 0.6 : 0.55) * 25.4 / 72.0;
}

QVector<QStringList> rows(int count)
{
    QVector<QStringList> r;
    const QDateTime start(QDate(2026, 6, 30), QTime(0, 0));
    for (int i = 1; i <= count; ++i) {
        const QDateTime t = start.addSecs(600LL * i);
        r.append({QString::number(i), t.toString("dd/MM/yyyy"), t.toString("HH:mm:ss"), i % 50 ? "-19.9" : "OL",
                  "----.0", "12.5", "100.0"});
    }
    return r;
}
} // namespace

class TstFullReport : public QObject {
    Q_OBJECT
private slots:
    void pagesHoldTheirItemsApart_data()
    {
        QTest::addColumn<QSizeF>("paper");
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("limits");
        QTest::newRow("A4, limits") << QSizeF(210, 297) << 2000 << true;
        QTest::newRow("A4, no records") << QSizeF(210, 297) << 0 << false;
        QTest::newRow("A5") << QSizeF(148, 210) << 700 << true;
        QTest::newRow("A4 landscape") << QSizeF(297, 210) << 700 << false;
    }

    void pagesHoldTheirItemsApart()
    {
        QFETCH(QSizeF, paper);
        QFETCH(int, records);
        QFETCH(bool, limits);
        fullreport::Input in;
        in.name = QStringLiteral("Câmara fria com um nome longo o bastante para não caber na linha inteira");
        in.source = QStringLiteral("ensaio.dlf");
        in.rows = rows(records);
        in.madeAt = QDateTime(QDate(2026, 12, 9), QTime(9, 0));
        if (limits)
            for (const char *l : {"temp=2:8", "rh=:70", "dew=0:", "wet=1:6"})
                QVERIFY(parseLimit(QString::fromLatin1(l), in.limits, nullptr));
        const fullreport::Document doc = fullreport::layout(in, paper, measure);
        QCOMPARE(doc.printedRecords, records);
        QVERIFY(doc.pages.size() >= 2);
        const QRectF sheet(QPointF(0, 0), paper);
        for (int p = 0; p < doc.pages.size(); ++p) {
            const fullreport::Page &page = doc.pages[p];
            QVERIFY(sheet.contains(page.chart) || page.chart.isEmpty());
            int numbers = 0;
            for (int i = 0; i < page.texts.size(); ++i) {
                const fullreport::Text &a = page.texts[i];
                numbers += a.text == QStringLiteral("Página %1 de %2").arg(p + 1).arg(doc.pages.size());
                QVERIFY2(sheet.contains(a.box), qPrintable(a.text));
                QVERIFY2(!a.box.intersects(page.chart), qPrintable(a.text));
                // Left-aligned text runs to the right of its box: it must fit in it.
                if (a.style.face == fullreport::Face::Mono || a.style.face == fullreport::Face::MonoBold)
                    QVERIFY2(measure(a.text, a.style) <= a.box.width() + 1e-6, qPrintable(a.text));
                for (int j = i + 1; j < page.texts.size(); ++j)
                    QVERIFY2(
                        !a.box.intersects(page.texts[j].box),
                        qPrintable(
                            QStringLiteral("page %1: \"%2\" over \"%3\"").arg(p + 1).arg(a.text, page.texts[j].text)));
            }
            QCOMPARE(numbers, 1);
        }
    }

    // A file read as numbers and lines gives the very pages its rows give.
    void linesGiveThePagesRowsGive()
    {
        fullreport::Input byRows;
        byRows.rows = rows(900);
        byRows.rows[3][3] = QStringLiteral("12345678901234567"); // cut with a mark
        parseLimit(QStringLiteral("temp=-20:-19"), byRows.limits, nullptr);
        const DataRecordFile file = parseDataRecords(
            gridDumpBytes({}, {}, {}, QVector<QStringList>{dataFileHeadings(true)} + byRows.rows), RecordTexts::Lines);
        fullreport::Input byLines = byRows;
        byLines.rows.clear();
        byLines.records = file.records;
        byLines.lines = file.lines;
        const fullreport::Document a = fullreport::layout(byRows, QSizeF(210, 297), measure);
        const fullreport::Document b = fullreport::layout(byLines, QSizeF(210, 297), measure);
        QCOMPARE(b.printedRecords, 900);
        QCOMPARE(b.pages.size(), a.pages.size());
        QCOMPARE(b.stats.records, a.stats.records);
        QCOMPARE(b.stats[Quantity::Temperature]->outsideSeconds, a.stats[Quantity::Temperature]->outsideSeconds);
        QCOMPARE(b.stats.mkt, a.stats.mkt);
        for (qsizetype i = 0; i < a.pages.size(); ++i) {
            QCOMPARE(b.pages[i].texts.size(), a.pages[i].texts.size());
            for (qsizetype k = 0; k < a.pages[i].texts.size(); ++k) {
                QCOMPARE(b.pages[i].texts[k].text, a.pages[i].texts[k].text);
                QCOMPARE(b.pages[i].texts[k].box, a.pages[i].texts[k].box);
            }
        }
    }
};

QTEST_APPLESS_MAIN(TstFullReport)
#include "tst_full_report.moc"
