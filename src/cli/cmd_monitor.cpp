#include "cli/LinkCli.h"
#include "cli/MonitorSinks.h"
#include "core/integrity/Audit.h"
#include "core/monitor/AuditSink.h"
#include "core/monitor/EmailSink.h"
#include "core/monitor/Metrics.h"
#include "core/monitor/MqttPayload.h"
#include "core/monitor/RecordingSink.h"
#include "core/monitor/Schedule.h"
#include "core/monitor/SinkSet.h"
#include "core/reading/Decode.h"
#include "net/MetricsServer.h"
#include "net/MqttSink.h"
#include "net/SmtpSender.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("monitor"),
    QStringLiteral("watch the instrument for ever: MQTT, metrics, alarms, recording"),
    QStringLiteral("termohigrometro-cli monitor --port DEV [--interval S] [--id ID] [SINKS...] [--timeout S]\n"
                   "  A long-running service: one sample of the live reading every S seconds (default 60),\n"
                   "  fed to every sink given. After a loss of the link (or an unplugged adapter) it\n"
                   "  reconnects by itself; meanwhile no sample is taken and the sinks hear that the link\n"
                   "  is down. SIGTERM or SIGINT: the sample in progress ends, \"offline\" is published,\n"
                   "  files are closed, exit 0. --id names the instrument (default: the port's base name).\n"
                   "Sinks:\n"
                   "  --mqtt HOST[:PORT]        publish to an MQTT broker (default port 1883): <prefix>/state\n"
                   "                            (JSON, retained), <prefix>/availability (online/offline),\n"
                   "                            <prefix>/link (up/down), <prefix>/alarm; QoS 1. While the\n"
                   "                            broker is away up to 10000 messages wait, in order.\n"
                   "  --mqtt-user USER          user name; its password comes from --mqtt-password-file FILE\n"
                   "                            or the environment variable TH_MQTT_PASSWORD\n"
                   "  --mqtt-cafile FILE        TLS with this CA; --mqtt-cert FILE --mqtt-key FILE for a\n"
                   "                            client certificate\n"
                   "  --topic PREFIX            topic prefix (default termohigrometro/<id>)\n"
                   "  --ha-discovery            Home Assistant discovery configs under --ha-prefix P\n"
                   "                            (default homeassistant)\n"
                   "  --metrics [HOST:]PORT     serve Prometheus metrics at http://HOST:PORT/metrics; HOST is\n"
                   "                            127.0.0.1 unless given (0.0.0.0 or :: for every interface);\n"
                   "                            PORT 0 takes a free port, told on standard error\n"
                   "  --record FILE             also record a data file as `record` does (--unit C|F)\n"
                   "  --json                    print the state JSON of every sample on standard output\n"
                   "Alarms:\n"
                   "  --limit Q=LOW:HIGH        alarm bounds; Q is temp, rh, dew or wet (in °C and %); repeatable\n"
                   "  --warn Q=LOW:HIGH         warning bounds (an earlier level, usually inside the alarm's)\n"
                   "  --alarm-delay D           before an alarm starts: N samples outside in a row, or a\n"
                   "                            duration outside without a sample inside (90s, 30m, 2h);\n"
                   "                            default 1 sample\n"
                   "  --warn-delay D            the same for warnings (default 1 sample)\n"
                   "  --hysteresis Q=H          a running warning or alarm ends only when the value is back\n"
                   "                            inside by H (default 0); repeatable\n"
                   "  --link-alarm-after D      no sample for D is an alarm of the quantity \"link\", ended by\n"
                   "                            the next sample (default 5m; 0 off). A low battery is a warning.\n"
                   "  --state-dir DIR           keeps the last alarm id there, so ids stay unique across\n"
                   "                            restarts (default: $STATE_DIRECTORY of the service)\n"
                   "  --on-alarm COMMAND        run on every change, without a shell, with TH_ID,\n"
                   "                            TH_QUANTITY (temp/rh/dew/wet/link/battery), TH_STATE\n"
                   "                            (high/low/ok at the alarm level, warning-high/warning-low,\n"
                   "                            lost), TH_LEVEL (warning/alarm), TH_ALARM_ID, TH_VALUE,\n"
                   "                            TH_LOW, TH_HIGH, TH_TIME; ended after 30 s\n"
                   "E-mail (each start, turn into an alarm, end, lost and restored link):\n"
                   "  --email-to ADDR           a recipient; repeatable\n"
                   "  --email-from ADDR         the sender address\n"
                   "  --smtp URL                smtp://HOST:587 (STARTTLS required) or smtps://HOST:465\n"
                   "  --smtp-insecure           allows smtp:// without TLS\n"
                   "  --smtp-user USER          user name; its password comes from --smtp-password-file FILE\n"
                   "                            or the environment variable TH_SMTP_PASSWORD\n"
                   "  --smtp-cafile FILE        the CA that signed the server's certificate\n"
                   "  --email-repeat D          again every D while an event is unacknowledged (default 1h;\n"
                   "                            0 off). A server that fails is tried again with a growing\n"
                   "                            pause; no sample waits for it.\n"
                   "  Every warning and alarm is an event with an id that waits for an acknowledgement:\n"
                   "  publish {\"id\": N, \"user\": \"...\", \"comment\": \"...\"} to <prefix>/alarm/ack (the\n"
                   "  comment is required); the event's new state follows on <prefix>/alarm, a refusal on\n"
                   "  <prefix>/alarm/ack/result. <prefix>/alarm carries time, quantity, state, value, low,\n"
                   "  high, id, level, event, acknowledged, ack_user, ack_comment, ack_time, started, ended, peak."),
    run,
    false,
    true};

// "HOST", "HOST:PORT", "[V6]:PORT"; port 0 when none given.
bool splitHostPort(const QString &text, QString *host, quint16 *port)
{
    QString h = text, p;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype end = text.indexOf(QLatin1Char(']'));
        if (end < 0)
            return false;
        h = text.mid(1, end - 1);
        const QString rest = text.mid(end + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return false;
            p = rest.mid(1);
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        h = text.section(QLatin1Char(':'), 0, 0);
        p = text.section(QLatin1Char(':'), 1);
    }
    if (h.isEmpty())
        return false;
    *host = h;
    *port = 0;
    if (!p.isNull()) {
        bool ok = false;
        const int n = p.toInt(&ok);
        if (!ok || n < 1 || n > 65535)
            return false;
        *port = quint16(n);
    }
    return true;
}

// --metrics: "PORT", "HOST:PORT" or "[V6]:PORT", on the loopback unless a
// host is given; a host name is looked up once, here.
bool parseListenAddress(const QString &text, QHostAddress *address, quint16 *port)
{
    QString host = QStringLiteral("127.0.0.1"), p = text;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype end = text.indexOf(QStringLiteral("]:"));
        if (end < 0)
            return false;
        host = text.mid(1, end - 1);
        p = text.mid(end + 2);
    } else if (text.contains(QLatin1Char(':'))) {
        host = text.section(QLatin1Char(':'), 0, -2);
        p = text.section(QLatin1Char(':'), -1);
        if (host.contains(QLatin1Char(':')))
            return false; // a bare IPv6 address needs its brackets
    }
    bool ok = false;
    const uint n = p.toUInt(&ok);
    if (!ok || n > 65535 || p.isEmpty() || !p.front().isDigit() || host.isEmpty())
        return false;
    *port = quint16(n);
    if (address->setAddress(host))
        return true;
    const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
    if (found.isEmpty())
        return false;
    *address = found.first();
    return true;
}

// The first line of the file, without its line end.
std::optional<QString> readPasswordFile(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    QByteArray line = f.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

class Monitor {
public:
    Monitor(linkcli::Session &session, SinkSet &sinks, int intervalSeconds, double timeoutSeconds, QTextStream &err)
        : session_(session), sinks_(sinks), schedule_(qint64(intervalSeconds) * 1000), timeout_(timeoutSeconds),
          err_(err)
    {
    }

    void run()
    {
        clock_.start();
        lastBytes_.start();
        QObject::connect(&session_.link(), &SerialLink::bytesArrived, [this] { lastBytes_.restart(); });
        // The signal only sets a flag; look at it often, and cut a
        // resynchronisation short (a sample in progress is finished).
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [this] {
            if (linkcli::stopRequested() && recovering_)
                session_.pause().abort();
        });
        watch.start(100);
        // A silent instrument is an alarm of its own, whatever the loop waits on.
        sinks_.alarms().start(QDateTime::currentDateTime());
        QTimer linkCheck;
        QObject::connect(&linkCheck, &QTimer::timeout, [this] {
            for (const AlarmEvent &e : sinks_.checkLink(QDateTime::currentDateTime()))
                tell(e);
        });
        linkCheck.start(int(std::clamp<qint64>(sinks_.alarms().config().linkAlarmAfterMs / 10, 100, 1000)));
        while (!linkcli::stopRequested()) {
            if (!up_) {
                recover();
                continue;
            }
            if (!waitForSlot())
                continue;
            takeSample();
        }
    }

private:
    void say(const QString &text)
    {
        err_ << "termohigrometro-cli monitor: " << text << "\n";
        err_.flush();
    }

    void setLink(bool up, const QString &why = {})
    {
        if (sinks_.linkUp() == up)
            return;
        if (up)
            say(QStringLiteral("link up (%1)").arg(type_));
        else
            say(QStringLiteral("link down: %1").arg(why));
        sinks_.linkChanged(up, QDateTime::currentDateTime());
    }

    bool portGone() const
    {
        SerialLink &link = session_.link();
        return link.hasFailed() || !link.isOpen();
    }

    // As the panel does after a loss: reopen a port that went away (once a
    // second), wait for the instrument to send anything, then handshake and
    // identify within --timeout.
    void recover()
    {
        SerialLink &link = session_.link();
        recovering_ = true;
        if (portGone()) {
            if (!reopenClock_.isValid() || reopenClock_.elapsed() >= 1000) {
                reopenClock_.start();
                link.close();
                link.OpenPort();
            }
            if (portGone()) {
                setLink(false, QStringLiteral("the port %1 is gone").arg(link.portName()));
                session_.pause().Wait(0.2);
                recovering_ = false;
                return;
            }
        }
        if (link.PendingCount() == 0 && !session_.pause().waitForBytes(link, 1, 0.5)) {
            setLink(false, QStringLiteral("the instrument sends nothing"));
            recovering_ = false;
            return;
        }
        const QString type = session_.identify();
        recovering_ = false;
        if (type.isEmpty()) {
            if (!linkcli::stopRequested())
                setLink(false, QStringLiteral("the instrument does not answer"));
            return;
        }
        type_ = type;
        up_ = true;
        lastBytes_.restart();
        // Slots that passed while the link was lost get no sample.
        schedule_.skipTo(clock_.elapsed());
        setLink(true);
    }

    void lost(const QString &why)
    {
        up_ = false;
        setLink(false, why);
    }

    // Waits for the next slot while watching the link: a port that fails or an
    // instrument that sends nothing for 5 s (the stream never pauses that
    // long) is a lost link even between two samples far apart.
    bool waitForSlot()
    {
        SerialLink &link = session_.link();
        while (!schedule_.due(clock_.elapsed() + kReadAheadMs)) {
            if (linkcli::stopRequested())
                return false;
            if (portGone()) {
                lost(QStringLiteral("the port %1 failed").arg(link.portName()));
                return false;
            }
            if (lastBytes_.elapsed() > 5000) {
                lost(QStringLiteral("the instrument stopped sending"));
                return false;
            }
            // A long interval must not pile up the stream in memory.
            if (link.PendingCount() > 65536)
                link.DiscardInput();
            session_.pause().Wait(qMin(0.2, schedule_.msUntilDue(clock_.elapsed() + kReadAheadMs) / 1000.0));
        }
        return true;
    }

    void takeSample()
    {
        const qint64 due = schedule_.nextDueMs();
        LinkContext ctx{session_.link(), session_.pause(), timeout_};
        const auto frame = ReadLiveFrame(ctx);
        // A frame that came before the slot waits for it: the sinks hear of
        // every sample on its slot, whenever the instrument happened to send.
        if (frame && clock_.elapsed() < due)
            session_.pause().Wait((due - clock_.elapsed()) / 1000.0);
        const qint64 now = clock_.elapsed();
        // The sample carries the moment it was due, as `record` does.
        const QDateTime at = QDateTime::currentDateTime().addMSecs(qMin<qint64>(0, due - now));
        schedule_.taken(now);
        if (!frame) {
            lost(ctx.failure == LinkFailure::PortFailed
                     ? QStringLiteral("the port %1 failed").arg(session_.link().portName())
                     : QStringLiteral("no reading frame"));
            return;
        }
        Sample s;
        s.time = at;
        decodeFrame(s.reading, *frame);
        s.sequence = ++sequence_;
        for (const AlarmEvent &e : sinks_.sample(s))
            tell(e);
    }

    void tell(const AlarmEvent &e)
    {
        QString text = QStringLiteral("alarm %1 %2").arg(alarmSubjectKey(e), alarmEventStateKey(e));
        if (e.value && e.subject == AlarmSubject::Quantity)
            text += QStringLiteral(" at %1").arg(*e.value);
        say(text + QStringLiteral(" (id %1)").arg(e.id));
    }

    // The instrument sends a frame every 250 ms whatever is asked, and a
    // reading waits for the next whole one: begun on the slot, a sample
    // would come up to a frame period late. Begun this much earlier, the
    // frame lands between about 200 ms before the slot and 50 ms after it.
    static constexpr qint64 kReadAheadMs = 230;

    linkcli::Session &session_;
    SinkSet &sinks_;
    SampleSchedule schedule_;
    double timeout_;
    QTextStream &err_;
    QElapsedTimer clock_, lastBytes_, reopenClock_;
    bool up_ = false;
    bool recovering_ = false;
    QString type_;
    quint64 sequence_ = 0;
};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    const QCommandLineOption interval(QStringLiteral("interval"), {}, QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption idOpt(QStringLiteral("id"), {}, QStringLiteral("ID"));
    const QCommandLineOption mqtt(QStringLiteral("mqtt"), {}, QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption mqttUser(QStringLiteral("mqtt-user"), {}, QStringLiteral("USER"));
    const QCommandLineOption mqttPasswordFile(QStringLiteral("mqtt-password-file"), {}, QStringLiteral("FILE"));
    const QCommandLineOption mqttPassword(QStringLiteral("mqtt-password"), {}, QStringLiteral("PASSWORD"));
    const QCommandLineOption mqttCa(QStringLiteral("mqtt-cafile"), {}, QStringLiteral("FILE"));
    const QCommandLineOption mqttCert(QStringLiteral("mqtt-cert"), {}, QStringLiteral("FILE"));
    const QCommandLineOption mqttKey(QStringLiteral("mqtt-key"), {}, QStringLiteral("FILE"));
    const QCommandLineOption topic(QStringLiteral("topic"), {}, QStringLiteral("PREFIX"));
    const QCommandLineOption haDiscovery(QStringLiteral("ha-discovery"));
    const QCommandLineOption haPrefix(QStringLiteral("ha-prefix"), {}, QStringLiteral("P"), kDefaultHaPrefix);
    const QCommandLineOption metrics(QStringLiteral("metrics"), {}, QStringLiteral("[HOST:]PORT"));
    const QCommandLineOption record(QStringLiteral("record"), {}, QStringLiteral("FILE"));
    const QCommandLineOption unit(QStringLiteral("unit"), {}, QStringLiteral("C|F"), QStringLiteral("C"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption limitOpt(QStringLiteral("limit"), {}, QStringLiteral("Q=LOW:HIGH"));
    const QCommandLineOption alarmDelay(QStringLiteral("alarm-delay"), {}, QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption onAlarm(QStringLiteral("on-alarm"), {}, QStringLiteral("COMMAND"));
    const QCommandLineOption warnOpt(QStringLiteral("warn"), {}, QStringLiteral("Q=LOW:HIGH"));
    const QCommandLineOption warnDelay(QStringLiteral("warn-delay"), {}, QStringLiteral("D"), QStringLiteral("1"));
    const QCommandLineOption hysteresisOpt(QStringLiteral("hysteresis"), {}, QStringLiteral("Q=H"));
    const QCommandLineOption linkAlarmAfter(QStringLiteral("link-alarm-after"), {}, QStringLiteral("D"),
                                            QStringLiteral("5m"));
    const QCommandLineOption stateDir(QStringLiteral("state-dir"), {}, QStringLiteral("DIR"));
    const QCommandLineOption emailTo(QStringLiteral("email-to"), {}, QStringLiteral("ADDR"));
    const QCommandLineOption emailFrom(QStringLiteral("email-from"), {}, QStringLiteral("ADDR"));
    const QCommandLineOption smtp(QStringLiteral("smtp"), {}, QStringLiteral("URL"));
    const QCommandLineOption smtpInsecure(QStringLiteral("smtp-insecure"));
    const QCommandLineOption smtpUser(QStringLiteral("smtp-user"), {}, QStringLiteral("USER"));
    const QCommandLineOption smtpPasswordFile(QStringLiteral("smtp-password-file"), {}, QStringLiteral("FILE"));
    const QCommandLineOption smtpPassword(QStringLiteral("smtp-password"), {}, QStringLiteral("PASSWORD"));
    const QCommandLineOption smtpCa(QStringLiteral("smtp-cafile"), {}, QStringLiteral("FILE"));
    const QCommandLineOption emailRepeat(QStringLiteral("email-repeat"), {}, QStringLiteral("D"), QStringLiteral("1h"));
    parser.addOptions({interval, idOpt, mqtt, mqttUser, mqttPasswordFile, mqttPassword, mqttCa, mqttCert, mqttKey,
                       topic, haDiscovery, haPrefix, metrics, record, unit, json, limitOpt, alarmDelay, onAlarm});
    parser.addOptions({warnOpt, warnDelay, hysteresisOpt, linkAlarmAfter, stateDir});
    parser.addOptions(
        {emailTo, emailFrom, smtp, smtpInsecure, smtpUser, smtpPasswordFile, smtpPassword, smtpCa, emailRepeat});
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    if (!parser.positionalArguments().isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("unexpected argument"));
    if (parser.isSet(mqttPassword))
        return cliUsageError(err, kCommand,
                             QStringLiteral("no password on the command line (others can read it there): use "
                                            "--mqtt-password-file FILE or the environment variable TH_MQTT_PASSWORD"));
    if (parser.isSet(smtpPassword))
        return cliUsageError(err, kCommand,
                             QStringLiteral("no password on the command line (others can read it there): use "
                                            "--smtp-password-file FILE or the environment variable TH_SMTP_PASSWORD"));
    if (parser.value(common.port).isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("--port is required"));

    const auto seconds = linkcli::number(parser.value(interval));
    if (!seconds || *seconds < 1 || *seconds > 86400)
        return cliUsageError(err, kCommand, QStringLiteral("--interval needs a number of seconds from 1 to 86400"));
    const int every = clampPcSampleSeconds(*seconds);
    const auto timeout = linkcli::number(parser.value(common.timeout));
    if (!timeout || *timeout < 0)
        return cliUsageError(err, kCommand, QStringLiteral("--timeout needs a number of seconds"));

    QString id = instrumentIdFromPort(parser.value(common.port));
    if (parser.isSet(idOpt)) {
        id = parser.value(idOpt);
        if (!isValidInstrumentId(id))
            return cliUsageError(err, kCommand,
                                 QStringLiteral("--id takes letters, digits, \"_\" and \"-\" only (64 at most)"));
    }

    AlarmConfig alarmConfig;
    for (const QString &text : parser.values(limitOpt)) {
        QString error;
        if (!parseLimit(text, alarmConfig.alarm, &error))
            return cliUsageError(err, kCommand, error);
    }
    for (const QString &text : parser.values(warnOpt)) {
        QString error;
        if (!parseLimit(text, alarmConfig.warning, &error))
            return cliUsageError(err, kCommand, QStringLiteral("--warn: ") + error);
    }
    const Limits &limits = alarmConfig.alarm;
    for (const auto &[opt, delay] :
         {std::pair{&alarmDelay, &alarmConfig.alarmDelay}, {&warnDelay, &alarmConfig.warningDelay}}) {
        const auto d = AlarmDelay::parse(parser.value(*opt));
        if (!d)
            return cliUsageError(err, kCommand,
                                 QStringLiteral("--%1 needs a positive number of samples or a duration (90s, 30m, 2h)")
                                     .arg(opt->names().first()));
        *delay = *d;
    }
    for (const QString &text : parser.values(hysteresisOpt)) {
        const auto q = quantityFromKey(text.section(QLatin1Char('='), 0, 0).trimmed().toLower());
        const auto h = parseDecimal(text.section(QLatin1Char('='), 1).trimmed());
        if (!text.contains(QLatin1Char('=')) || !q || !h || *h < 0)
            return cliUsageError(err, kCommand,
                                 QStringLiteral("--hysteresis \"%1\": expected Q=H with Q temp, rh, dew or wet and H "
                                                "a number not below 0")
                                     .arg(text));
        alarmConfig.hysteresis[size_t(*q)] = *h;
    }
    const auto linkAfter = parseDurationMs(parser.value(linkAlarmAfter));
    if (!linkAfter)
        return cliUsageError(err, kCommand, QStringLiteral("--link-alarm-after needs a duration (90s, 5m, 1h) or 0"));
    alarmConfig.linkAlarmAfterMs = *linkAfter;
    QStringList alarmCommand;
    if (parser.isSet(onAlarm)) {
        const auto words = AlarmCommandSink::splitCommand(parser.value(onAlarm));
        if (!words)
            return cliUsageError(err, kCommand, QStringLiteral("--on-alarm needs a command (with its quotes closed)"));
        alarmCommand = *words;
        if (!alarmConfig.any())
            return cliUsageError(err, kCommand, QStringLiteral("--on-alarm needs at least one --limit or --warn"));
    }

    std::optional<SmtpSettings> smtpSettings;
    qint64 repeatMs = 0;
    if (parser.isSet(smtp) || parser.isSet(emailTo)) {
        SmtpSettings o;
        o.url = parser.value(smtp);
        o.to = parser.values(emailTo);
        o.from = parser.value(emailFrom);
        o.user = parser.value(smtpUser);
        o.caFile = parser.value(smtpCa);
        o.insecure = parser.isSet(smtpInsecure);
        if (parser.isSet(smtpPasswordFile)) {
            QString error;
            const auto pw = readPasswordFile(parser.value(smtpPasswordFile), &error);
            if (!pw) {
                err << "termohigrometro-cli monitor: " << error << "\n";
                return cliexit::Failure;
            }
            o.password = *pw;
            o.hasPassword = true;
        } else if (qEnvironmentVariableIsSet("TH_SMTP_PASSWORD")) {
            o.password = qEnvironmentVariable("TH_SMTP_PASSWORD");
            o.hasPassword = true;
        }
        if (const QString problem = o.problem(); !problem.isEmpty())
            return cliUsageError(err, kCommand,
                                 problem + QStringLiteral(" (--smtp URL, --email-from ADDR, --email-to ADDR)"));
        if (!o.caFile.isEmpty() && !QFileInfo(o.caFile).isReadable()) {
            err << "termohigrometro-cli monitor: cannot read " << o.caFile << "\n";
            return cliexit::Failure;
        }
        const auto repeat = parseDurationMs(parser.value(emailRepeat));
        if (!repeat)
            return cliUsageError(err, kCommand, QStringLiteral("--email-repeat needs a duration (30m, 1h) or 0"));
        repeatMs = *repeat;
        smtpSettings = o;
    } else {
        for (const QCommandLineOption *o : {&emailFrom, &smtpInsecure, &smtpUser, &smtpPasswordFile, &smtpCa})
            if (parser.isSet(*o))
                return cliUsageError(err, kCommand, QStringLiteral("--%1 needs --smtp").arg(o->names().first()));
    }

    const QString u = parser.value(unit).toUpper();
    if (u != QLatin1String("C") && u != QLatin1String("F"))
        return cliUsageError(err, kCommand, QStringLiteral("--unit is C or F"));

    std::optional<MqttSinkOptions> mqttOptions;
    if (parser.isSet(mqtt)) {
        MqttSinkOptions o;
        o.id = id;
        if (!splitHostPort(parser.value(mqtt), &o.broker.host, &o.broker.port))
            return cliUsageError(err, kCommand, QStringLiteral("--mqtt takes HOST or HOST:PORT"));
        if (o.broker.port == 0)
            o.broker.port = 1883;
        o.broker.clientId = QStringLiteral("termohigrometro-") + id;
        o.broker.user = parser.value(mqttUser);
        QString error;
        if (parser.isSet(mqttPasswordFile)) {
            const auto pw = readPasswordFile(parser.value(mqttPasswordFile), &error);
            if (!pw) {
                err << "termohigrometro-cli monitor: " << error << "\n";
                return cliexit::Failure;
            }
            o.broker.password = *pw;
            o.broker.hasPassword = true;
        } else if (qEnvironmentVariableIsSet("TH_MQTT_PASSWORD")) {
            o.broker.password = qEnvironmentVariable("TH_MQTT_PASSWORD");
            o.broker.hasPassword = true;
        }
        if (o.broker.hasPassword && o.broker.user.isEmpty())
            return cliUsageError(err, kCommand, QStringLiteral("a password needs --mqtt-user"));
        o.broker.caFile = parser.value(mqttCa);
        o.broker.certFile = parser.value(mqttCert);
        o.broker.keyFile = parser.value(mqttKey);
        if (o.broker.caFile.isEmpty() && (!o.broker.certFile.isEmpty() || !o.broker.keyFile.isEmpty()))
            return cliUsageError(err, kCommand, QStringLiteral("--mqtt-cert and --mqtt-key need --mqtt-cafile"));
        if (o.broker.certFile.isEmpty() != o.broker.keyFile.isEmpty())
            return cliUsageError(err, kCommand, QStringLiteral("--mqtt-cert and --mqtt-key go together"));
        for (const QString &f : {o.broker.caFile, o.broker.certFile, o.broker.keyFile}) {
            if (!f.isEmpty() && !QFileInfo(f).isReadable()) {
                err << "termohigrometro-cli monitor: cannot read " << f << "\n";
                return cliexit::Failure;
            }
        }
        o.topics.prefix = parser.isSet(topic) ? parser.value(topic) : defaultTopicPrefix(id);
        if (!isValidTopicPrefix(o.topics.prefix, &error))
            return cliUsageError(err, kCommand, QStringLiteral("--topic: ") + error);
        o.haDiscovery = parser.isSet(haDiscovery);
        o.haPrefix = parser.value(haPrefix);
        o.acceptAcks = true;
        if (!isValidTopicPrefix(o.haPrefix, &error))
            return cliUsageError(err, kCommand, QStringLiteral("--ha-prefix: ") + error);
        mqttOptions = o;
    } else {
        for (const QCommandLineOption *o :
             {&mqttUser, &mqttPasswordFile, &mqttCa, &mqttCert, &mqttKey, &topic, &haDiscovery, &haPrefix})
            if (parser.isSet(*o))
                return cliUsageError(err, kCommand, QStringLiteral("--%1 needs --mqtt").arg(o->names().first()));
    }
    if (!mqttOptions && !parser.isSet(metrics) && !parser.isSet(record) && !parser.isSet(json) && !alarmConfig.any())
        return cliUsageError(
            err, kCommand,
            QStringLiteral("nothing to feed: give --mqtt, --metrics, --record, --json, --limit or --warn"));

    // The last alarm id survives a restart, so an id seen in an old message
    // or e-mail never names a new event.
    QString idFile;
    {
        const QString dir = parser.isSet(stateDir)
                                ? parser.value(stateDir)
                                : qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
        if (!dir.isEmpty()) {
            if (!QDir().mkpath(dir)) {
                err << "termohigrometro-cli monitor: cannot create the state folder " << dir << "\n";
                return cliexit::Failure;
            }
            idFile = QDir(dir).filePath(QStringLiteral("last-alarm-id"));
        }
    }

    // Listening before the instrument is opened: a port in use ends the run
    // at once, not after the handshake.
    std::unique_ptr<MetricsSink> metricsSink;
    std::unique_ptr<MetricsServer> metricsServer;
    if (parser.isSet(metrics)) {
        QHostAddress address;
        quint16 port = 0;
        if (!parseListenAddress(parser.value(metrics), &address, &port))
            return cliUsageError(err, kCommand,
                                 QStringLiteral("--metrics takes PORT, HOST:PORT or [IPV6]:PORT (PORT 0 to 65535)"));
        metricsSink = std::make_unique<MetricsSink>(id, limits);
        metricsSink->setWarningLimits(alarmConfig.warning);
        metricsServer = std::make_unique<MetricsServer>([s = metricsSink.get()] { return s->text(); });
        QString error;
        if (!metricsServer->listen(address, port, &error)) {
            err << "termohigrometro-cli monitor: cannot serve metrics on " << parser.value(metrics) << ": " << error
                << "\n";
            return cliexit::Failure;
        }
        err << "termohigrometro-cli monitor: metrics on " << metricsServer->url() << "\n";
        err.flush();
    }

    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    linkcli::stopRequested(); // handlers in place before the run

    SinkSet sinks{AlarmMonitor(alarmConfig)};
    if (!idFile.isEmpty()) {
        QFile f(idFile);
        if (f.open(QIODevice::ReadOnly))
            sinks.alarms().setNextId(f.readLine(64).trimmed().toULongLong() + 1);
        sinks.alarms().onIdTaken([idFile, &err](quint64 taken) {
            QSaveFile f(idFile);
            if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray::number(taken) + '\n') < 0 || !f.commit()) {
                err << "termohigrometro-cli monitor: cannot keep the alarm id in " << idFile << ": " << f.errorString()
                    << "\n";
                err.flush();
            }
        });
    }
    auto say = [&err](const QString &text) {
        err << "termohigrometro-cli monitor: " << text << "\n";
        err.flush();
    };
    // First, so its line marks the moment each sample is handed on.
    if (parser.isSet(json))
        sinks.add(std::make_unique<JsonLinesSink>(out));
    if (parser.isSet(record)) {
        auto rec = std::make_unique<RecordingSink>(say);
        QString error;
        if (!rec->start(parser.value(record), u == QLatin1String("C"), &error)) {
            err << "termohigrometro-cli: cannot create " << error << "\n";
            return cliexit::Failure;
        }
        sinks.add(std::move(rec));
    }
    MqttSink *checkpointMqtt = nullptr;
    if (mqttOptions) {
        auto sink = std::make_unique<MqttSink>(*mqttOptions);
        QObject::connect(sink.get(), &MqttSink::notice, say);
        QObject::connect(sink.get(), &MqttSink::ackRequested, [&sinks, &say, mqtt = sink.get()](const AckRequest &r) {
            const auto result = sinks.acknowledge(r.id, r.user, r.comment, QDateTime::currentDateTime());
            mqtt->publishAckResult(r.id, result.ok, result.error);
            say(result.ok ? QStringLiteral("alarm %1 acknowledged by %2: %3").arg(r.id).arg(r.user, r.comment)
                          : QStringLiteral("acknowledgement refused: ") + result.error);
        });
        sink->start();
        checkpointMqtt = sink.get();
        if (metricsSink)
            metricsSink->setPublisherStatus([mqtt = sink.get()] {
                return PublisherStatus{mqtt->isConnected(), mqtt->queued(), mqtt->dropped()};
            });
        sinks.add(std::move(sink));
    }
    if (metricsSink)
        sinks.add(std::move(metricsSink));
    if (!alarmCommand.isEmpty())
        sinks.add(std::make_unique<AlarmCommandSink>(id, alarmCommand, err));
    std::unique_ptr<SmtpSender> mail;
    if (smtpSettings) {
        mail = std::make_unique<SmtpSender>(*smtpSettings);
        QObject::connect(mail.get(), &SmtpSender::notice, say);
        EmailSinkOptions eo;
        eo.instrument = id;
        eo.ackTopic = mqttOptions ? mqttOptions->topics.ack() : QString();
        eo.from = smtpSettings->from;
        eo.to = smtpSettings->to;
        eo.repeatMs = repeatMs;
        sinks.add(std::make_unique<EmailSink>(
            eo, [m = mail.get()](const QByteArray &message, const QString &what) { m->send(message, what); },
            [] { return QDateTime::currentDateTime(); }));
    }

    // The trail: alarms and acknowledgements, settings, the link lost and back.
    sinks.add(std::make_unique<AuditSink>(true));
    // Everything the run was told, for whatever records changes of settings.
    sinks.settingsChanged(QStringLiteral("start"), {}, alarmConfig.toJson());
    // The trail's signed checkpoint goes to the broker, retained, whenever it
    // is renewed: cutting the newest entries off the trail on this PC is then
    // seen against a copy elsewhere.
    QByteArray checkpointSent;
    const auto publishCheckpoint = [&] {
        if (!checkpointMqtt)
            return;
        const std::optional<QByteArray> message = integrity::checkpointMessage(integrity::auditPath());
        if (message && *message != checkpointSent) {
            checkpointMqtt->publishRetained(mqttOptions->topics.auditCheckpoint(), *message);
            checkpointSent = *message;
        }
    };
    QTimer checkpointTimer;
    QObject::connect(&checkpointTimer, &QTimer::timeout, publishCheckpoint);
    checkpointTimer.start(60000);
    publishCheckpoint();
    Monitor monitor(*session, sinks, every, *timeout, err);
    monitor.run();
    checkpointTimer.stop();
    integrity::finishTrail();
    publishCheckpoint();
    sinks.close();
    // What is still owed goes now, within a limit: a dead server must not
    // hold up the service's stop for ever.
    if (mail)
        mail->close(10000);
    // It reads a sink the set owns: gone before the set.
    metricsServer.reset();
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
