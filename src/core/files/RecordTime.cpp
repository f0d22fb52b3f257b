#include "core/files/RecordTime.h"

namespace {
// Fixed-width decimal digits at text[pos..pos+n); -1 when one is not a digit.
int digits(QStringView text, qsizetype pos, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t u = text[pos + i].unicode();
        if (u < u'0' || u > u'9')
            return -1;
        v = v * 10 + int(u - u'0');
    }
    return v;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void put(QChar *&out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = QChar(u'0' + value % 10);
    out += width;
}
} // namespace

RecordTime parseRecordTime(QStringView date, QStringView time)
{
    RecordTime t;
    if (date.size() != 10 || time.size() != 8 || date[2] != u'/' || date[5] != u'/' || time[2] != u':' ||
        time[5] != u':')
        return t;
    t.d = digits(date, 0, 2);
    t.mo = digits(date, 3, 2);
    t.y = digits(date, 6, 4);
    t.h = digits(time, 0, 2);
    t.mi = digits(time, 3, 2);
    t.s = digits(time, 6, 2);
    t.valid = t.d >= 0 && t.mo >= 0 && t.y >= 0 && t.h >= 0 && t.mi >= 0 && t.s >= 0 && t.h <= 23 && t.mi <= 59 &&
              t.s <= 59 && QDate::isValid(t.y, t.mo, t.d);
    return t;
}

qint64 RecordTime::wallSeconds() const
{
    return daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

QString RecordTime::isoText() const
{
    if (!valid)
        return {};
    QString text(19, Qt::Uninitialized);
    QChar *out = text.data();
    put(out, y, 4);
    *out++ = u'-';
    put(out, mo, 2);
    *out++ = u'-';
    put(out, d, 2);
    *out++ = u'T';
    put(out, h, 2);
    *out++ = u':';
    put(out, mi, 2);
    *out++ = u':';
    put(out, s, 2);
    return text;
}
