// Signed files and the audit trail through the real tool: what it writes is
// checked with Debian's stock minisign, tampering is caught by `verify`,
// `audit verify` and minisign alike, and a recording killed mid-run checks
// as "partial" up to its last renewed signature.
#include "support/CliRun.h"

#include "core/files/DataFile.h"
#include "emulator/PtyHost.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

EmulatorOptions options()
{
    EmulatorOptions o;
    o.tempC = 25.0;
    o.rh = 50.0;
    o.newType = true;
    o.initialSets = 1;
    o.initialReadingsPerSet = 5;
    return o;
}

// The trusted comment's "records=" of FILE.minisig (-1 when there is none yet).
int signedRecords(const QString &file)
{
    const QByteArray sig = readAll(file + ".minisig");
    for (const QByteArray &line : sig.split('\n'))
        if (line.startsWith("trusted comment: "))
            for (const QByteArray &w : line.mid(17).split(' '))
                if (w.startsWith("records="))
                    return w.mid(8).toInt();
    return -1;
}
} // namespace

class TstCliIntegrity : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QProcessEnvironment env;
    QString key, pub, trail, minisign;

    CliResult cli(const QStringList &args, const QProcessEnvironment &e = {})
    {
        return runCli(args, 120000, e.isEmpty() ? env : e);
    }
    int minisignVerify(const QString &file)
    {
        QProcess p;
        p.start(minisign, {"-Vm", file, "-p", pub});
        return p.waitForFinished(60000) ? p.exitCode() : -1;
    }
    QJsonObject verifyJson(const QString &file, int *code = nullptr)
    {
        const CliResult r = cli({"verify", "--json", file});
        if (code)
            *code = r.code;
        return QJsonDocument::fromJson(r.out.toUtf8()).array().at(0).toObject();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        minisign = QStandardPaths::findExecutable(QStringLiteral("minisign"));
        key = dir.filePath(QStringLiteral("chave/assinatura.key"));
        pub = dir.filePath(QStringLiteral("chave/assinatura.pub"));
        trail = dir.filePath(QStringLiteral("chave/auditoria.jsonl"));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TH_SIGNING_KEY"), key);
        env.remove(QStringLiteral("TH_AUDIT"));
    }

    void keyCommands()
    {
        CliResult r = cli({"key", "init"});
        QCOMPARE(r.code, 0);
        QVERIFY(QFile::exists(key) && QFile::exists(pub));
        QVERIFY(!r.out.contains(QString::fromLatin1(readAll(key).split('\n').value(1))));
        r = cli({"key", "init"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(key), qPrintable(r.err));
        r = cli({"key", "show"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QString::fromLatin1(readAll(pub).split('\n').value(1))));
        QVERIFY(r.out.contains(pub));
        // A key elsewhere, chosen on the command line, is created on first need and said once.
        const QString other = dir.filePath(QStringLiteral("outra/assinatura.key"));
        const QString csv = dir.filePath(QStringLiteral("outra.csv"));
        const QString dlf = dir.filePath(QStringLiteral("outra.dlf"));
        QVERIFY(writeAll(dlf, gridDumpBytes({}, {}, {},
                                            {dataFileHeadings(true),
                                             {"1", "08/12/2026", "09:05:07", "29.0", "13.9", "18.0", "50.0"}})));
        r = cli({"convert", "--key", other, dlf, "-o", csv});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains(dir.filePath(QStringLiteral("outra/assinatura.pub"))), qPrintable(r.err));
        r = cli({"verify", csv, "--pub", dir.filePath(QStringLiteral("outra/assinatura.pub"))});
        QCOMPARE(r.code, 0);
        r = cli({"verify", csv});
        QCOMPARE(r.code, 6);
        QVERIFY(r.out.contains("foreign"));
    }

    // A recording, its report and its conversion all check with stock minisign;
    // each kind of tampering is caught by both.
    void signedOutputs()
    {
        if (minisign.isEmpty())
            QSKIP("minisign is not installed");
        PtyHost host(options());
        QVERIFY(host.start());
        const QString dlf = dir.filePath(QStringLiteral("sala 1.dlf"));
        CliResult r = cli({"record", "--port", host.devicePath(), "--interval", "1", "--count", "3", dlf});
        QCOMPARE(r.code, 0);
        QCOMPARE(minisignVerify(dlf), 0);
        QJsonObject v = verifyJson(dlf);
        QCOMPARE(v.value("status").toString(), QStringLiteral("ok"));
        QCOMPARE(v.value("records").toInt(), 3);
        QVERIFY(v.value("comment").toString().contains("records=3"));
        QVERIFY(v.value("comment").toString().contains("file=sala%201.dlf"));

        // A logger set saved from the instrument's memory is signed like the rest.
        const QString set = dir.filePath(QStringLiteral("memoria.dlf"));
        QCOMPARE(cli({"logger", "--port", host.devicePath(), "save", "--set", "1", set}).code, 0);
        QCOMPARE(minisignVerify(set), 0);
        QCOMPARE(verifyJson(set).value("records").toInt(), 5);

        const QString pdf = dir.filePath(QStringLiteral("relatorio.pdf"));
        const QString csv = dir.filePath(QStringLiteral("sala.csv"));
        QCOMPARE(cli({"report", dlf, "-o", pdf}).code, 0);
        QCOMPARE(cli({"convert", dlf, "-o", csv}).code, 0);
        QCOMPARE(minisignVerify(pdf), 0);
        QCOMPARE(minisignVerify(csv), 0);
        r = cli({"verify", dlf, pdf, csv});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count(": ok"), 3);

        const QByteArray original = readAll(dlf), sig = readAll(dlf + ".minisig");
        QByteArray changed = original;
        changed[changed.size() - 4] = changed[changed.size() - 4] == '1' ? '2' : '1';
        QByteArray removed = original;
        const qsizetype second = removed.indexOf("\r\n2\t");
        removed.remove(second, removed.indexOf("\r\n3\t") - second);
        QByteArray comment = sig;
        comment.replace("records=3", "records=2");
        const QList<QPair<QByteArray, QByteArray>> tampered{{changed, sig}, {removed, sig}, {original, comment}};
        for (const auto &[bytes, signature] : tampered) {
            QVERIFY(writeAll(dlf, bytes) && writeAll(dlf + ".minisig", signature));
            int code = 0;
            v = verifyJson(dlf, &code);
            QCOMPARE(code, 6);
            QCOMPARE(v.value("status").toString(), QStringLiteral("altered"));
            QVERIFY(minisignVerify(dlf) != 0);
        }
        QVERIFY(writeAll(dlf, original) && writeAll(dlf + ".minisig", sig));
        QCOMPARE(cli({"verify", dlf}).code, 0);
        QFile::remove(csv + ".minisig");
        r = cli({"verify", csv});
        QCOMPARE(r.code, 6);
        QVERIFY(r.out.contains("unsigned"));
    }

    // SIGKILL mid-recording: the file checks as partial, every record up to
    // the last renewal covered by the signature.
    void killedRecording()
    {
        PtyHost host(options());
        QVERIFY(host.start());
        const QString dlf = dir.filePath(QStringLiteral("morto.dlf"));
        QProcessEnvironment e = env;
        e.insert(QStringLiteral("TH_SIGN_RENEW_SECONDS"), QStringLiteral("3"));
        QProcess p;
        p.setProcessEnvironment(e);
        QByteArray printed;
        connect(&p, &QProcess::readyReadStandardOutput, [&] { printed += p.readAllStandardOutput(); });
        p.start(qEnvironmentVariable("TH_CLI"), {"record", "--port", host.devicePath(), "--interval", "2", dlf});
        QVERIFY(p.waitForStarted(10000));
        // The tool prints a record after renewing the signature for it: a
        // record printed but not yet signed stays unsigned until the next one,
        // two seconds later, so the kill lands in that gap.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const int lines = int(printed.count('\n'));
                const int covered = signedRecords(dlf);
                return covered >= 1 && lines > covered;
            }(),
            120000);
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(10000));
        const int covered = signedRecords(dlf);
        const QJsonObject v = verifyJson(dlf);
        QCOMPARE(v.value("status").toString(), QStringLiteral("partial"));
        QCOMPARE(v.value("covered_records").toInt(), covered);
        QVERIFY(v.value("records").toInt() > covered);
        // What was signed is the file's beginning, record for record.
        const QByteArray bytes = readAll(dlf);
        const QByteArray prefix = bytes.left(v.value("covered_bytes").toInt());
        QVERIFY(prefix.endsWith("\r\n"));
        QCOMPARE(int(prefix.count("\r\n")) - 4, covered);
    }

    // Every run above left its entries; the chain holds, tampering is named.
    void auditTrail()
    {
        CliResult r = cli({"audit", "verify"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains("intact"));
        r = cli({"audit", "show", "--json"});
        QCOMPARE(r.code, 0);
        QStringList actions;
        for (const QJsonValue &e : QJsonDocument::fromJson(r.out.toUtf8()).array())
            actions << e.toObject().value("action").toString();
        for (const char *a : {"key.create", "program.start", "recording.start", "recording.stop", "program.end",
                              "file.report", "file.export", "logger.download", "file.save"})
            QVERIFY2(actions.contains(a), a);
        // Dates bound what is shown: nothing was entered tomorrow.
        r = cli({"audit", "show", "--json", "--from", QDate::currentDate().addDays(1).toString(Qt::ISODate)});
        QCOMPARE(r.code, 0);
        QVERIFY(QJsonDocument::fromJson(r.out.toUtf8()).array().isEmpty());
        r = cli({"audit", "show", "--to", QDate::currentDate().addDays(1).toString(Qt::ISODate)});
        QCOMPARE(r.out.count('\n'), actions.size());

        const QString pdf = dir.filePath(QStringLiteral("trilha.pdf"));
        r = cli({"audit", "report", "-o", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        if (!minisign.isEmpty())
            QCOMPARE(minisignVerify(pdf), 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, "-"});
        if (text.waitForFinished(60000) && text.exitCode() == 0) {
            const QString t = QString::fromUtf8(text.readAllStandardOutput());
            QVERIFY(t.contains("Página 1 de"));
            QVERIFY(t.contains("recording.start"));
        }

        // One edited entry: exit 6 and its line named.
        QList<QByteArray> lines = readAll(trail).split('\n');
        lines[2].replace("\"user\":\"", "\"user\":\"x");
        QVERIFY(writeAll(trail, lines.join('\n')));
        r = cli({"audit", "verify"});
        QCOMPARE(r.code, 6);
        QVERIFY2(r.out.contains("line 3: entry 3 was changed"), qPrintable(r.out));
    }
};

QTEST_GUILESS_MAIN(TstCliIntegrity)
#include "tst_cli_integrity.moc"
