#include "ui/lists/SignReport.h"

#include "core/files/TextFile.h"
#include "platform/FolderMemory.h"
#include "platform/Prompts.h"
#include "render/PdfSignature.h"
#include "ui/common/App.h"
#include "ui/lists/ListOps.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

namespace {

const QString kTitle = QStringLiteral("Assinar relatório");
const QString kCertificateKind = QStringLiteral("certificado");

// The pages as the preview shows them, into a PDF in memory.
std::optional<QByteArray> drawnPdf(const PrintService::Paint &paint, const QPageLayout &layout)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return std::nullopt;
    const QString path = dir.filePath(QStringLiteral("relatorio.pdf"));
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setFullPage(true);
        printer.setPageLayout(layout);
        BusyCursor busy;
        if (!paint(printer))
            return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// The dialogs of the signature stand over the preview while it is up.
class PromptsOver {
public:
    PromptsOver(Prompts &prompts, QWidget *window) : prompts_(prompts), before_(prompts.parentWidget())
    {
        if (window)
            prompts_.setParentWidget(window);
    }
    ~PromptsOver() { prompts_.setParentWidget(before_); }
    PromptsOver(const PromptsOver &) = delete;
    PromptsOver &operator=(const PromptsOver &) = delete;

private:
    Prompts &prompts_;
    QWidget *before_;
};

} // namespace

void signAndSavePdf(App &app, QWidget *window, const std::function<std::optional<QByteArray>()> &draw,
                    const QStringList &dataFiles)
{
    Prompts &prompts = app.prompts();
    const PromptsOver over(prompts, window);
    Prompts::SignChoice choice = prompts.signature(folders::lastFile(kCertificateKind), pdfsign::meanings());
    if (!choice.accepted)
        return;
    const auto refuse = [&](const QString &why) {
        prompts.message(QStringLiteral("O relatório não foi assinado: %1.").arg(why), kTitle, Prompts::Buttons::Ok,
                        Prompts::Icon::Critical);
    };
    const auto pdf = draw();
    if (!pdf) {
        choice.password.fill('\0');
        refuse(QStringLiteral("as páginas não puderam ser desenhadas"));
        return;
    }
    pdfsign::SignOutcome outcome;
    {
        BusyCursor busy;
        outcome = pdfsign::signWithEvidence(*pdf, dataFiles, {choice.certificate, choice.password, choice.meaning});
    }
    choice.password.fill('\0');
    if (!outcome.pdf) {
        refuse(outcome.error);
        return;
    }
    folders::rememberFile(kCertificateKind, choice.certificate);
    const Prompts::FileChoice target = prompts.saveFile(QStringLiteral("Documento PDF (*.pdf)|*.pdf|"), true);
    if (!target.accepted)
        return;
    QString error;
    if (!writeFileAtomically(target.fileName, *outcome.pdf, &error, integrity::WrittenFile::Report)) {
        prompts.message(QStringLiteral("O relatório assinado não foi salvo: %1").arg(error), kTitle,
                        Prompts::Buttons::Ok, Prompts::Icon::Critical);
        return;
    }
    prompts.message(QStringLiteral("Relatório assinado por %1 (%2) e salvo em %3.")
                        .arg(outcome.signer, choice.meaning, QFileInfo(target.fileName).fileName()),
                    kTitle, Prompts::Buttons::Ok, Prompts::Icon::Information);
}

PrintService::SignAndSave signAndSaveAction(App &app, const PrintService::Paint &paint, const QStringList &dataFiles)
{
    return [&app, paint, dataFiles](QWidget *window, const QPageLayout &layout) {
        signAndSavePdf(
            app, window, [&] { return drawnPdf(paint, layout); }, dataFiles);
    };
}
