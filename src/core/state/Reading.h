#pragma once

#include <QString>
#include <QtGlobal>

// The current decoded reading. Numbers are 0 and texts empty until the first
// good frame; dew point and wet bulb keep their last numbers while the humidity
// reads 0 % (their texts then show "----").
struct Reading {
    double TempC = 0;
    double TempF = 0;
    double Rh = 0;
    double DewC = 0;
    double DewF = 0;
    double WetC = 0;
    double WetF = 0;

    // Display texts, user's decimal separator ("0.00" measured, "0.0" computed).
    QString TempCText;
    QString TempFText;
    QString RhText;
    QString DewCText;
    QString DewFText;
    QString WetCText;
    QString WetFText;

    // Dot texts: "." separator and exactly one decimal digit (files, lists).
    QString TempCDot;
    QString TempFDot;
    QString RhDot;
    QString DewCDot;
    QString DewFDot;
    QString WetCDot;
    QString WetFDot;

    bool MemoryFull = false;
    bool InstrumentRecording = false;
    bool Hold = false;
    bool LowBattery = false;
    quint8 LastStatus = 0;
};
