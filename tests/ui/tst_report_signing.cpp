// "Assinar e salvar…" of a report's preview: the person's certificate, its
// password typed without echo, the meaning; the saved PDF signed for pdfsig,
// carrying the data file and its signature; a refused certificate writes
// nothing. Certificates are made with openssl.
#include "support/CliRun.h"
#include "support/Outputs.h"
#include "support/SampleFiles.h"
#include "support/TestApp.h"
#include "support/TestCertificates.h"

#include "core/integrity/Audit.h"
#include "platform/SignatureDialog.h"
#include "render/PdfSignature.h"
#include "ui/audit/AuditWindow.h"
#include "ui/common/Commands.h"
#include "ui/lists/FileList.h"
#include "ui/monitor/PanelMonitor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

class TstReportSigning : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    TestCertificates certificates;

    static Prompts::SignChoice answer(const QString &certificate, const QString &password, const QString &meaning)
    {
        return {true, certificate, password.toUtf8(), meaning};
    }

    // The file list of a sample file signed with the test key, with the
    // report's preview set to choose "Assinar e salvar…".
    static FileList *openSignedFile(TestApp &t)
    {
        const QString data = writeSampleDataFile(t.path(QStringLiteral("câmara 1.dlf")), 30);
        const auto key = integrity::loadSecretKey(qEnvironmentVariable("TH_SIGNING_KEY"), nullptr);
        if (!key || !integrity::sealFileWith(*key, data, {}).ok || !commands::openDataFileAt(*t.app, data))
            return nullptr;
        t.printer->signInPreview = true;
        return qobject_cast<FileList *>(t.app->fileList.data());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(kTestSigningKeyReady);
        for (const char *tool : {"openssl", "pdfsig", "pdfdetach"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
        QVERIFY(dir.isValid());
        qputenv("TH_NSS_DIR", QFile::encodeName(dir.filePath(QStringLiteral("nss"))));
        QVERIFY(certificates.make(dir.path()));
    }

    // Signed from the preview, saved where the user says: valid for pdfsig
    // with the signer's name, the data file and its signature inside, and
    // the certificate offered again next time.
    void signedFromThePreview()
    {
        TestApp t;
        FileList *list = openSignedFile(t);
        QVERIFY(list);
        // The panel signs what it writes and notes it in the trail.
        integrity::setKeyPath(qEnvironmentVariable("TH_SIGNING_KEY"));
        integrity::setAuditPath(t.path(QStringLiteral("auditoria.jsonl")));
        integrity::setSigningEnabled(true);
        const QString out = t.path(QStringLiteral("relatório assinado.pdf"));
        t.prompts->signAnswers.push_back(
            answer(certificates.signer, certificates.password, QStringLiteral("Aprovação")));
        t.prompts->answerFile(out);
        list->button(QStringLiteral("Report"))->trigger();

        QCOMPARE(t.printer->signOffers, 1);
        QCOMPARE(t.prompts->shown.at(0).kind, QStringLiteral("sign"));
        QCOMPARE(t.prompts->shown.at(0).defaultAnswer, QString());
        QCOMPARE(t.prompts->shown.at(0).title, pdfsign::meanings().join(QLatin1Char('|')));
        QCOMPARE(t.prompts->messages().value(0),
                 QStringLiteral("Relatório assinado por %1 (Aprovação) e salvo em relatório assinado.pdf.")
                     .arg(certificates.signerName));

        const CliResult sig = runProgram(QStringLiteral("pdfsig"), {out}, 60000);
        QVERIFY2(sig.out.contains(QStringLiteral("Signer Certificate Common Name: ") + certificates.signerName),
                 qPrintable(sig.out + sig.err));
        QCOMPARE(sig.out.count(QStringLiteral("Signature is Valid")), 1);
        QVERIFY2(pdfText(out).contains(QStringLiteral("Assinado digitalmente por ") + certificates.signerName),
                 qPrintable(pdfText(out).right(300)));
        const CliResult attached = runProgram(QStringLiteral("pdfdetach"), {"-list", out}, 60000);
        QVERIFY2(attached.out.contains(QStringLiteral("câmara 1.dlf")) &&
                     attached.out.contains(QStringLiteral("câmara 1.dlf.minisig")),
                 qPrintable(attached.out));
        // The saved PDF is sealed like every file the panel writes.
        const auto publicKey = integrity::loadPublicKey(integrity::publicKeyPathFor(integrity::keyPath()), nullptr);
        QVERIFY(publicKey);
        QCOMPARE(integrity::verifyFile(out, *publicKey).status, integrity::Status::Ok);
        const QByteArray trail = readAll(integrity::auditPath());
        QVERIFY2(trail.contains(integrity::auditActionFor(integrity::WrittenFile::Report).toUtf8()), trail.constData());
        integrity::setSigningEnabled(false);

        // The certificate is offered next time; the password is asked again.
        t.prompts->shown.clear();
        list->button(QStringLiteral("Report"))->trigger();
        QCOMPARE(t.prompts->shown.at(0).kind, QStringLiteral("sign"));
        QCOMPARE(t.prompts->shown.at(0).defaultAnswer, certificates.signer);
        delete list;
    }

    // The trail's window signs its printout, carrying the trail itself.
    void signedTrailFromItsWindow()
    {
        TestApp t;
        integrity::setKeyPath(qEnvironmentVariable("TH_SIGNING_KEY"));
        integrity::setAuditPath(t.path(QStringLiteral("auditoria.jsonl")));
        integrity::setSigningEnabled(true);
        integrity::auditRecord(QStringLiteral("instrument.interval.set"), 60, 300, QStringLiteral("estudo"));
        PanelMonitor monitor(*t.app);
        monitor.start();
        auto *w = new AuditWindow(*t.app, monitor);
        const QString out = t.path(QStringLiteral("trilha assinada.pdf"));
        t.prompts->signAnswers.push_back(
            answer(certificates.signer, certificates.password, QStringLiteral("Responsabilidade")));
        t.prompts->answerFile(out);
        w->CmdSignExport->click();
        QCOMPARE(runProgram(QStringLiteral("pdfsig"), {out}, 60000).out.count(QStringLiteral("Signature is Valid")), 1);
        QVERIFY(pdfText(out).contains(QStringLiteral("estudo")));
        const CliResult attached = runProgram(QStringLiteral("pdfdetach"), {"-list", out}, 60000);
        QVERIFY2(attached.out.contains(QStringLiteral("auditoria.jsonl")), qPrintable(attached.out));
        delete w;
        monitor.close();
        integrity::setSigningEnabled(false);
    }

    // A wrong password, an expired certificate and a file that is not a
    // certificate: their message, no save dialog, nothing written.
    void refusedCertificates()
    {
        TestApp t;
        FileList *list = openSignedFile(t);
        QVERIFY(list);
        const struct {
            QString certificate, password, message;
        } cases[] = {
            {certificates.signer, QStringLiteral("errada"), QStringLiteral("senha do certificado incorreta")},
            {certificates.expired, certificates.password, QStringLiteral("venceu em 01/01/2021")},
            {list->filePath(), certificates.password, QStringLiteral("não é um certificado A1")},
        };
        for (const auto &c : cases) {
            t.prompts->shown.clear();
            t.prompts->signAnswers.push_back(answer(c.certificate, c.password, QStringLiteral("Autoria")));
            list->button(QStringLiteral("Report"))->trigger();
            const QString shown = t.prompts->messages().value(0);
            QVERIFY2(shown.startsWith(QStringLiteral("O relatório não foi assinado: ")) && shown.contains(c.message),
                     qPrintable(shown));
            for (const auto &s : std::as_const(t.prompts->shown))
                QVERIFY(s.kind != QLatin1String("save"));
        }
        // Only the previews' own PDFs are in the folder.
        QCOMPARE(QDir(t.path({})).entryList({"*.pdf"}, QDir::Files).size(), t.printer->printedFiles().size());
        delete list;
    }

    // The real dialog: the certificate offered, the password hidden, the
    // four meanings; and the preview's toolbar offers the action.
    void theDialogs()
    {
        SignatureDialog *seen = nullptr;
        bool hidden = false;
        QTimer::singleShot(0, this, [&] {
            seen = qobject_cast<SignatureDialog *>(QApplication::activeModalWidget());
            if (!seen)
                return;
            hidden = seen->TxtCertificatePassword->echoMode() == QLineEdit::Password &&
                     seen->focusWidget() == seen->TxtCertificatePassword;
            QTest::keyClicks(seen->TxtCertificatePassword, QStringLiteral("segredo"));
            seen->CboSignMeaning->setCurrentIndex(2);
            snapshot(seen, QStringLiteral("assinar-relatorio"));
            seen->CmdSign->click();
        });
        WidgetPrompts prompts;
        const Prompts::SignChoice c = prompts.signature(certificates.signer, pdfsign::meanings());
        QVERIFY(seen);
        QVERIFY(hidden);
        QVERIFY(c.accepted);
        QCOMPARE(c.certificate, certificates.signer);
        QCOMPARE(c.password, QByteArray("segredo"));
        QCOMPARE(c.meaning, QStringLiteral("Aprovação"));

        QString offered;
        QTimer::singleShot(0, this, [&] {
            auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
            if (!preview)
                return;
            if (auto *action = preview->findChild<QAction *>(QStringLiteral("CmdSignAndSave")))
                offered = action->text();
            snapshot(preview, QStringLiteral("previa-assinar"));
            preview->reject();
        });
        DialogPrintService service;
        service.preview(
            nullptr, QStringLiteral("Relatório"), [](QPrinter &) { return true; },
            [](QWidget *, const QPageLayout &) {});
        QCOMPARE(offered, QStringLiteral("Assinar e salvar…"));
    }
};

QTEST_MAIN(TstReportSigning)
#include "tst_report_signing.moc"
