#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Files carried inside a PDF as its attachments, so that a report travels
// with the data it summarises and their signatures: any PDF reader lists
// them, and `pdfdetach -save` gives them back byte for byte.
namespace pdfattach {

struct Attachment {
    QString name; // the file's name, no folder
    QByteArray bytes;
};

// The PDF with the files attached (a file of the same name is replaced).
std::optional<QByteArray> attachFiles(const QByteArray &pdf, const QList<Attachment> &files, QString *error);

// `dataFiles` and their .minisig signatures (those that exist), read for
// attaching; an unreadable data file is an error.
std::optional<QList<Attachment>> evidenceFiles(const QStringList &dataFiles, QString *error);

// The files a PDF carries, in the order of their names.
std::optional<QList<Attachment>> embeddedFiles(const QByteArray &pdf, QString *error);

} // namespace pdfattach
