#include "support/SmtpServer.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

namespace {
// The handler module: checks AUTH, refuses some recipients, can stall, and
// writes what it accepted.
const char kScript[] = R"PY(
import asyncio, json, os, signal, ssl, sys, threading, time
from email import message_from_bytes, policy
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

port, folder, implicit = int(sys.argv[1]), sys.argv[2], sys.argv[3] == "1"
cred = open(os.path.join(folder, "credentials")).read().split("\n")
user, password = cred[0], cred[1]
stall = os.path.join(folder, "stall")
held = os.path.join(folder, "held")

def authenticator(server, session, envelope, mechanism, data):
    ok = isinstance(data, LoginPassword) and data.login.decode() == user and data.password.decode() == password
    return AuthResult(success=ok, handled=False)

class Handler:
    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith("refuse"):
            return "550 5.1.1 <%s>: recipient refused" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        start = time.monotonic()
        while os.path.exists(stall):
            with open(held + ".new", "w") as f:
                f.write("%.2f" % (time.monotonic() - start))
            os.replace(held + ".new", held)
            await asyncio.sleep(0.05)
        m = message_from_bytes(envelope.content, policy=policy.default)
        line = json.dumps({"from": envelope.mail_from, "to": envelope.rcpt_tos, "subject": str(m["subject"]),
                           "body": m.get_content()}, ensure_ascii=False)
        with open(os.path.join(folder, "messages.jsonl"), "a", encoding="utf-8") as f:
            f.write(line + "\n")
        return "250 OK queued"

ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
ctx.load_cert_chain(os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem"))
kw = dict(authenticator=authenticator if user else None, auth_required=bool(user), auth_require_tls=True)
if implicit:
    c = Controller(Handler(), hostname="127.0.0.1", port=port, ssl_context=ctx, **kw)
else:
    c = Controller(Handler(), hostname="127.0.0.1", port=port, tls_context=ctx, require_starttls=True, **kw)
c.start()
done = threading.Event()
signal.signal(signal.SIGTERM, lambda *a: done.set())
done.wait()
c.stop()
)PY";
} // namespace

SmtpServer::SmtpServer(const QString &user, const QString &password, bool implicitTls)
    : server_(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral("{dir}/smtpd_test.py"), QStringLiteral("{port}"), QStringLiteral("{dir}"),
               implicitTls ? QStringLiteral("1") : QStringLiteral("0")}),
      implicitTls_(implicitTls)
{
    QFile script(server_.path(QStringLiteral("smtpd_test.py")));
    if (script.open(QIODevice::WriteOnly))
        script.write(kScript);
    QFile cred(server_.path(QStringLiteral("credentials")));
    if (cred.open(QIODevice::WriteOnly))
        cred.write((user + QLatin1Char('\n') + password + QLatin1Char('\n')).toUtf8());
}

bool SmtpServer::start()
{
    if (!QFile::exists(caFile())) {
        QProcess p;
        p.setWorkingDirectory(server_.dir());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                            "-nodes", "-keyout", "key.pem", "-out", "cert.pem", "-days", "2", "-subj",
                                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            qWarning() << "openssl:" << p.readAll();
            return false;
        }
    }
    return server_.start();
}

QString SmtpServer::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(implicitTls_ ? "smtps" : "smtp").arg(port());
}

void SmtpServer::stall(bool on)
{
    if (on) {
        QFile::remove(server_.path(QStringLiteral("held")));
        server_.writeFile(QStringLiteral("stall"), QStringLiteral("1"));
    } else
        QFile::remove(server_.path(QStringLiteral("stall")));
}

double SmtpServer::heldSeconds() const
{
    QFile f(server_.path(QStringLiteral("held")));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toDouble() : 0;
}

QList<QJsonObject> SmtpServer::messages() const
{
    QList<QJsonObject> out;
    QFile f(server_.path(QStringLiteral("messages.jsonl")));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    return out;
}

QStringList SmtpServer::subjects() const
{
    QStringList out;
    for (const QJsonObject &o : messages())
        out << o.value(QStringLiteral("subject")).toString();
    return out;
}
