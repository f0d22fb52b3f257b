#include "core/files/LineProtocol.h"

#include <QTest>

namespace {
DataFileContents fileOf(bool celsius, const QVector<QStringList> &records)
{
    DataFileContents f;
    f.hasUnit = true;
    f.celsius = celsius;
    f.records = records;
    return f;
}

LineProtocolOptions inZone(const char *zone)
{
    LineProtocolOptions o;
    o.zone = QTimeZone(zone);
    return o;
}
} // namespace

class TestLineProtocol : public QObject {
    Q_OBJECT
private slots:
    void recordsBecomeLines()
    {
        const auto out =
            lineProtocolText(fileOf(true, {{"1", "08/12/2026", "19:09:02", "23.0", "13.5", "17.2", "55.0"},
                                           {"2", "08/12/2026", "19:10:02", "-OL", "----.0", "----.0", "0.0"},
                                           {"3", "08/12/2026", "19:11:02", "OL", "----.0", "x", ""},
                                           {"4", "31/02/2026", "19:12:02", "1.0", "1.0", "1.0", "1.0"},
                                           {"5", "08/12/2026", "7:13:02", "1.0", "1.0", "1.0", "1.0"},
                                           {"6", "08/12/2026", "19:14:02", "-0.5", "-12.3", "-3.1", "100.0"}}),
                             inZone("America/Sao_Paulo"));
        // 19:09:02 at UTC-3 is 22:09:02 UTC; values in their shortest exact form.
        QCOMPARE(QString::fromUtf8(out.text),
                 QStringLiteral("termohigrometro,unit=C temp=23,dew=13.5,wet=17.2,rh=55 1796767742000000000\n"
                                "termohigrometro,unit=C rh=0 1796767802000000000\n"
                                "termohigrometro,unit=C temp=-0.5,dew=-12.3,wet=-3.1,rh=100 1796768042000000000\n"));
        QCOMPARE(out.lines, 3);
        QCOMPARE(out.noField, 1);
        QCOMPARE(out.badTime, 2);

        // A Fahrenheit file keeps its own unit's values.
        const auto f = lineProtocolText(
            fileOf(false, {{"1", "01/01/2026", "00:00:00", "73.4", "56.3", "63.0", "55.0"}}), inZone("UTC"));
        QCOMPARE(QString::fromUtf8(f.text),
                 QStringLiteral("termohigrometro,unit=F temp=73.4,dew=56.3,wet=63,rh=55 1767225600000000000\n"));
    }

    void zonesAndDaylightSaving()
    {
        const QString prefix = seriesPrefix(true, {});
        auto ns = [&](const char *zone, const char *date, const char *time) {
            const QString line = lineProtocolLine(prefix, {"1", date, time, "1.0", "", "", ""}, inZone(zone));
            return line.section(QLatin1Char(' '), -1).toLongLong();
        };
        // Summer and winter time in Berlin are one hour apart in UTC.
        QCOMPARE(ns("Europe/Berlin", "01/07/2026", "12:00:00"), 1782900000000000000LL);
        QCOMPARE(ns("Europe/Berlin", "01/01/2026", "12:00:00"), 1767265200000000000LL);
        // Before 1970 and at InfluxDB's limits.
        QCOMPARE(ns("UTC", "31/12/1969", "23:59:59"), -1000000000LL);
        LineSkip why = LineSkip::None;
        QVERIFY(lineProtocolLine(prefix, {"1", "01/01/2300", "00:00:00", "1.0", "", "", ""}, inZone("UTC"), &why)
                    .isEmpty());
        QCOMPARE(why, LineSkip::BadTime);
        // Short rows (any file shape) are skipped, not read past their end.
        QVERIFY(lineProtocolLine(prefix, {"1", "01/01/2026"}, {}, &why).isEmpty());
        QCOMPARE(why, LineSkip::NoField);
    }

    void namesAndTagsAreEscapedAndChecked()
    {
        LineProtocolOptions o;
        o.measurement = QStringLiteral("sala fria,2");
        for (const char *t : {"site=Lab 2", "a=b,c=d", "z=last", "z=later"}) {
            LineProtocolTag tag;
            QString error;
            QVERIFY2(parseLineProtocolTag(QString::fromUtf8(t), tag, &error), qPrintable(error));
            o.tags.append(tag);
        }
        // Tags sorted by key, the later of two equal keys wins, "=" escaped in values.
        QCOMPARE(seriesPrefix(false, o), QStringLiteral("sala\\ fria\\,2,a=b\\,c\\=d,site=Lab\\ 2,unit=F,z=later"));

        LineProtocolTag tag;
        QString error;
        for (const char *bad : {"novalue", "=v", "k=", "unit=K", "k=a\nb", "k=a\\", "k\t=v"}) {
            QVERIFY2(!parseLineProtocolTag(QString::fromUtf8(bad), tag, &error), bad);
            QVERIFY(!error.isEmpty());
        }
        QVERIFY(checkMeasurementName(QStringLiteral("termohigrometro"), &error));
        for (const char *bad : {"", "#comentario", "a\rb"})
            QVERIFY2(!checkMeasurementName(QString::fromUtf8(bad), &error), bad);
    }
};

QTEST_APPLESS_MAIN(TestLineProtocol)
#include "tst_lineprotocol.moc"
