#include "core/reading/Decode.h"
#include "core/reading/Format.h"
#include "core/reading/Psychro.h"

#include <QTest>

#include <random>
#include <thread>

// The fast wet-bulb search must stop on the very pass the 0.01 K stepping
// stops on, for every reading the instrument can send in its usual range.
class TestWetBulb : public QObject {
    Q_OBJECT
private slots:
    void searchEqualsSteppingOnRandomReadings()
    {
        constexpr int kReadings = 100000;
        constexpr int kThreads = 2;
        struct Mismatch {
            double t = 0, rh = 0;
        };
        std::vector<std::vector<Mismatch>> found(kThreads);
        std::vector<long long> passes(kThreads, 0);
        auto work = [&](int part) {
            std::mt19937_64 rng(20240611 + part);
            std::uniform_int_distribution<int> tempWord(0, 15000); // -50.00 .. 100.00 °C
            std::uniform_int_distribution<int> rhWord(1, 9999);    // 0.01 .. 99.99 %
            for (int i = part; i < kReadings; i += kThreads) {
                const double t = tempWord(rng) / 100.0 - 50;
                const double rh = rhWord(rng) / 100.0;
                const double e = 0.01 * rh * psychro::saturationPressure(t + psychro::kKelvin);
                const psychro::WetBulb fast = psychro::wetBulbSearch(t, e);
                const psychro::WetBulb slow = psychro::wetBulbStepping(t, e);
                passes[part] += slow.passes;
                if (!fast.found || !slow.found || fast.wetC != slow.wetC || fast.passes != slow.passes)
                    found[part].push_back({t, rh});
            }
        };
        std::vector<std::thread> threads;
        for (int p = 0; p < kThreads; ++p)
            threads.emplace_back(work, p);
        for (auto &th : threads)
            th.join();
        for (const auto &list : found)
            for (const Mismatch &m : list)
                qWarning("differs at %.2f °C, %.2f %%", m.t, m.rh);
        QVERIFY(found[0].empty() && found[1].empty());
        QVERIFY(passes[0] + passes[1] > kReadings); // the reference really stepped
    }

    void textsOfBothSearchesAgree()
    {
        // Same readings through ComputeDewWet: the texts a data file carries.
        setDisplayLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        std::mt19937_64 rng(7);
        std::uniform_int_distribution<int> tempWord(0, 15000);
        std::uniform_int_distribution<int> rhWord(1, 9999);
        for (int i = 0; i < 2000; ++i) {
            Reading r;
            const int tw = tempWord(rng), hw = rhWord(rng);
            DecodeTemperature(r, quint8(tw >> 8), quint8(tw & 0xFF));
            DecodeHumidity(r, quint8(hw >> 8), quint8(hw & 0xFF));
            ComputeDewWet(r, r.TempCText, r.RhText);
            // The search works on the numbers the texts denote.
            const double t = textValue(r.TempCText, displayLocale());
            const double e =
                0.01 * textValue(r.RhText, displayLocale()) * psychro::saturationPressure(t + psychro::kKelvin);
            const psychro::WetBulb slow = psychro::wetBulbStepping(t, e);
            const QString wetC = formatFixed(slow.wetC, 1, displayLocale());
            QCOMPARE(r.WetCText, wetC);
            QCOMPARE(r.WetFText, formatFixed(textValue(wetC, displayLocale()) * 1.8 + 32, 1, displayLocale()));
            QCOMPARE(r.WetC, slow.wetC);
        }
    }
};

QTEST_APPLESS_MAIN(TestWetBulb)
#include "tst_wetbulb.moc"
