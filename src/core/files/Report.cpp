#include "core/files/Report.h"

namespace {
constexpr int kWidths[7] = {13, 12, 10, 7, 12, 10, 6};
const QString kDash = QStringLiteral(" -");
} // namespace

QStringList reportHeadLines(const QString &name, const QString &sector, const QString &company)
{
    QStringList lines{kDash, kDash, kDash};
    if (!name.isEmpty() || !sector.isEmpty() || !company.isEmpty()) {
        const QString indent = QStringLiteral(" -          ");
        lines << indent + name << indent + sector << indent + company;
    }
    lines << kDash << kDash << kDash;
    return lines;
}

QString reportRowLine(const QStringList &cells)
{
    QString line;
    line.reserve(70);
    for (int j = 0; j < 7; ++j)
        line += (j < cells.size() ? cells[j] : QString()).rightJustified(kWidths[j], QLatin1Char(' '));
    return line;
}

QString reportRuler()
{
    return QString(6, QLatin1Char(' ')) + QString(65, QLatin1Char('-'));
}

QStringList reportLines(const QString &name, const QString &sector, const QString &company,
                        const QVector<QStringList> &rows)
{
    QStringList lines = reportHeadLines(name, sector, company);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        lines << reportRowLine(rows[i]);
        if (i == 0)
            lines << reportRuler();
    }
    return lines;
}

QStringList gridReportLines(const QString &name, const QString &sector, const QString &company,
                            const QVector<QString> &rows)
{
    QStringList lines = reportHeadLines(name, sector, company);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        lines << reportRowLine(rows.at(i).split(QLatin1Char('\t')));
        if (i == 0)
            lines << reportRuler();
    }
    return lines;
}
