#pragma once

// Reading back what the programs make, as a user's tools read it: the text
// of a PDF, a program's output, the colours of a picture.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPointF>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdlib>

// What `program` printed, or empty when it failed or did not end in a minute.
inline QString programOutput(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A PDF's text as pdftotext lays it out.
inline QString pdfText(const QString &pdf)
{
    return programOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline int colourDistance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// Whether a pixel within two of `p` up or down has the colour.
inline bool colourNear(const QImage &image, QPointF p, const QColor &colour)
{
    for (int dy = -2; dy <= 2; ++dy)
        if (colourDistance(image.pixel(qRound(p.x()), qRound(p.y()) + dy), colour.rgb()) < 40)
            return true;
    return false;
}
