#pragma once

#include <QByteArray>
#include <QString>

// Name, sector and company files (.nse): three CR LF lines in Windows-1252.

QByteArray nseBytes(const QString &name, const QString &sector, const QString &company);

// What opening a .nse file puts into the three boxes: the last complete
// group of three lines; a final partial group fills only the boxes it
// reaches, the other boxes keep the text of the group before (or their own
// text when there was none: has* false).
struct NseContents {
    QString name, sector, company;
    bool hasName = false, hasSector = false, hasCompany = false;
};

NseContents parseNse(const QByteArray &bytes);
bool readNseFile(const QString &path, NseContents &out, QString *error);
// Writes atomically: a failed write leaves the old file intact.
bool writeNseFile(const QString &path, const QString &name, const QString &sector, const QString &company,
                  QString *error);
