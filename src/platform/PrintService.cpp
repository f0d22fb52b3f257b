#include "platform/PrintService.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {
// The full-page A4 the reports are laid out on; the user may change it in
// the preview, and the pages are laid out again for the paper chosen.
void useA4(QPrinter &printer)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
}
} // namespace

std::unique_ptr<QPrinter> DialogPrintService::choosePrinter(QWidget *parent, const QString &documentName)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(documentName);
    QPrintDialog dialog(printer.get(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return printer;
}

std::unique_ptr<QPrinter> PdfPrintService::choosePrinter(QWidget *parent, const QString &documentName)
{
    Q_UNUSED(parent);
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(documentName);
    printer->setOutputFormat(QPrinter::PdfFormat);
    QString file = path_;
    if (!printed_.isEmpty()) {
        file = path_;
        if (file.endsWith(QLatin1String(".pdf")))
            file.chop(4);
        file += QStringLiteral("-%1.pdf").arg(printed_.size() + 1);
    }
    printer->setOutputFileName(file);
    printed_ << file;
    return printer;
}

bool DialogPrintService::preview(QWidget *parent, const QString &documentName, const Paint &paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    useA4(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(documentName);
    bool ok = true;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter *target) { ok = paint(*target) && ok; });
    dialog.exec();
    return ok;
}

bool PdfPrintService::preview(QWidget *parent, const QString &documentName, const Paint &paint)
{
    std::unique_ptr<QPrinter> printer = choosePrinter(parent, documentName);
    useA4(*printer);
    return paint(*printer);
}
