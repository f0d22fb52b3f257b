#pragma once

// Small builders of test data shared by tests of several folders.
#include "core/charts/ChartDrawing.h"

#include <QByteArray>

#include <initializer_list>

// Bytes from their values, as an instrument sends or receives them.
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(quint8(v)));
    return b;
}

// One record's four chart values.
inline SeriesValues values(double t, double rh, double wet, double dew)
{
    SeriesValues v;
    v[SeriesTemp] = SeriesValue::number(t);
    v[SeriesRh] = SeriesValue::number(rh);
    v[SeriesWet] = SeriesValue::number(wet);
    v[SeriesDew] = SeriesValue::number(dew);
    return v;
}
