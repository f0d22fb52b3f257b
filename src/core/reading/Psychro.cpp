#include "core/reading/Psychro.h"

#include "core/reading/Format.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace psychro {

namespace {
constexpr double g0 = -2991.2729, g1 = -6017.0128, g2 = 18.87643854, g3 = -0.028354721, g4 = 1.7838301e-05,
                 g5 = -8.4150417e-10, g6 = 4.4412543e-13, g7 = 2.858487;

// Pa per kelvin of depression, evaluated once as the formula does.
const double kCoef = kPsychrometer * kPressure;

// The depression d before pass k, as repeated subtraction of 0.01 leaves it
// (not k * 0.01, which differs in the last bits). Enough passes to reach
// absolute zero from the warmest allowed air.
const std::vector<double> &depressions()
{
    static const std::vector<double> table = [] {
        const auto n = static_cast<size_t>((kMaxTempC + kKelvin) / 0.01) + 2;
        std::vector<double> t(n);
        double d = 0;
        for (size_t k = 0; k < n; ++k) {
            t[k] = d;
            d = d - 0.01;
        }
        return t;
    }();
    return table;
}

// One pass of the search at depression d: the two trial pressures, each
// taken through its decimal text.
double trialHigh(double tk, double d)
{
    return quantize15(saturationPressure(tk + d) + kCoef * d);
}
double trialLow(double tk, double d)
{
    return quantize15(saturationPressure(tk + d - 0.1) + kCoef * (d - 0.1));
}

bool stops(double e, double e1, double e2)
{
    return e1 == e || (e - e1) * (e - e2) <= 0;
}

// Result of the pass that stopped, d being the depression that pass used.
double resultC(double tempC, double tk, double d, double e1, double e)
{
    if (e1 == e)
        return tempC;
    const double after = d - 0.01;
    return tk + after + 0.01 - kKelvin;
}

bool usable(double tempC, double e)
{
    return tempC >= kMinTempC && tempC <= kMaxTempC && std::isfinite(e) && e > 0;
}
} // namespace

double saturationPressure(double k)
{
    const double k2 = k * k;
    return std::exp(g0 / k2 + g1 / k + g2 + g3 * k + g4 * k2 + g5 * (k2 * k) + g6 * (k2 * k2) +
                    g7 * std::log(k) / std::log(kE));
}

double dewPointC(double e)
{
    const double x = (std::log(e) - std::log(611.2)) / std::log(kE);
    return 243.12 * x / (17.62 - x);
}

WetBulb wetBulbStepping(double tempC, double e)
{
    WetBulb r;
    if (!usable(tempC, e))
        return r;
    const double tk = tempC + kKelvin;
    double d = 0;
    for (;;) {
        if (tk + d - 0.1 <= 0)
            return r; // no crossing above absolute zero
        const double e1 = trialHigh(tk, d);
        const double e2 = trialLow(tk, d);
        r.evaluations += 2;
        ++r.passes;
        const double used = d;
        d = d - 0.01;
        if (stops(e, e1, e2)) {
            r.found = true;
            r.wetC = resultC(tempC, tk, used, e1, e);
            return r;
        }
    }
}

WetBulb wetBulbSearch(double tempC, double e)
{
    // The low trial pressure falls as the depression grows, so the stopping
    // pass is the first whose low trial is at or below e: the high trial of
    // that pass is still above e (it is taken 0.09 K warmer than the low
    // trial of the pass before), and no earlier pass can stop. Gallop, then
    // bisect on the pass index.
    WetBulb r;
    if (!usable(tempC, e))
        return r;
    const std::vector<double> &ds = depressions();
    const double tk = tempC + kKelvin;
    const auto last = static_cast<long long>(ds.size()) - 1;
    auto reaches = [&](long long k) {
        ++r.evaluations;
        return trialLow(tk, ds[size_t(k)]) <= e;
    };
    auto valid = [&](long long k) { return k <= last && tk + ds[size_t(k)] - 0.1 > 0; };

    // The last pass whose trial temperatures stay above absolute zero.
    long long maxK = 0;
    {
        long long a = 0, b = last + 1; // valid(a), !valid(b)
        if (!valid(0))
            return r;
        while (b - a > 1) {
            const long long m = a + (b - a) / 2;
            (valid(m) ? a : b) = m;
        }
        maxK = a;
    }
    long long lo = -1; // highest pass known not to reach e
    long long hi = 0;
    long long step = 1;
    while (!reaches(hi)) {
        if (hi == maxK)
            return r;
        lo = hi;
        hi = std::min(hi + step, maxK);
        step *= 2;
    }
    while (hi - lo > 1) {
        const long long m = lo + (hi - lo) / 2;
        (reaches(m) ? hi : lo) = m;
    }
    const double d = ds[size_t(hi)];
    const double e1 = trialHigh(tk, d);
    ++r.evaluations;
    const double e2 = trialLow(tk, d);
    if (!stops(e, e1, e2))
        return r; // cannot happen for a monotone pressure; never guess
    r.found = true;
    r.passes = hi + 1;
    r.wetC = resultC(tempC, tk, d, e1, e);
    return r;
}

} // namespace psychro
