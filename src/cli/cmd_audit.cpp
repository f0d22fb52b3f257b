#include "cli/Cli.h"
#include "cli/PdfSigning.h"
#include "core/files/TextFile.h"
#include "core/integrity/Audit.h"
#include "render/AuditReport.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("audit"), QStringLiteral("show, check or print the audit trail"),
    QStringLiteral("termohigrometro-cli audit (show [--json] [--from DATE] [--to DATE] | verify [--pub KEY.pub] |\n"
                   "       report -o OUT.pdf [--from DATE] [--to DATE]\n"
                   "              [--sign CERT.p12 --sign-meaning M [--sign-password-file FILE]]) [--audit FILE]\n"
                   "  The trail (auditoria.jsonl beside the signing key, or TH_AUDIT, or --audit FILE)\n"
                   "  holds one entry per event: settings of the instrument, recordings, files saved,\n"
                   "  exported or printed, logger downloads, keys created. Each entry carries the\n"
                   "  previous one's hash; a signed checkpoint (FILE.checkpoint and its .minisig) is\n"
                   "  renewed every 100 entries and when a program ends.\n"
                   "  show: a table (or --json, the entries) of the entries from DATE to DATE\n"
                   "        (2026-12-08 or 2026-12-08T10:00:00; either may be left out)\n"
                   "  verify: checks the chain and the checkpoint; exit 0 when intact, 6 naming the\n"
                   "        first bad entry and why (changed, removed, inserted, moved, missing after\n"
                   "        the checkpoint). A line torn by a crash is reported as such, not as tampering.\n"
                   "  report: the entries as A4 pages (PDF), signed like every file the tool writes.\n"
                   "        With --sign, the trail, its checkpoint and their .minisig files are attached\n"
                   "        to the PDF, which is then signed:\n") +
        pdfSignHelp(),
    run, true};

std::optional<QDateTime> parseDate(const QString &text, bool end)
{
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (t.isValid())
        return t;
    const QDate d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid())
        return std::nullopt;
    // A day alone means the whole day.
    return end ? d.startOfDay().addDays(1).addMSecs(-1) : d.startOfDay();
}

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption from(QStringLiteral("from"), {}, QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), {}, QStringLiteral("DATE"));
    const QCommandLineOption pubOpt(QStringLiteral("pub"), {}, QStringLiteral("KEY.pub"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("OUT"));
    parser.addOptions({json, from, to, pubOpt, output});
    const PdfSignOptions signOpts;
    parser.addOptions(signOpts.all());
    if (!parser.parse(QStringList{kCommand.name} + args))
        return cliUsageError(err, kCommand, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    if (pos.size() != 1 ||
        (action != QLatin1String("show") && action != QLatin1String("verify") && action != QLatin1String("report")))
        return cliUsageError(err, kCommand, QStringLiteral("choose show, verify or report"));
    const QString path = integrity::auditPath();
    QString error;
    PdfSignArgs sign;
    if (const int code = parsePdfSignOptions(parser, signOpts, kCommand, err, &sign); code >= 0)
        return code;
    if (sign.wanted && action != QLatin1String("report"))
        return cliUsageError(err, kCommand, QStringLiteral("--sign goes with report"));

    if (action == QLatin1String("verify")) {
        if (!QFileInfo::exists(path)) {
            err << "termohigrometro-cli audit: " << path << ": no audit trail\n";
            return cliexit::Failure;
        }
        std::optional<integrity::PublicKey> key;
        if (parser.isSet(pubOpt) || QFileInfo::exists(integrity::keyPath()) ||
            QFileInfo::exists(integrity::publicKeyPathFor(integrity::keyPath()))) {
            key = integrity::publicKeyFor(parser.value(pubOpt), &error);
            if (!key) {
                err << "termohigrometro-cli audit: " << error << "\n";
                return cliexit::Failure;
            }
        }
        const integrity::TrailCheck c = integrity::verifyTrail(path, key ? &*key : nullptr);
        for (const QString &crash : c.crashes)
            out << path << ": " << crash << " (not tampering)\n";
        if (!c.intact) {
            out << path << ": NOT intact: " << c.problem << "\n";
            return cliexit::VerificationFailed;
        }
        out << path << ": intact, " << c.entries << " entries"
            << (c.checkpointChecked ? ", signed checkpoint checked" : ", no signed checkpoint checked") << "\n";
        return cliexit::Ok;
    }

    std::optional<QDateTime> fromTime, toTime;
    if (parser.isSet(from) && !(fromTime = parseDate(parser.value(from), false)))
        return cliUsageError(err, kCommand, QStringLiteral("--from takes a date (2026-12-08) or date and time"));
    if (parser.isSet(to) && !(toTime = parseDate(parser.value(to), true)))
        return cliUsageError(err, kCommand, QStringLiteral("--to takes a date (2026-12-08) or date and time"));
    const QString target = parser.value(output);
    if (action == QLatin1String("report") && target.isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("report needs -o OUT.pdf"));

    QJsonArray entries;
    QVector<AuditReportRow> rows;
    const bool ok = integrity::forEachEntry(
        path,
        [&](const QJsonObject &e) {
            const QDateTime t = QDateTime::fromString(e.value(QStringLiteral("time")).toString(), Qt::ISODate);
            if ((fromTime && t < *fromTime) || (toTime && t > *toTime))
                return true;
            if (action == QLatin1String("report")) {
                rows.append({integrity::entryTimeText(e), e.value(QStringLiteral("user")).toString(),
                             e.value(QStringLiteral("action")).toString(), integrity::entryChangeText(e),
                             e.value(QStringLiteral("reason")).toString()});
            } else if (parser.isSet(json)) {
                entries.append(e);
            } else {
                out << QString::number(e.value(QStringLiteral("seq")).toInteger()).rightJustified(6) << "  "
                    << integrity::entryTimeText(e) << "  "
                    << e.value(QStringLiteral("user")).toString().leftJustified(10) << " "
                    << e.value(QStringLiteral("action")).toString().leftJustified(26) << " "
                    << integrity::entryChangeText(e);
                const QString reason = e.value(QStringLiteral("reason")).toString();
                if (!reason.isEmpty())
                    out << "  (" << reason << ")";
                out << "\n";
            }
            return true;
        },
        &error);
    if (!ok) {
        err << "termohigrometro-cli audit: " << error << "\n";
        return cliexit::Failure;
    }
    if (action == QLatin1String("show")) {
        if (parser.isSet(json))
            out << QJsonDocument(entries).toJson(QJsonDocument::Indented);
        return cliexit::Ok;
    }
    int pages = 0;
    auto bytes =
        auditReportPdf(QStringLiteral("Trilha de auditoria"),
                       QStringLiteral("%1 — %2 registros").arg(QFileInfo(path).absoluteFilePath()).arg(rows.size()),
                       rows, &pages, &error);
    if (!bytes) {
        err << "termohigrometro-cli audit: " << target << ": " << error << "\n";
        return cliexit::Failure;
    }
    if (sign.wanted) {
        QStringList files;
        for (const QString &f : {path, path + QStringLiteral(".checkpoint")})
            if (QFileInfo::exists(f))
                files.append(f);
        SignedPdf signedPdf = attachAndSign(*bytes, files, sign);
        if (!signedPdf.pdf) {
            err << "termohigrometro-cli audit: " << signedPdf.error << "\n";
            return signedPdf.code;
        }
        bytes = std::move(signedPdf.pdf);
    }
    if (!writeFileAtomically(target, *bytes, &error, integrity::WrittenFile::Report)) {
        err << "termohigrometro-cli audit: " << error << "\n";
        return cliexit::Failure;
    }
    out << target << ": " << rows.size() << " entries, " << pages << (pages == 1 ? " page" : " pages") << "\n";
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
