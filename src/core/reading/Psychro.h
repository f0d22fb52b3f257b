#pragma once

// Psychrometrics of ComputeDewWet: the constants, the saturation pressure,
// the dew point and the wet-bulb search. The wet bulb is defined by a search
// that steps the trial temperature down 0.01 K per pass from the air
// temperature; wetBulbSearch finds the same stopping pass without walking.
namespace psychro {

constexpr double kKelvin = 273.15;
constexpr double kPressure = 101325;
constexpr double kPsychrometer = 0.000662;
constexpr double kE = 2.71828182845905; // the base of the natural logarithm as the formulas store it

// Wexler saturation vapour pressure over water, Pa, at `kelvin`.
double saturationPressure(double kelvin);
// Dew point, °C, of vapour pressure `e` (Pa), Magnus form.
double dewPointC(double e);

// Trial temperatures must stay well above absolute zero; air temperatures
// outside this range have no wet bulb here.
constexpr double kMinTempC = -273.0;
constexpr double kMaxTempC = 1000.0;

struct WetBulb {
    bool found = false;        // false: no stopping pass within the trial range
    double wetC = 0;           // the wet-bulb temperature, °C
    long long passes = 0;      // passes the stepping search runs (stopping pass + 1)
    long long evaluations = 0; // saturation-pressure evaluations spent
};

// Air at `tempC` (°C) holding vapour pressure `e` (Pa, 0 < e < saturation).
WetBulb wetBulbSearch(double tempC, double e);
// The reference: one pass per 0.01 K, two evaluations per pass.
WetBulb wetBulbStepping(double tempC, double e);

} // namespace psychro
