#pragma once

#include <QLocale>
#include <QString>

// Fixed-decimal display text as the instrument's original platform produced
// it: the value's 15-significant-digit decimal text rounded half away from
// zero, with the locale's decimal separator ("0.00" -> decimals = 2).
// Not a finite number gives "----". A result that rounds to zero carries no sign.
QString formatFixed(double value, int decimals, const QLocale &locale);

// The value read back from its 15-significant-digit decimal text.
double quantize15(double value);

// Leading-number reading with "." as separator: optional sign, digits, at
// most one "."; stops at any other character; 0 when nothing is read.
double leadingNumber(const QString &text);

// Value of a display text written with `locale`'s separator (or "."),
// whatever the separator; 0 when it holds no number.
double textValue(const QString &text, const QLocale &locale);

// Nearest integer, an exact half to the even neighbour.
long long roundHalfEven(double value);
