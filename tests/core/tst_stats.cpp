#include "core/stats/Limits.h"
#include "core/stats/Stats.h"
#include "core/stats/StatsText.h"

#include <QTest>

namespace {
// Rows ten minutes apart from 08:00 on 30/06/2026; `values` per row:
// temperature, dew point, wet bulb, humidity.
QVector<QStringList> rowsOf(const QVector<QStringList> &values)
{
    QVector<QStringList> rows;
    const QDateTime start(QDate(2026, 6, 30), QTime(8, 0));
    for (int i = 0; i < values.size(); ++i) {
        const QDateTime at = start.addSecs(600 * i);
        rows.append(QStringList{QString::number(i + 1), at.toString(QStringLiteral("dd/MM/yyyy")),
                                at.toString(QStringLiteral("hh:mm:ss"))} +
                    values[i]);
    }
    return rows;
}

QVector<QStringList> temperatures(const QStringList &temps)
{
    QVector<QStringList> v;
    for (const QString &t : temps)
        v.append({t, "10.0", "15.0", "50.0"});
    return rowsOf(v);
}

QDateTime at(int minutesAfterEight)
{
    return QDateTime(QDate(2026, 6, 30), QTime(8, 0)).addSecs(60 * minutesAfterEight);
}
} // namespace

class TestStats : public QObject {
    Q_OBJECT
private slots:
    void celsiusFigures()
    {
        const RowStats s = computeRowStats(temperatures({"2.0", "2.0", "5.0", "8.0", "8.0", "8.0", "8.0"}), true);
        QCOMPARE(s.records, 7);
        QCOMPARE(s.first, at(0));
        QCOMPARE(s.last, at(60));
        QVERIFY(s.mkt);
        QVERIFY(qAbs(*s.mkt - 6.25) < 0.005);
        const QuantityStats &t = *s[Quantity::Temperature];
        QCOMPARE(t.valid, 7);
        QCOMPARE(t.invalid, 0);
        QCOMPARE(t.min, 2.0);
        QCOMPARE(t.max, 8.0);
        QCOMPARE(t.minAt, at(0)); // first occurrences
        QCOMPARE(t.maxAt, at(30));
        QCOMPARE(t.mean, 41.0 / 7);
        QVERIFY(qAbs(*t.stdev - 2.853569) < 1e-6);
        QVERIFY(!t.limited);
        // Columns reach the right quantities.
        QCOMPARE(s[Quantity::DewPoint]->mean, 10.0);
        QCOMPARE(s[Quantity::WetBulb]->mean, 15.0);
        QCOMPARE(s[Quantity::Humidity]->mean, 50.0);
        QCOMPARE(*s[Quantity::Humidity]->stdev, 0.0);
    }

    void fahrenheitMktIsComputedInCelsiusAndShownInFahrenheit()
    {
        // 50, 68, 77 °F are 10, 20, 25 °C: MKT 20.2031 °C = 68.3656 °F.
        const RowStats s = computeRowStats(temperatures({"50.0", "68.0", "77.0"}), false);
        QVERIFY(!s.celsius);
        QVERIFY(qAbs(*s.mkt - 68.3656) < 1e-3);
        QCOMPARE(s[Quantity::Temperature]->mean, 65.0);
        QVERIFY(qAbs(*s[Quantity::Temperature]->stdev - 13.747727) < 1e-6);
        // ΔH/R is settable; a larger one weighs the warm values more.
        const RowStats hot = computeRowStats(temperatures({"50.0", "68.0", "77.0"}), false, {}, 20000);
        QVERIFY(*hot.mkt > *s.mkt && *hot.mkt < 77);
    }

    void textsThatAreNotNumbersAreLeftOut()
    {
        QVector<QStringList> rows = rowsOf({{"OL", "----.0", "----.0", "0.0"},
                                            {"-OL", "", "x", "100.0"},
                                            {"21.5", "1.2.3", "+", "55.5"},
                                            {"", "-", ".", "60.0"}});
        rows.append(QStringList{"5", "30/06/2026"}); // a short row: the missing cells are empty
        const RowStats s = computeRowStats(rows, true);
        QCOMPARE(s.records, 5);
        QCOMPARE(s[Quantity::Temperature]->valid, 1);
        QCOMPARE(s[Quantity::Temperature]->invalid, 4);
        QCOMPARE(*s.mkt, 21.5); // one value: its own MKT
        QVERIFY(!s[Quantity::DewPoint]);
        QVERIFY(!s[Quantity::WetBulb]);
        QCOMPARE(s[Quantity::Humidity]->valid, 4);
        QCOMPARE(s[Quantity::Humidity]->min, 0.0);
        QCOMPARE(s[Quantity::Humidity]->minAt, at(0));
        QCOMPARE(s.last, at(30)); // the short row has no time

        const RowStats none = computeRowStats(rowsOf({{"OL", "", "", ""}}), true);
        QVERIFY(!none.mkt);
        for (const auto &q : none.q)
            QVERIFY(!q);
        const RowStats empty = computeRowStats({}, true);
        QCOMPARE(empty.records, 0);
        QVERIFY(!empty.first.isValid());

        // The fast number reader agrees with a full conversion.
        for (const char *t : {"0.0", "-0.1", "23.4", "-40.0", "140.0", "99.9", "0.30000000000000004", "+7",
                              "12345678901234567890.5", "1e3"}) {
            bool ok = false;
            const double full = QString::fromLatin1(t).toDouble(&ok);
            const auto fast = valueOf(QString::fromLatin1(t));
            if (QByteArray(t) == "1e3")
                QVERIFY(!fast); // a data file never holds exponents
            else
                QCOMPARE(*fast, full);
        }
    }

    void oneRecord()
    {
        const RowStats s = computeRowStats(rowsOf({{"20.0", "10.0", "15.0", "80.0"}}), true, [] {
            Limits l;
            l[Quantity::Humidity].high = 70;
            return l;
        }());
        QCOMPARE(s.first, s.last);
        const QuantityStats &rh = *s[Quantity::Humidity];
        QCOMPARE(rh.mean, 80.0);
        QVERIFY(!rh.stdev);
        QCOMPARE(rh.above, 1);
        QCOMPARE(rh.withinPercent, 0.0);
        QCOMPARE(rh.outsideSeconds, 0); // the last record stands for no time
    }

    void limitsCountValuesAndTimeOutside()
    {
        Limits limits;
        QVERIFY(parseLimit(QStringLiteral("rh=:70"), limits, nullptr));
        QVERIFY(parseLimit(QStringLiteral("temp=2:8"), limits, nullptr));
        QVERIFY(limits.any());
        // rh: 70 sits on the bound (within); 75 and 80 are above for 20 minutes;
        // the last record (90) is above but stands for no time.
        QVector<QStringList> rows = rowsOf({{"1.9", "0", "0", "60.0"},
                                            {"2.0", "0", "0", "75.0"},
                                            {"8.0", "0", "0", "80.0"},
                                            {"8.1", "0", "0", "70.0"},
                                            {"OL", "0", "0", "OL"},
                                            {"5.0", "0", "0", "90.0"}});
        const RowStats s = computeRowStats(rows, true, limits);
        const QuantityStats &rh = *s[Quantity::Humidity];
        QVERIFY(rh.limited);
        QCOMPARE(rh.below, 0);
        QCOMPARE(rh.above, 3);
        QCOMPARE(rh.withinPercent, 40.0);
        QCOMPARE(rh.outsideSeconds, 1200);
        const QuantityStats &t = *s[Quantity::Temperature];
        QCOMPARE(t.below, 1);
        QCOMPARE(t.above, 1);
        QCOMPARE(t.withinPercent, 60.0);
        QCOMPARE(t.outsideSeconds, 1200);
        QVERIFY(!s[Quantity::DewPoint]->limited);

        // A clock set back (or rows out of order) adds no negative time; a row
        // with an unreadable time ends the stretch of the one before it.
        rows = rowsOf({{"0", "0", "0", "80.0"}, {"0", "0", "0", "80.0"}, {"0", "0", "0", "80.0"}});
        rows[1][2] = QStringLiteral("07:00:00");
        rows[2][2] = QStringLiteral("07:10:00");
        QCOMPARE(computeRowStats(rows, true, limits)[Quantity::Humidity]->outsideSeconds, 600);
        rows[2][2] = QStringLiteral("08:20:00");
        rows[1][2] = QStringLiteral("25:00:00");
        QCOMPARE(computeRowStats(rows, true, limits)[Quantity::Humidity]->outsideSeconds, 0);
        // Across midnight.
        rows = rowsOf({{"0", "0", "0", "80.0"}, {"0", "0", "0", "80.0"}});
        rows[0][1] = QStringLiteral("29/06/2026"), rows[0][2] = QStringLiteral("23:59:30");
        rows[1][2] = QStringLiteral("00:00:10");
        rows[1][1] = QStringLiteral("30/06/2026");
        QCOMPARE(computeRowStats(rows, true, limits)[Quantity::Humidity]->outsideSeconds, 40);
    }

    void parseLimitForms()
    {
        Limits l;
        QString error;
        QVERIFY(parseLimit(QStringLiteral("dew=-5:"), l, &error));
        QCOMPARE(*l[Quantity::DewPoint].low, -5.0);
        QVERIFY(!l[Quantity::DewPoint].high);
        QVERIFY(parseLimit(QStringLiteral("wet=2,5:8.25"), l, &error));
        QCOMPARE(*l[Quantity::WetBulb].low, 2.5);
        QCOMPARE(*l[Quantity::WetBulb].high, 8.25);
        QVERIFY(parseLimit(QStringLiteral("wet=3:3"), l, &error)); // replaces the earlier one
        QCOMPARE(*l[Quantity::WetBulb].low, 3.0);

        const Limits before = l;
        for (const char *bad : {"rh", "hum=1:2", "rh=1", "rh=:", "rh=1:2:3", "rh=a:2", "rh=8:2", "rh=1,2,3:4",
                                "rh=1.5,2:4", "rh=inf:", "rh=:nan", "=1:2"}) {
            error.clear();
            QVERIFY2(!parseLimit(QString::fromLatin1(bad), l, &error), bad);
            QVERIFY2(error.contains(QString::fromLatin1(bad)), qPrintable(error));
        }
        QCOMPARE(*l[Quantity::WetBulb].low, *before[Quantity::WetBulb].low);
        QVERIFY(!l[Quantity::Humidity].isSet());
    }

    void portugueseTexts()
    {
        Limits limits;
        QVERIFY(parseLimit(QStringLiteral("rh=:70"), limits, nullptr));
        const RowStats s =
            computeRowStats(rowsOf({{"-0.04", "1.0", "OL", "75.0"}, {"2.25", "1.0", "OL", "60.0"}}), true, limits);
        const QStringList summary = statstext::summaryLines(s);
        QCOMPARE(summary, QStringList({"Registros: 2", "Período: 30/06/2026 08:00:00 a 30/06/2026 08:10:00",
                                       "Temperatura cinética média (TCM): 1,2 °C"}));
        const statstext::Table t = statstext::table(s, limits);
        QCOMPARE(t.header, QStringList({"", "Temperatura (°C)", "Orvalho (°C)", "Úmido (°C)", "UR (%)"}));
        const auto rowOf = [&](const QString &label) {
            for (const QStringList &r : t.rows)
                if (r.first() == label)
                    return r;
            return QStringList();
        };
        // No signed zero; half away from zero; wet bulb has no value.
        QCOMPARE(rowOf("Mínimo"), QStringList({"Mínimo", "0,0 °C", "1,0 °C", "-", "60,0 %"}));
        QCOMPARE(rowOf("Máximo em"),
                 QStringList({"Máximo em", "30/06/2026 08:10:00", "30/06/2026 08:00:00", "-", "30/06/2026 08:00:00"}));
        QCOMPARE(rowOf("Média").at(1), QStringLiteral("1,1 °C"));
        QCOMPARE(rowOf("Desvio padrão").at(2), QStringLiteral("0,0 °C"));
        // Limit rows only under the limited quantity.
        QCOMPARE(rowOf("Limite superior"), QStringList({"Limite superior", "", "", "", "70,0 %"}));
        QCOMPARE(rowOf("Dentro dos limites").at(4), QStringLiteral("50,0 %"));
        QCOMPARE(rowOf("Fora dos limites").at(4), QStringLiteral("10 min 00 s"));
        QVERIFY(statstext::table(s, {}).rows.size() < t.rows.size());
        QCOMPARE(statstext::duration(0), QStringLiteral("0 s"));
        QCOMPARE(statstext::duration(24005), QStringLiteral("6 h 40 min 05 s"));
        QCOMPARE(statstext::mktValue(computeRowStats({}, false)), QStringLiteral("-"));
    }
};

QTEST_APPLESS_MAIN(TestStats)
#include "tst_stats.moc"
