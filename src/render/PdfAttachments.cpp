#include "render/PdfAttachments.h"

// qpdf's own smart pointers give way to std::shared_ptr.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace pdfattach {

std::optional<QByteArray> attachFiles(const QByteArray &pdf, const QList<Attachment> &files, QString *error)
{
    try {
        QPDF qpdf;
        qpdf.processMemoryFile("report.pdf", pdf.constData(), size_t(pdf.size()));
        QPDFEmbeddedFileDocumentHelper embedded(qpdf);
        for (const Attachment &file : files) {
            const std::string name = QFileInfo(file.name).fileName().toStdString();
            auto stream = QPDFEFStreamObjectHelper::createEFStream(qpdf, file.bytes.toStdString());
            auto fileSpec = QPDFFileSpecObjectHelper::createFileSpec(qpdf, name, stream);
            embedded.replaceEmbeddedFile(name, fileSpec);
        }
        QPDFWriter writer(qpdf);
        writer.setOutputMemory();
        // The report's own streams are already compressed and stay as they
        // were drawn; the attached files are compressed (a readings file
        // shrinks to a fifth), and come back byte for byte.
        writer.setStreamDataMode(qpdf_s_compress);
        writer.write();
        const auto buffer = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()), qsizetype(buffer->getSize()));
    } catch (const std::exception &e) {
        *error = QStringLiteral("não foi possível anexar os arquivos ao PDF: %1").arg(QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

std::optional<QList<Attachment>> evidenceFiles(const QStringList &dataFiles, QString *error)
{
    QList<Attachment> files;
    for (const QString &path : dataFiles) {
        for (const QString &p : {path, path + QStringLiteral(".minisig")}) {
            QFile f(p);
            if (p != path && !f.exists())
                continue;
            if (!f.open(QIODevice::ReadOnly)) {
                *error = QStringLiteral("%1: não foi possível ler o arquivo para anexar").arg(p);
                return std::nullopt;
            }
            files.append({QFileInfo(p).fileName(), f.readAll()});
        }
    }
    return files;
}

std::optional<QList<Attachment>> embeddedFiles(const QByteArray &pdf, QString *error)
{
    try {
        QPDF qpdf;
        qpdf.setSuppressWarnings(true);
        qpdf.processMemoryFile("report.pdf", pdf.constData(), size_t(pdf.size()));
        QPDFEmbeddedFileDocumentHelper embedded(qpdf);
        QList<Attachment> out;
        for (auto &[name, fileSpec] : embedded.getEmbeddedFiles()) {
            const auto data = fileSpec->getEmbeddedFileStream().getStreamData(qpdf_dl_all);
            out.append({QString::fromStdString(name),
                        QByteArray(reinterpret_cast<const char *>(data->getBuffer()), qsizetype(data->getSize()))});
        }
        return out;
    } catch (const std::exception &e) {
        *error = QStringLiteral("não foi possível ler os anexos do PDF: %1").arg(QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

} // namespace pdfattach
