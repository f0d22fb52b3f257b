#include "platform/PrintService.h"

#include <QPrintDialog>
#include <QPrinter>

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
