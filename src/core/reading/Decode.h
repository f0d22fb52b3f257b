#pragma once

#include "core/state/Reading.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

// The locale whose decimal separator the display texts use (the user's by
// default; tests set pt_BR or C).
QLocale displayLocale();
void setDisplayLocale(const QLocale &locale);

// Decoders of the raw words of a reading frame or a logger record.
void DecodeStatus(Reading &r, quint8 status);
void DecodeTemperature(Reading &r, quint8 high, quint8 low);
void DecodeHumidity(Reading &r, quint8 high, quint8 low);
// Dew point and wet bulb from the temperature and humidity display texts.
void ComputeDewWet(Reading &r, const QString &tempCText, const QString &rhText);
// Dot text: "." separator and exactly one decimal digit, cut, not rounded.
QString ToDotText(const QString &x);
// The seven dot texts from the display texts.
void fillDotTexts(Reading &r);

// Whole decode of a valid 7-byte frame (STX .. ETX): status, temperature,
// humidity, dew/wet and dot texts, in that order. Does not touch LastStatus.
void decodeFrame(Reading &r, const QByteArray &frame);
// Decode of a logger record (humidity word, temperature word): same texts.
void decodeRecord(Reading &r, quint8 rhHigh, quint8 rhLow, quint8 tHigh, quint8 tLow);
