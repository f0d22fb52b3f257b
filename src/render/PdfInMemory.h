#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QPdfWriter>

// A PDF drawn into memory on A4, so that its file is then written in one
// step and a failed write leaves the old one as it was. The bytes are whole
// once the painter on `writer` has ended.
class PdfInMemory {
public:
    PdfInMemory(const QString &title, int resolution, const QString &creator = QStringLiteral("termohigrometro-cli"))
        : writer(&buffer_)
    {
        writer.setTitle(title);
        writer.setCreator(creator);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(resolution);
    }
    PdfInMemory(const PdfInMemory &) = delete;
    PdfInMemory &operator=(const PdfInMemory &) = delete;

    const QByteArray &bytes() const { return bytes_; }

private:
    // Before the writer: it writes into them until it is gone.
    QByteArray bytes_;
    QBuffer buffer_{&bytes_};
    bool opened_ = buffer_.open(QIODevice::WriteOnly);

public:
    QPdfWriter writer;
};
