#include "core/reading/Decode.h"
#include "core/reading/Format.h"
#include "core/reading/Psychro.h"

#include <QTest>

#include <cmath>
#include <limits>

namespace {
const QLocale kComma(QLocale::Portuguese, QLocale::Brazil);
const QLocale kPoint = QLocale::c();

Reading readingAt(const QString &tempC, const QString &rh)
{
    Reading r;
    r.TempCText = tempC;
    r.TempFText = formatFixed(textValue(tempC, displayLocale()) * 1.8 + 32, 2, displayLocale());
    r.RhText = rh;
    r.DewC = r.WetC = r.DewF = r.WetF = -999; // a previous reading's numbers
    ComputeDewWet(r, r.TempCText, r.RhText);
    return r;
}
} // namespace

class TestReading : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setDisplayLocale(kPoint); }

    void formatFixedRoundsTheFifteenDigitText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("binary just below a half") << 18.049999999999997 << 2 << "18.05";
        QTest::newRow("and to one decimal") << 18.049999999999997 << 1 << "18.1";
        QTest::newRow("exact half away from zero") << 2.25 << 1 << "2.3";
        QTest::newRow("negative half away from zero") << -2.25 << 1 << "-2.3";
        QTest::newRow("carry into a new digit") << 9.995 << 2 << "10.00";
        QTest::newRow("half below one") << 0.05 << 1 << "0.1";
        QTest::newRow("tiny") << 1e-300 << 2 << "0.00";
        QTest::newRow("negative rounding to zero has no sign") << -0.04 << 1 << "0.0";
        QTest::newRow("coldest temperature") << -50.0 << 2 << "-50.00";
        QTest::newRow("hottest temperature") << 605.35 << 2 << "605.35";
        QTest::newRow("large") << 1e20 << 2 << "100000000000000000000.00";
        QTest::newRow("no decimals") << 2.5 << 0 << "3";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 1 << "----";
    }
    void formatFixedRoundsTheFifteenDigitText()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        QCOMPARE(formatFixed(value, decimals, kPoint), text);
        QCOMPARE(formatFixed(value, decimals, kComma), QString(text).replace(QLatin1Char('.'), QLatin1Char(',')));
    }

    void numbersAreReadFromTheirTexts()
    {
        QCOMPARE(leadingNumber(QStringLiteral("100,00")), 100.0);
        QCOMPARE(leadingNumber(QStringLiteral("0,45")), 0.0);
        QCOMPARE(leadingNumber(QStringLiteral("-3.5x")), -3.5);
        QCOMPARE(leadingNumber(QStringLiteral("1.2.3")), 1.2);
        QCOMPARE(leadingNumber(QStringLiteral("+7")), 7.0);
        QCOMPARE(leadingNumber(QString()), 0.0);
        QCOMPARE(leadingNumber(QStringLiteral("abc")), 0.0);
        QCOMPARE(leadingNumber(QStringLiteral("-")), 0.0);
        QVERIFY(std::isinf(leadingNumber(QStringLiteral("9").repeated(400))));

        QCOMPARE(textValue(QStringLiteral("0,40"), kComma), 0.4);
        QCOMPARE(textValue(QStringLiteral("100,50"), kComma), 100.5);
        QCOMPARE(textValue(QStringLiteral("18.05"), kComma), 18.05);
        QCOMPARE(textValue(QStringLiteral("18,05"), kPoint), 18.05);

        QCOMPARE(roundHalfEven(2.5), 2LL);
        QCOMPARE(roundHalfEven(3.5), 4LL);
        QCOMPARE(roundHalfEven(-2.5), -2LL);
        QCOMPARE(roundHalfEven(2.4999), 2LL);
        QCOMPARE(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0LL);
        QVERIFY(roundHalfEven(1e30) > 0);
        QVERIFY(roundHalfEven(-1e30) < 0);
    }

    void decodersTakeAnyBytes()
    {
        setDisplayLocale(kComma);
        Reading r;
        DecodeTemperature(r, 0x1E, 0xDC);
        QCOMPARE(r.TempC, 29.0);
        QCOMPARE(r.TempCText, QStringLiteral("29,00"));
        QCOMPARE(r.TempFText, QStringLiteral("84,20"));
        DecodeTemperature(r, 0, 0);
        QCOMPARE(r.TempCText, QStringLiteral("-50,00"));
        DecodeTemperature(r, 0xFF, 0xFF);
        QCOMPARE(r.TempCText, QStringLiteral("605,35"));

        DecodeHumidity(r, 0x80, 0x00);
        QVERIFY(r.LowBattery);
        QCOMPARE(r.RhText, QStringLiteral("0,00"));
        DecodeHumidity(r, 0x13, 0x88);
        QVERIFY(!r.LowBattery);
        QCOMPARE(r.Rh, 50.0);
        DecodeHumidity(r, 0x93, 0x88);
        QVERIFY(r.LowBattery);
        QCOMPARE(r.RhText, QStringLiteral("50,00"));

        DecodeStatus(r, 0x05);
        QVERIFY(r.MemoryFull && !r.InstrumentRecording && r.Hold);
        DecodeStatus(r, 0xFA);
        QVERIFY(!r.MemoryFull && r.InstrumentRecording && !r.Hold);
    }

    void dewPointAndWetBulbAreTheSameUnderEitherSeparator()
    {
        for (const QLocale &loc : {kPoint, kComma}) {
            setDisplayLocale(loc);
            const QString sep = loc.decimalPoint();
            const Reading r = readingAt(QStringLiteral("25") + sep + "00", QStringLiteral("50") + sep + "00");
            QCOMPARE(r.DewCText, QStringLiteral("13") + sep + "9");
            QCOMPARE(r.WetCText, QStringLiteral("18") + sep + "0");
            QCOMPARE(formatFixed(r.DewC, 2, kPoint), QStringLiteral("13.89"));
            QCOMPARE(formatFixed(r.WetC, 2, kPoint), QStringLiteral("18.04"));
            // °F texts come from the rounded °C texts, °F numbers from the unrounded values.
            QCOMPARE(r.DewFText, formatFixed(13.9 * 1.8 + 32, 1, loc));
            QCOMPARE(r.WetFText, formatFixed(18.0 * 1.8 + 32, 1, loc));
            QCOMPARE(r.WetF, r.WetC * 1.8 + 32);

            // A humidity under 1 % is a humidity, not zero.
            const Reading dry = readingAt(QStringLiteral("25") + sep + "00", QStringLiteral("0") + sep + "40");
            QVERIFY(dry.DewCText != QStringLiteral("----"));
            QVERIFY(dry.WetC > -999 && dry.WetC < 25);
        }
    }

    void saturatedAndDryAir()
    {
        setDisplayLocale(kComma);
        for (const char *rh : {"100,00", "100,50", "150,00", "327,67"}) {
            const Reading r = readingAt(QStringLiteral("23,45"), QString::fromLatin1(rh));
            QCOMPARE(r.DewCText, QStringLiteral("23,4"));
            QCOMPARE(r.WetCText, QStringLiteral("23,4"));
            QCOMPARE(r.DewFText, QStringLiteral("74,2")); // 74,21
            QCOMPARE(r.WetFText, QStringLiteral("74,2"));
            QCOMPARE(r.DewC, 23.45);
            QCOMPARE(r.WetC, 23.45);
            QCOMPARE(r.WetF, 23.45 * 1.8 + 32);
        }
        for (const char *rh : {"0,00", "-1,00", ""}) {
            const Reading r = readingAt(QStringLiteral("23,45"), QString::fromLatin1(rh));
            QCOMPARE(r.DewCText, QStringLiteral("----"));
            QCOMPARE(r.WetFText, QStringLiteral("----"));
            QCOMPARE(r.DewC, -999.0); // numbers keep their previous values
            QCOMPARE(r.WetF, -999.0);
        }
        // No wet bulb outside the physical range: no endless search either.
        QCOMPARE(readingAt(QStringLiteral("5000,00"), QStringLiteral("50,00")).WetCText, QStringLiteral("----"));
        QCOMPARE(readingAt(QStringLiteral("-300,00"), QStringLiteral("50,00")).WetCText, QStringLiteral("----"));
    }

    void dotTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dot");
        QTest::newRow("comma, cut not rounded") << "23,45"
                                                << "23.4";
        QTest::newRow("negative") << "-3,07"
                                  << "-3.0";
        QTest::newRow("comma last") << "23,"
                                    << "23.0";
        QTest::newRow("comma first") << ",57"
                                     << "0.5";
        QTest::newRow("whole number") << "7"
                                      << "7.0";
        QTest::newRow("no number") << "----"
                                   << "----.0";
        QTest::newRow("empty") << ""
                               << ".0";
        QTest::newRow("point") << "12.3"
                               << "12.3";
        QTest::newRow("point, two decimals") << "12.39"
                                             << "12.3";
        QTest::newRow("overload") << "OL"
                                  << "OL";
        QTest::newRow("negative overload") << "-OL"
                                           << "-OL";
    }
    void dotTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, dot);
        QCOMPARE(ToDotText(text), dot);
    }

    void wholeFrame()
    {
        setDisplayLocale(kComma);
        Reading r;
        r.LastStatus = 0x42;
        decodeFrame(r, QByteArray::fromHex("02031388 1EDC03"));
        QVERIFY(r.MemoryFull && r.InstrumentRecording && !r.Hold && !r.LowBattery);
        QCOMPARE(r.LastStatus, quint8(0x42));
        QCOMPARE(r.TempCDot, QStringLiteral("29.0"));
        QCOMPARE(r.TempFDot, QStringLiteral("84.2"));
        QCOMPARE(r.RhDot, QStringLiteral("50.0"));
        QCOMPARE(r.DewCDot, ToDotText(r.DewCText));
        QVERIFY(r.DewCDot.contains(QLatin1Char('.')) && !r.WetFDot.contains(QLatin1Char(',')));

        decodeFrame(r, QByteArray::fromHex("02008000 138803")); // 0 % and low battery
        QCOMPARE(r.DewCDot, QStringLiteral("----.0"));
        QCOMPARE(r.WetFDot, QStringLiteral("----.0"));
        QVERIFY(r.LowBattery);

        const Reading before = r;
        decodeFrame(r, QByteArray("\x02\x01", 2)); // too short: nothing happens
        QCOMPARE(r.TempCText, before.TempCText);
    }

    void searchMatchesTheSteppingOnHardCases()
    {
        struct Case {
            double t, rh;
        };
        for (const Case c : {Case{60, 1}, Case{25, 50}, Case{-50, 0.01}, Case{605.35, 0.01}, Case{605.35, 99.99},
                             Case{100, 0.01}, Case{0, 99.99}, Case{-50, 99.99}, Case{20, 327.67 / 4}}) {
            const double e = 0.01 * c.rh * psychro::saturationPressure(c.t + psychro::kKelvin);
            const psychro::WetBulb fast = psychro::wetBulbSearch(c.t, e);
            const psychro::WetBulb slow = psychro::wetBulbStepping(c.t, e);
            QVERIFY2(fast.found && slow.found, qPrintable(QString::number(c.t)));
            QCOMPARE(fast.wetC, slow.wetC);
            QCOMPARE(fast.passes, slow.passes);
            QVERIFY(fast.evaluations < 100);
        }
        const double e = 0.01 * 1 * psychro::saturationPressure(60 + psychro::kKelvin);
        const auto worst = psychro::wetBulbStepping(60, e);
        QVERIFY(worst.passes > 3500 && worst.passes < 4000);
        const double e25 = 0.01 * 50 * psychro::saturationPressure(25 + psychro::kKelvin);
        QVERIFY(qAbs(psychro::wetBulbStepping(25, e25).passes - 700) < 50);
    }
};

QTEST_APPLESS_MAIN(TestReading)
#include "tst_reading.moc"
