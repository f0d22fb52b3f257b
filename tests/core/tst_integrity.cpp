// Signatures in minisign's format and the audit trail: what an inspector's
// tools accept, and every kind of tampering named for what it is.
#include "core/integrity/Audit.h"
#include "core/integrity/Seal.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace integrity;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray dataFile(int records)
{
    QByteArray b = "*\r\n*\r\n*\r\nN°\tData\tHora\t°C\tOrvalho(°C)\tÚmido(°C)\tUR%\r\n";
    for (int i = 1; i <= records; ++i)
        b += QByteArray::number(i) + "\t08/12/2026\t09:" + QByteArray::number(10 + i % 50) +
             ":07\t25.0\t13.9\t18.0\t50.0\r\n";
    return b;
}

// Runs Debian's minisign: its exit code (-1 when it is not installed).
int minisign(const QStringList &args)
{
    const QString exe = QStandardPaths::findExecutable(QStringLiteral("minisign"));
    if (exe.isEmpty())
        return -1;
    QProcess p;
    p.start(exe, args);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return -2;
    return p.exitCode();
}

// Appends `n` entries to the trail at `path`; the key signs the checkpoints.
int appendEntries(const QString &path, const SecretKey &key, int n, const QString &tag)
{
    AuditTrail trail(path);
    for (int i = 0; i < n; ++i) {
        QString error;
        if (!trail.append({QStringLiteral("instrument.interval.set"), i, i + 1, tag, QJsonValue::Null}, &key, &error)) {
            qWarning("%s", qPrintable(error));
            return 1;
        }
    }
    return 0;
}

QList<QByteArray> trailLines(const QString &path)
{
    QList<QByteArray> lines = readAll(path).split('\n');
    lines.removeLast(); // after the last line's end
    return lines;
}

void writeLines(const QString &path, const QList<QByteArray> &lines)
{
    writeAll(path, lines.join('\n') + '\n');
}
} // namespace

class TstIntegrity : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString keyPath;
    std::optional<SecretKey> key;

private slots:
    void initTestCase()
    {
        keyPath = dir.filePath(QStringLiteral("chaves/assinatura.key"));
        PublicKey pub;
        QString error;
        QCOMPARE(createKey(keyPath, &pub, &error), KeyCreation::Created);
        key = loadSecretKey(keyPath, &error);
        QVERIFY2(key, qPrintable(error));
        QCOMPARE(key->publicKey().key, pub.key);
    }

    void keyFiles()
    {
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(keyPath).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        const QByteArray before = readAll(keyPath);
        PublicKey other;
        QString error;
        QCOMPARE(createKey(keyPath, &other, &error), KeyCreation::Exists);
        QCOMPARE(readAll(keyPath), before);
        const auto pub = loadPublicKey(publicKeyPathFor(keyPath), &error);
        QVERIFY2(pub, qPrintable(error));
        QCOMPARE(pub->id, key->id);
        QVERIFY(readAll(publicKeyPathFor(keyPath))
                    .startsWith("untrusted comment: minisign public key " + keyIdText(key->id).toLatin1()));
    }

    // Our files check with minisign, and minisign signs with our secret key file.
    void minisignAgrees()
    {
        const QString file = dir.filePath(QStringLiteral("ensaio.dlf"));
        writeAll(file, dataFile(20));
        QVERIFY(sealFileWith(*key, file, {}).ok);
        const int rc = minisign({"-Vm", file, "-p", publicKeyPathFor(keyPath)});
        if (rc == -1)
            QSKIP("minisign is not installed");
        QCOMPARE(rc, 0);
        const auto sig = parseSignatureFile(readAll(file + ".minisig"));
        QVERIFY(sig);
        const auto words = decodeTrustedComment(sig->trustedComment);
        QCOMPARE(commentValue(words, "records"), QStringLiteral("20"));
        QCOMPARE(commentValue(words, "first"), QStringLiteral("2026-12-08T09:11:07"));
        QCOMPARE(commentValue(words, "size"), QString::number(dataFile(20).size()));

        const QString other = dir.filePath(QStringLiteral("por-minisign.txt"));
        writeAll(other, "assinado pelo minisign\n");
        QCOMPARE(minisign({"-S", "-s", keyPath, "-m", other, "-t", "file=x"}), 0);
        const FileCheck c = verifyFile(other, key->publicKey());
        QCOMPARE(statusName(c.status), QStringLiteral("ok"));
    }

    void statuses()
    {
        const PublicKey pub = key->publicKey();
        const QString file = dir.filePath(QStringLiteral("estados.dlf"));
        const QByteArray bytes = dataFile(10);
        writeAll(file, bytes);
        QCOMPARE(verifyFile(file, pub).status, Status::Unsigned);

        // A recording in progress: the first bytes signed, more written after.
        const qint64 prefix = bytes.size() - bytes.size() / 3;
        SealInfo info;
        info.size = prefix;
        QVERIFY(sealFileWith(*key, file, info).ok);
        FileCheck c = verifyFile(file, pub);
        QCOMPARE(c.status, Status::Partial);
        QCOMPARE(c.coveredBytes, prefix);
        QCOMPARE(c.coveredRecords, summarizeDataBytes(bytes.first(prefix)).records);
        QCOMPARE(c.records, 10);

        QVERIFY(sealFileWith(*key, file, {}).ok);
        QCOMPARE(verifyFile(file, pub).status, Status::Ok);

        // One changed byte, a removed line, a shortened file, an edited comment.
        QByteArray changed = bytes;
        changed[bytes.size() - 5] = '9';
        writeAll(file, changed);
        QCOMPARE(verifyFile(file, pub).status, Status::Altered);
        QByteArray removed = bytes;
        removed.remove(bytes.indexOf("3\t08"), bytes.indexOf("4\t08") - bytes.indexOf("3\t08"));
        writeAll(file, removed + "extra\r\n"); // as long as before, or longer
        QCOMPARE(verifyFile(file, pub).status, Status::Altered);
        writeAll(file, bytes.chopped(2));
        QCOMPARE(verifyFile(file, pub).status, Status::Altered);
        writeAll(file, bytes);
        QCOMPARE(verifyFile(file, pub).status, Status::Ok);
        const QByteArray sigText = readAll(file + ".minisig");
        writeAll(file + ".minisig", QByteArray(sigText).replace("records=10", "records=11"));
        c = verifyFile(file, pub);
        QCOMPARE(c.status, Status::Altered);
        QVERIFY(c.problem.contains("comment"));

        // Another key's signature is foreign, not altered.
        const SecretKey stranger = generateKey();
        QVERIFY(sealFileWith(stranger, file, {}).ok);
        QCOMPARE(verifyFile(file, pub).status, Status::Foreign);
        QCOMPARE(verifyFile(file, stranger.publicKey()).status, Status::Ok);
    }

    void trustedCommentWords()
    {
        const QByteArray c = encodeTrustedComment({{"file", "sala 1=frio%.dlf"}, {"program", "x/1.0"}});
        QVERIFY(!c.contains("sala 1"));
        const auto words = decodeTrustedComment(c);
        QCOMPARE(commentValue(words, "file"), QStringLiteral("sala 1=frio%.dlf"));
        QCOMPARE(commentValue(words, "program"), QStringLiteral("x/1.0"));
    }

    // Garbage in every reader: no crash, no acceptance.
    void readersTakeAnyBytes()
    {
        QRandomGenerator rng(4242);
        const QByteArray good = readAll(dir.filePath(QStringLiteral("ensaio.dlf.minisig")));
        const QByteArray goodLine = entryLine(QJsonObject{{"action", "x"}, {"prev", QString(64, '0')}, {"seq", 1}});
        for (int i = 0; i < 3000; ++i) {
            QByteArray b = i % 2 ? good : goodLine;
            const int edits = 1 + int(rng.bounded(4));
            for (int k = 0; k < edits && !b.isEmpty(); ++k)
                b[int(rng.bounded(int(b.size())))] = char(rng.bounded(256));
            if (i % 7 == 0)
                b.truncate(int(rng.bounded(int(b.size()) + 1)));
            parseSignatureFile(b);
            parsePublicKeyFile(b);
            parseSecretKeyFile(b);
            parseCheckpoint(b);
            LineFacts f;
            lineFacts(b, f);
            summarizeDataBytes(b);
        }
        LineFacts f;
        QVERIFY(lineFacts(QByteArrayView(goodLine).chopped(1), f));
        QVERIFY(f.hashMatches);
    }

    void trailTampering_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected");
        QTest::newRow("edited") << "edit"
                                << "line 37: entry 37 was changed";
        QTest::newRow("removed") << "remove"
                                 << "line 37: entries 37 to 37 are missing";
        QTest::newRow("inserted") << "insert"
                                  << "line 38: entry 37 appears twice";
        QTest::newRow("swapped") << "swap"
                                 << "line 38: entry 37 is out of order";
        QTest::newRow("re-chained") << "rechain"
                                    << "line 37: entry 37 does not follow entry 36";
        QTest::newRow("cut after checkpoint") << "cut"
                                              << "entries missing after entry 195: the checkpoint counts 200";
        QTest::newRow("checkpoint edited") << "checkpoint"
                                           << "the checkpoint's signature is altered";
    }

    void trailTampering()
    {
        QFETCH(QString, how);
        QFETCH(QString, expected);
        const QString path = dir.filePath(how + QStringLiteral(".jsonl"));
        QCOMPARE(appendEntries(path, *key, 205, how), 0);
        const PublicKey pub = key->publicKey();
        TrailCheck c = verifyTrail(path, &pub);
        QVERIFY2(c.intact, qPrintable(c.problem));
        QCOMPARE(c.entries, 205);
        QVERIFY(c.checkpointChecked);

        QList<QByteArray> lines = trailLines(path);
        if (how == "edit") {
            lines[36].replace("\"new\":37", "\"new\":99");
        } else if (how == "remove") {
            lines.removeAt(36);
        } else if (how == "insert") {
            lines.insert(36, lines[36]);
        } else if (how == "swap") {
            lines.swapItemsAt(36, 37);
        } else if (how == "rechain") {
            // A forged entry with a correct hash, but not chained to entry 36.
            QJsonObject o = QJsonDocument::fromJson(lines[36]).object();
            o.insert("reason", "forjado");
            o.insert("prev", QString(64, 'a'));
            lines[36] = entryLine(o).chopped(1);
        } else if (how == "cut") {
            lines = lines.mid(0, 195);
        } else if (how == "checkpoint") {
            const QString cp = path + ".checkpoint";
            writeAll(cp, readAll(cp).replace("entries=200", "entries=100"));
        }
        writeLines(path, lines);
        c = verifyTrail(path, &pub);
        QVERIFY(!c.intact);
        QVERIFY2(c.problem.contains(expected), qPrintable(c.problem));
    }

    // A crash mid-line: reported as a crash; the next writer says so and goes on.
    void tornLine()
    {
        const QString path = dir.filePath(QStringLiteral("torn.jsonl"));
        QCOMPARE(appendEntries(path, *key, 10, "a"), 0);
        const QByteArray whole = readAll(path);
        const QByteArray last = trailLines(path).last();
        writeAll(path, whole + last.left(last.size() / 2));
        const PublicKey pub = key->publicKey();
        TrailCheck c = verifyTrail(path, &pub);
        QVERIFY2(c.intact, qPrintable(c.problem));
        QCOMPARE(c.crashes.size(), 1);
        QVERIFY(c.crashes[0].startsWith("line 11:"));

        QCOMPARE(appendEntries(path, *key, 3, "b"), 0);
        QVERIFY(readAll(path).startsWith(whole + last.left(last.size() / 2) + '\n'));
        c = verifyTrail(path, &pub);
        QVERIFY2(c.intact, qPrintable(c.problem));
        QCOMPARE(c.entries, 14); // ten, the torn notice, three
        QCOMPARE(c.crashes.size(), 1);
        LineFacts f;
        const QList<QByteArray> written = trailLines(path); // the facts point into these lines
        QVERIFY(lineFacts(written[11], f));
        QCOMPARE(f.action, QByteArrayView("trail.torn"));

        // A damaged line in the middle without that notice is not a crash.
        QList<QByteArray> lines = trailLines(path);
        lines[4] = "{\"action\":\"x";
        writeLines(path, lines);
        c = verifyTrail(path, &pub);
        QVERIFY(!c.intact);
        QVERIFY2(c.problem.startsWith("line 5:"), qPrintable(c.problem));
    }

    // Two programs appending at once leave one chain.
    void concurrentAppends()
    {
        const QString path = dir.filePath(QStringLiteral("concorrente.jsonl"));
        QProcess a, b;
        for (QProcess *p : {&a, &b})
            p->start(QCoreApplication::applicationFilePath(), {"--append-child", path, keyPath, "1000"});
        QVERIFY(a.waitForFinished(300000) && b.waitForFinished(300000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        const PublicKey pub = key->publicKey();
        const TrailCheck c = verifyTrail(path, &pub);
        QVERIFY2(c.intact, qPrintable(c.problem));
        QCOMPARE(c.entries, 2000);
        QVERIFY(c.checkpointChecked);
    }
};

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--append-child") == 0) {
        QString error;
        const auto key = loadSecretKey(QString::fromLocal8Bit(argv[3]), &error);
        if (!key)
            return 2;
        return appendEntries(QString::fromLocal8Bit(argv[2]), *key, QByteArray(argv[4]).toInt(),
                             QString::number(QCoreApplication::applicationPid()));
    }
    QCoreApplication app(argc, argv);
    TstIntegrity t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_integrity.moc"
