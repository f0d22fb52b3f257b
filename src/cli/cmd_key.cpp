#include "cli/Cli.h"
#include "core/integrity/Audit.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonObject>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("key"), QStringLiteral("create or show the key that signs the files the programs write"),
    QStringLiteral("termohigrometro-cli key (init | show) [--key FILE]\n"
                   "  init: creates the signing key pair: the secret key FILE (mode 0600; default\n"
                   "        ~/.local/share/termohigrometro/assinatura.key, or TH_SIGNING_KEY) and the\n"
                   "        public key beside it (assinatura.pub). An existing key is never replaced\n"
                   "        (exit 1). The secret key is never printed.\n"
                   "  show: prints the public key (minisign's format), its id and the files' paths.\n"
                   "  Anyone checks a signed file with the public key alone:\n"
                   "    minisign -Vm FILE -p assinatura.pub"),
    run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    if (!parser.parse(QStringList{kCommand.name} + args))
        return cliUsageError(err, kCommand, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 1 || (pos[0] != QLatin1String("init") && pos[0] != QLatin1String("show")))
        return cliUsageError(err, kCommand, QStringLiteral("choose init or show"));
    const QString path = integrity::keyPath();
    const QString pubPath = integrity::publicKeyPathFor(path);
    QString error;
    if (pos[0] == QLatin1String("init")) {
        integrity::PublicKey pub;
        switch (integrity::createKey(path, &pub, &error)) {
        case integrity::KeyCreation::Exists:
            err << "termohigrometro-cli key: a key already exists at " << path << "; it is kept as it is\n";
            return cliexit::Failure;
        case integrity::KeyCreation::Failed:
            err << "termohigrometro-cli key: " << error << "\n";
            return cliexit::Failure;
        case integrity::KeyCreation::Created: break;
        }
        integrity::auditRecord(QStringLiteral("key.create"), QJsonValue::Null,
                               QJsonObject{{QStringLiteral("key_id"), integrity::keyIdText(pub.id)},
                                           {QStringLiteral("public_key"), QFileInfo(pubPath).absoluteFilePath()}});
        out << "secret key: " << path << " (keep it private; it is not shown)\n"
            << "public key: " << pubPath << "\n"
            << "key id: " << integrity::keyIdText(pub.id) << "\n";
        return cliexit::Ok;
    }
    std::optional<integrity::PublicKey> pub;
    if (QFileInfo::exists(path)) {
        const auto secret = integrity::loadSecretKey(path, &error);
        if (secret)
            pub = secret->publicKey();
    } else if (QFileInfo::exists(pubPath)) {
        // Only the public half here: enough to show what files are checked with.
        pub = integrity::loadPublicKey(pubPath, &error);
    } else {
        error = path + QStringLiteral(": no key yet (termohigrometro-cli key init creates one)");
    }
    if (!pub) {
        err << "termohigrometro-cli key: " << error << "\n";
        return cliexit::Failure;
    }
    const QByteArray text = integrity::publicKeyFileText(*pub);
    out << "public key: " << QString::fromLatin1(text.split('\n').value(1)) << "\n"
        << "key id: " << integrity::keyIdText(pub->id) << "\n"
        << "public key file: " << pubPath << (QFileInfo::exists(pubPath) ? "" : " (missing)") << "\n"
        << "secret key file: " << path << "\n";
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
