#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A °C data file with `records` records (one second apart) and a sector
// line, as the panel saves it; the path, or empty when it cannot be written.
inline QString writeSampleDataFile(const QString &path, int records)
{
    QByteArray b = "\r\nSala 2\r\n\r\nN\xB0\tData\tHora\t\xB0"
                   "C\tOrvalho(\xB0"
                   "C)\t\xDAmido(\xB0"
                   "C)\tUR%\r\n";
    for (int i = 1; i <= records; ++i)
        b += QByteArray::number(i) + "\t08/12/2026\t10:00:" + QByteArray::number(i % 60).rightJustified(2, '0') +
             "\t25.0\t13.8\t17.9\t50.0\r\n";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(b) != b.size())
        return QString();
    return path;
}
