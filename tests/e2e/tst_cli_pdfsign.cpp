// Reports signed with a person's A1 certificate: the signature as Poppler's
// pdfsig and pdftotext see it, a second signature that leaves the first
// valid, a changed byte caught by pdfsig and verify, the data file carried in
// the PDF and checked by minisign, and the certificates that must be refused.
#include "support/CliRun.h"
#include "support/Outputs.h"
#include "support/SampleFiles.h"
#include "support/TestCertificates.h"

#include "core/integrity/Seal.h"
#include "render/PdfSignature.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

CliResult run(const QString &program, const QStringList &args)
{
    return runProgram(program, args, 60000);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCliPdfSign : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    TestCertificates certificates;
    QString certPassword;
    QString signer, expired, passwordFile, data, pub;

    QString path(const QString &name) const { return dir.filePath(name); }

    // The full report of the sample file, signed; the command's result.
    CliResult signedReport(const QString &out, const QString &cert, const QString &meaning)
    {
        return runCli({"report", data, "-o", out, "--full", "--sign", cert, "--sign-meaning", meaning,
                       "--sign-password-file", passwordFile});
    }

    int validSignatures(const QString &pdf)
    {
        return int(run(QStringLiteral("pdfsig"), {pdf}).out.count(QStringLiteral("Signature is Valid")));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(kTestSigningKeyReady);
        QVERIFY(dir.isValid());
        qputenv("TH_NSS_DIR", QFile::encodeName(path("nss")));
        qunsetenv("TH_SIGN_PASSWORD");
        qputenv("TH_AUDIT", QFile::encodeName(path("auditoria.jsonl")));
        QVERIFY(certificates.make(dir.path()));
        signer = certificates.signer;
        expired = certificates.expired;
        certPassword = certificates.password;

        passwordFile = path("senha");
        QVERIFY(writeBytes(passwordFile, certPassword.toUtf8() + "\n"));
        QVERIFY(QFile::setPermissions(passwordFile, QFile::ReadOwner | QFile::WriteOwner));

        // The data file, signed as the programs sign what they write.
        data = writeSampleDataFile(path("sala 2.dlf"), 40);
        QVERIFY(!data.isEmpty());
        const QString keyPath = qEnvironmentVariable("TH_SIGNING_KEY");
        const auto key = integrity::loadSecretKey(keyPath, nullptr);
        QVERIFY(key);
        QVERIFY(integrity::sealFileWith(*key, data, {}).ok);
        pub = integrity::publicKeyPathFor(keyPath);
        QVERIFY(QFile::exists(pub));
    }

    // One signature: valid for pdfsig, with the signer and the meaning, the
    // visible block on the last page, and the data file carried byte for
    // byte with its signature, which minisign accepts.
    void signedReportCarriesItsData()
    {
        const QString out = path("relatorio.pdf");
        const CliResult r = signedReport(out, signer, QStringLiteral("autoria"));
        QCOMPARE(r.code, 0);

        const CliResult sig = run(QStringLiteral("pdfsig"), {out});
        QCOMPARE(sig.code, 0);
        QVERIFY2(sig.out.contains(QStringLiteral("Signer Certificate Common Name: Maria da Conceição")),
                 qPrintable(sig.out));
        QCOMPARE(validSignatures(out), 1);
        QVERIFY(sig.out.contains(QStringLiteral("Total document signed")));
        // pdfsig of Debian 12 does not print the reason: it is read from the PDF itself.
        QVERIFY(readAll(out).contains("/Reason <feff004100750074006f007200690061>"));

        const QString text = pdfText(out);
        QVERIFY2(text.contains(QStringLiteral("Assinado digitalmente por Maria da Conceição")), qPrintable(text));
        QVERIFY(text.contains(
            QRegularExpression(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d UTC[+-]\\d\\d:\\d\\d"))));
        QVERIFY(text.contains(QStringLiteral("Autoria")));

        const CliResult list = run(QStringLiteral("pdfdetach"), {"-list", out});
        QVERIFY(list.out.contains(QStringLiteral("sala 2.dlf")));
        QVERIFY(list.out.contains(QStringLiteral("sala 2.dlf.minisig")));
        const QString saved = path("extraidos");
        QVERIFY(QDir().mkpath(saved));
        QCOMPARE(run(QStringLiteral("pdfdetach"), {"-saveall", "-o", saved, out}).code, 0);
        QCOMPARE(readAll(saved + "/sala 2.dlf"), readAll(data));
        const CliResult mini = run(QStringLiteral("minisign"), {"-Vm", saved + "/sala 2.dlf", "-p", pub});
        QVERIFY2(mini.code == 0, qPrintable(mini.err));

        const CliResult v = runCli({"verify", out});
        QVERIFY2(v.code == 0, qPrintable(v.out + v.err));
        QVERIFY(v.out.contains(QStringLiteral("Maria da Conceição")));
        QVERIFY(v.out.contains(QStringLiteral("Autoria: assinatura válida")));
        QVERIFY(v.out.contains(QStringLiteral("anexo sala 2.dlf: ok")));
        QVERIFY(v.out.contains(QStringLiteral("certificado de emissor não confiável")));
        // Trust is the database's: with the test authority in it, the signer is trusted.
        QCOMPARE(run(QStringLiteral("certutil"),
                     {"-d", "sql:" + path("nss"), "-A", "-t", "C,C,C", "-n", "Teste", "-i", path("ca.crt")})
                     .code,
                 0);
        QVERIFY(
            runCli({"verify", out}).out.contains(QStringLiteral("Autoria: assinatura válida; certificado confiável")));
        // The certificate left the database with the signature.
        QVERIFY(QDir(path("nss")).entryList({"assinatura-*"}, QDir::Dirs).isEmpty());
    }

    // A second signature is an incremental update: both stay valid, and a
    // changed byte afterwards breaks both for pdfsig and for verify.
    void secondSignatureAndTampering()
    {
        const QString out = path("dois.pdf");
        QCOMPARE(signedReport(out, signer, QStringLiteral("Revisão")).code, 0);
        const QByteArray once = readAll(out);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TH_SIGN_PASSWORD"), certPassword);
        const CliResult r =
            runCli({"sign-pdf", out, "--sign", signer, "--sign-meaning", QStringLiteral("Aprovação")}, 60000, env);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QByteArray twice = readAll(out);
        QVERIFY(twice.startsWith(once));
        QCOMPARE(validSignatures(out), 2);
        CliResult v = runCli({"verify", out});
        QVERIFY2(v.code == 0, qPrintable(v.out + v.err));
        QVERIFY(v.out.contains(QStringLiteral("Revisão: assinatura válida")));
        QVERIFY(v.out.contains(QStringLiteral("Aprovação: assinatura válida")));

        // A byte inside the first page's drawing, covered by both signatures.
        QByteArray changed = twice;
        const qsizetype at = changed.indexOf("stream\n") + 40;
        QVERIFY(at > 40);
        changed[at] = char(changed[at] ^ 0x20);
        const QString bad = path("alterado.pdf");
        QVERIFY(writeBytes(bad, changed));
        QCOMPARE(validSignatures(bad), 0);
        QVERIFY(run(QStringLiteral("pdfsig"), {bad}).out.contains(QStringLiteral("Digest Mismatch")));
        v = runCli({"verify", bad});
        QCOMPARE(v.code, 6);
        QVERIFY(v.out.contains(QStringLiteral("documento ALTERADO após a assinatura")));
    }

    // The study's report carries every logger's file, the trail's report the
    // trail and its checkpoint; verify checks each of them inside the PDF.
    void studyAndTrailReports()
    {
        const QString second = path("sala 3.dlf");
        QVERIFY(QFile::copy(data, second));
        const auto key = integrity::loadSecretKey(qEnvironmentVariable("TH_SIGNING_KEY"), nullptr);
        QVERIFY(key);
        QVERIFY(integrity::sealFileWith(*key, second, {}).ok);

        const QString study = path("estudo.pdf");
        CliResult r = runCli({"study", data, second, "-o", study, "--sign", signer, "--sign-meaning",
                              "Responsabilidade", "--sign-password-file", passwordFile});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString listed = run(QStringLiteral("pdfdetach"), {"-list", study}).out;
        for (const char *name : {"sala 2.dlf", "sala 2.dlf.minisig", "sala 3.dlf", "sala 3.dlf.minisig"})
            QVERIFY2(listed.contains(QLatin1String(name)), name);
        QCOMPARE(validSignatures(study), 1);
        r = runCli({"verify", study});
        QVERIFY2(r.code == 0, qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Responsabilidade: assinatura válida")));

        const QString trail = path("trilha.pdf");
        r = runCli({"audit", "report", "-o", trail, "--sign", signer, "--sign-meaning", "Revisao",
                    "--sign-password-file", passwordFile});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(run(QStringLiteral("pdfdetach"), {"-list", trail}).out.contains("auditoria.jsonl.checkpoint"));
        r = runCli({"verify", trail});
        QVERIFY2(r.code == 0, qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("anexo auditoria.jsonl: ok")));
        QVERIFY(r.out.contains(QStringLiteral("Revisão: assinatura válida")));
    }

    // The panel signs several reports in one session: each signature imports
    // the certificate again, and a refused one leaves the next one working.
    void severalSignaturesInOneProcess()
    {
        const QString plain = path("sessao.pdf");
        QCOMPARE(runCli({"report", data, "-o", plain, "--full"}).code, 0);
        const QByteArray pdf = readAll(plain);
        const pdfsign::SignOutcome first = pdfsign::signPdf(pdf, {signer, certPassword.toUtf8(), "Autoria"});
        QVERIFY2(first.pdf, qPrintable(first.error));
        const pdfsign::SignOutcome refused = pdfsign::signPdf(*first.pdf, {signer, "errada", "Revisão"});
        QCOMPARE(refused.refusal, pdfsign::Refusal::WrongPassword);
        const pdfsign::SignOutcome second = pdfsign::signPdf(*first.pdf, {signer, certPassword.toUtf8(), "Aprovação"});
        QVERIFY2(second.pdf, qPrintable(second.error));
        QVERIFY(writeBytes(plain, *second.pdf));
        QCOMPARE(validSignatures(plain), 2);
        QString error;
        const auto signatures = pdfsign::pdfSignatures(*second.pdf, &error);
        QVERIFY2(signatures, qPrintable(error));
        QCOMPARE(signatures->size(), 2);
        QCOMPARE(signatures->at(0).reason, QStringLiteral("Autoria"));
        QCOMPARE(signatures->at(1).reason, QStringLiteral("Aprovação"));
        QVERIFY(signatures->at(0).valid && signatures->at(1).valid);
        QVERIFY(!signatures->at(0).wholeDocument && signatures->at(1).wholeDocument);
    }

    // Refused certificates and passwords: the message, exit code 7 (1 for a
    // password file others can read), and no output file or an untouched one.
    void refusals_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("openPasswordFile");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("senha errada") << "signer.p12" << QByteArray("errada") << false << 7
                                      << "senha do certificado incorreta";
        QTest::newRow("vencido") << "expired.p12" << certPassword.toUtf8() << false << 7
                                 << "o certificado de José Vencido venceu em 01/01/2021";
        QTest::newRow("não é certificado")
            << "sala 2.dlf" << certPassword.toUtf8() << false << 7 << "não é um certificado A1";
        QTest::newRow("senha legível por outros") << "signer.p12" << certPassword.toUtf8() << true << 1 << "chmod 600";
    }

    void refusals()
    {
        QFETCH(QString, certificate);
        QFETCH(QByteArray, password);
        QFETCH(bool, openPasswordFile);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString pw = path("outra-senha");
        QVERIFY(writeBytes(pw, password));
        QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner;
        if (openPasswordFile)
            mode |= QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(pw, mode));

        const QString out = path("recusado.pdf");
        QFile::remove(out);
        CliResult r = runCli({"report", data, "-o", out, "--full", "--sign", path(certificate), "--sign-meaning",
                              "Responsabilidade", "--sign-password-file", pw});
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(out));
        QVERIFY(!QFile::exists(out + ".minisig"));

        // sign-pdf leaves the PDF it was given as it was.
        const QString plain = path("simples.pdf");
        QCOMPARE(runCli({"report", data, "-o", plain, "--full"}).code, 0);
        const QByteArray before = readAll(plain);
        r = runCli(
            {"sign-pdf", plain, "--sign", path(certificate), "--sign-meaning", "Autoria", "--sign-password-file", pw});
        QCOMPARE(r.code, code);
        QCOMPARE(readAll(plain), before);
    }
};

QTEST_APPLESS_MAIN(TestCliPdfSign)
#include "tst_cli_pdfsign.moc"
