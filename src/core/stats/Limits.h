#pragma once

#include <QString>

#include <array>
#include <optional>

// The four quantities of a reading, in the order the statistics keep them
// (not the order of a data file's columns).
enum class Quantity { Temperature = 0, Humidity = 1, DewPoint = 2, WetBulb = 3 };
constexpr int kQuantities = 4;

// "temp", "rh", "dew", "wet": the names the tool's options and JSON use.
QString quantityKey(Quantity q);
std::optional<Quantity> quantityFromKey(const QString &key);
// The data-file column (0-based) that holds the quantity.
int quantityColumn(Quantity q);

// A value on a bound is within: only values strictly beyond it are outside.
struct Bounds {
    std::optional<double> low, high;
    bool isSet() const { return low.has_value() || high.has_value(); }
    bool below(double v) const { return low && v < *low; }
    bool above(double v) const { return high && v > *high; }
    bool operator==(const Bounds &) const = default;
};

struct Limits {
    std::array<Bounds, kQuantities> bounds;
    Bounds &operator[](Quantity q) { return bounds[size_t(q)]; }
    const Bounds &operator[](Quantity q) const { return bounds[size_t(q)]; }
    bool any() const;
    bool operator==(const Limits &) const = default;
};

// A number as a user types it: "." as separator or, when the text holds no
// ".", a single "," ("2,5"). Nothing for anything else.
std::optional<double> parseDecimal(QString text);

// Parses one option text "Q=LOW:HIGH" (either bound may be empty, not both;
// "." or, when the bound holds no ".", a single "," as decimal separator)
// into `limits`, replacing any earlier bounds of that quantity. False with a
// message in *error; `limits` is then unchanged.
bool parseLimit(const QString &text, Limits &limits, QString *error);
