#include "support/TestCertificates.h"

#include "support/CliRun.h"
#include "support/Outputs.h"

#include <QDir>

namespace {

bool openssl(const QStringList &args)
{
    const CliResult r = runProgram(QStringLiteral("openssl"), args, 60000);
    if (r.code != 0)
        qWarning("openssl %s: %s", qPrintable(args.join(' ')), qPrintable(r.err));
    return r.code == 0;
}

} // namespace

bool TestCertificates::make(const QString &inFolder)
{
    folder = inFolder;
    const auto path = [this](const QString &name) { return QDir(folder).filePath(name); };
    // A key and a certificate request for CN=name.
    const auto request = [&](const QString &name, const QString &base) {
        return openssl({"req", "-utf8", "-newkey", "rsa:2048", "-nodes", "-keyout", path(base + ".key"), "-out",
                        path(base + ".csr"), "-subj", "/CN=" + name});
    };
    const auto pkcs12 = [&](const QString &base, const QString &name) {
        return openssl({"pkcs12", "-export", "-inkey", path(base + ".key"), "-in", path(base + ".crt"), "-certfile",
                        path("ca.crt"), "-name", name, "-out", path(base + ".p12"), "-passout", "pass:" + password});
    };
    authority = path("ca.crt");
    signer = path("signer.p12");
    expired = path("expired.p12");
    if (!openssl({"req", "-utf8", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("ca.key"), "-out",
                  authority, "-days", "30", "-subj", "/CN=Autoridade de Teste"}) ||
        !request(signerName, "signer") ||
        !openssl({"x509", "-req", "-in", path("signer.csr"), "-CA", authority, "-CAkey", path("ca.key"),
                  "-CAcreateserial", "-out", path("signer.crt"), "-days", "30"}) ||
        !pkcs12("signer", "Maria"))
        return false;
    // An expired certificate needs dates in the past: openssl ca takes them.
    if (!request(QStringLiteral("José Vencido"), "expired") || !writeBytes(path("index.txt"), {}) ||
        !writeBytes(path("serial"), "1000\n") ||
        !writeBytes(path("ca.cnf"), "[ca]\ndefault_ca=d\n[d]\ndatabase=" + path("index.txt").toUtf8() +
                                        "\nnew_certs_dir=" + folder.toUtf8() + "\nserial=" + path("serial").toUtf8() +
                                        "\ndefault_md=sha256\npolicy=p\n[p]\ncommonName=supplied\n"))
        return false;
    return openssl({"ca", "-batch", "-config", path("ca.cnf"), "-cert", authority, "-keyfile", path("ca.key"), "-in",
                    path("expired.csr"), "-out", path("expired.crt"), "-startdate", "20200101000000Z", "-enddate",
                    "20210101000000Z"}) &&
           pkcs12("expired", "Vencido");
}
