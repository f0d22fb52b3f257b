#pragma once

#include "core/integrity/Seal.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text files of the instrument's data: Windows-1252 (ANSI) at the file
// boundary. Characters the code page cannot hold are written as "?"; every
// byte sequence decodes.
QByteArray encodeWin1252(QStringView text);
QString decodeWin1252(QByteArrayView bytes);

// The line starting at `pos`, without its end (CR LF, LF or CR); moves `pos`
// past the end. A last line without an end is still a line.
QByteArrayView takeLine(QByteArrayView bytes, qsizetype &pos);

// Reads a whole file; false with "path: reason" in *error when it cannot.
bool readFileBytes(const QString &path, QByteArray &out, QString *error);
// Replaces the file atomically: on failure the old file stays intact and
// *error says why. Once in place the file is sealed (FILE.minisig, an entry
// of `kind` in the trail) where the program signs its files; a signature
// that cannot be written does not make the write fail.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error,
                         integrity::WrittenFile kind = integrity::WrittenFile::Saved);
