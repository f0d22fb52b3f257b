#include "core/files/NseFile.h"

#include "core/files/DataFile.h"
#include "core/files/TextFile.h"

QByteArray nseBytes(const QString &name, const QString &sector, const QString &company)
{
    return encodeWin1252(crlfLines({name, sector, company}));
}

NseContents parseNse(const QByteArray &bytes)
{
    NseContents c;
    qsizetype pos = 0;
    int box = 0;
    while (pos < bytes.size()) {
        const QString line = decodeWin1252(takeLine(bytes, pos));
        switch (box) {
        case 0:
            c.name = line;
            c.hasName = true;
            break;
        case 1:
            c.sector = line;
            c.hasSector = true;
            break;
        default:
            c.company = line;
            c.hasCompany = true;
            break;
        }
        box = (box + 1) % 3;
    }
    return c;
}

bool readNseFile(const QString &path, NseContents &out, QString *error)
{
    QByteArray bytes;
    if (!readFileBytes(path, bytes, error))
        return false;
    out = parseNse(bytes);
    return true;
}

bool writeNseFile(const QString &path, const QString &name, const QString &sector, const QString &company,
                  QString *error)
{
    return writeFileAtomically(path, nseBytes(name, sector, company), error);
}
