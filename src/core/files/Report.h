#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The printed list report (fixed pitch): the lines PrintGrid prints.

// Three " -" lines, the name/sector/company lines (" -" and ten spaces before
// each text) when at least one text is not empty, three more " -" lines.
QStringList reportHeadLines(const QString &name, const QString &sector, const QString &company);
// One grid row: the seven cells right-aligned in fields of 13, 12, 10, 7, 12,
// 10 and 6 characters. A longer cell is printed whole (nothing is cut).
QString reportRowLine(const QStringList &cells);
// Six spaces and 65 dashes, printed after the heading row.
QString reportRuler();
// The whole report: head lines, then the rows (row 0 the headings, followed by the ruler).
QStringList reportLines(const QString &name, const QString &sector, const QString &company,
                        const QVector<QStringList> &rows);

// The report's lines for a grid (TAB-joined rows): the head block from the texts, the heading
// row, the ruler, one line per record.
QStringList gridReportLines(const QString &name, const QString &sector, const QString &company,
                            const QVector<QString> &rows);
