#include "platform/PrintService.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>
#include <QToolButton>

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

bool DialogPrintService::preview(QWidget *parent, const QString &documentName, const Paint &paint,
                                 const SignAndSave &sign)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    useA4(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(documentName);
    bool ok = true;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter *target) { ok = paint(*target) && ok; });
    if (sign) {
        // Beside the preview's own print button, on its toolbar.
        if (auto *bar = dialog.findChild<QToolBar *>()) {
            bar->addSeparator();
            QAction *action = bar->addAction(QStringLiteral("Assinar e salvar…"));
            action->setObjectName(QStringLiteral("CmdSignAndSave"));
            action->setToolTip(QStringLiteral("Assina o relatório com o seu certificado A1 e salva o PDF"));
            if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action)))
                button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            QObject::connect(action, &QAction::triggered, &dialog, [&] { sign(&dialog, printer.pageLayout()); });
        }
    }
    dialog.exec();
    return ok;
}

bool PdfPrintService::preview(QWidget *parent, const QString &documentName, const Paint &paint, const SignAndSave &sign)
{
    std::unique_ptr<QPrinter> printer = choosePrinter(parent, documentName);
    useA4(*printer);
    const bool ok = paint(*printer);
    if (sign) {
        ++signOffers;
        if (signInPreview)
            sign(nullptr, printer->pageLayout());
    }
    return ok;
}
