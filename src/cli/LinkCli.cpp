#include "cli/LinkCli.h"
#include "core/integrity/Seal.h"

#include "core/integrity/Audit.h"
#include "platform/LinkFactory.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <cerrno>
#include <cmath>
#include <cstring>

#include <csignal>

namespace linkcli {

namespace {
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int)
{
    g_stop = 1;
}
} // namespace

bool stopRequested()
{
    static const bool installed = [] {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        return true;
    }();
    (void)installed;
    return g_stop != 0;
}

Session::Session(std::unique_ptr<SerialLink> link, double timeoutSeconds)
    : link_(std::move(link)), ctx_{*link_, pause_, timeoutSeconds}
{
}

Session::~Session()
{
    // Let the last bytes leave before the port closes.
    pause_.Wait(0.05);
    link_->close();
}

void recordInstrumentChange(Session &session, const QString &type, const InstrumentChange &change,
                            const QString &reason)
{
    integrity::auditRecord(change.action, change.old, change.now, reason,
                           integrity::Instrument{session.link().portName(), {}, type}.toJson());
}

int runInstrumentCommand(const CliCommand &command, const QStringList &args, QTextStream &out, QTextStream &err,
                         const QList<QCommandLineOption> &extra,
                         const std::function<std::variant<InstrumentStep, int>(const QCommandLineParser &)> &plan)
{
    QCommandLineParser parser;
    const Options common;
    common.addTo(parser);
    parser.addOption(common.reason);
    parser.addOptions(extra);
    if (const int code = parse(parser, command, args, err); code >= 0)
        return code;
    auto planned = plan(parser);
    if (const int *code = std::get_if<int>(&planned))
        return *code;
    InstrumentStep &step = std::get<InstrumentStep>(planned);

    int code = 0;
    auto session = open(parser, common, command, err, &code);
    if (!session)
        return code;
    const QString type = session->identify();
    if (type.isEmpty())
        return session->failure(err);
    if (!step.newTypeOnly.isEmpty() && type != QLatin1String("NewType")) {
        err << "termohigrometro-cli: " << step.newTypeOnly << "\n";
        return cliexit::Refused;
    }
    if (step.refusedWhileLogging) {
        if (const auto refused = session->refuseWhileLogging(err))
            return *refused;
    }
    std::optional<InstrumentChange> change;
    if (!step.talk(*session, out, &change))
        return session->failure(err);
    if (change)
        recordInstrumentChange(*session, type, *change, parser.value(common.reason));
    return cliexit::Ok;
}

int runInstrumentCommand(const CliCommand &command, const QStringList &args, QTextStream &out, QTextStream &err,
                         const InstrumentStep &step)
{
    return runInstrumentCommand(command, args, out, err, {},
                                [&](const QCommandLineParser &parser) -> std::variant<InstrumentStep, int> {
                                    if (!parser.positionalArguments().isEmpty())
                                        return cliUsageError(err, command, QStringLiteral("unexpected argument"));
                                    return step;
                                });
}

int Session::failure(QTextStream &err) const
{
    switch (ctx_.failure) {
    case LinkFailure::PortFailed:
        err << "termohigrometro-cli: the port " << link_->portName() << " failed\n";
        return cliexit::PortUnavailable;
    case LinkFailure::Aborted: err << "termohigrometro-cli: stopped\n"; return cliexit::Failure;
    case LinkFailure::Timeout:
    case LinkFailure::None: break;
    }
    err << "termohigrometro-cli: the instrument did not answer within " << ctx_.timeoutSeconds << " s\n";
    return cliexit::Silent;
}

QString Session::identify()
{
    QElapsedTimer t;
    t.start();
    const double limit = ctx_.timeoutSeconds;
    for (;;) {
        LinkContext step{*link_, pause_, qMax(0.0, limit - t.elapsed() / 1000.0)};
        if (!LinkHandshake(step)) {
            ctx_.failure = step.failure;
            return {};
        }
        const QString type = identifyInstrument(step);
        if (!type.isEmpty()) {
            // Signatures and trail entries name the instrument they came from.
            integrity::setInstrument({link_->portName(), {}, type});
            return type;
        }
        if (t.elapsed() >= qint64(limit * 1000)) {
            ctx_.failure = LinkFailure::Timeout;
            return {};
        }
    }
}

std::optional<QByteArray> Session::frame()
{
    return untilAnswered([](LinkContext &step) { return ReadLiveFrame(step); });
}

std::optional<bool> Session::logging()
{
    const auto f = frame();
    if (!f)
        return std::nullopt;
    return (quint8(f->at(1)) & 2) != 0;
}

std::optional<int> Session::refuseWhileLogging(QTextStream &err)
{
    const auto logs = logging();
    if (!logs)
        return failure(err);
    if (*logs) {
        err << kRefusal << "\n";
        return cliexit::Refused;
    }
    return std::nullopt;
}

int parse(QCommandLineParser &parser, const CliCommand &command, const QStringList &args, QTextStream &err)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(QStringList{command.name} + args))
        return cliUsageError(err, command, parser.errorText());
    return -1;
}

QString jsonObject(const QList<QPair<QString, QJsonValue>> &members)
{
    QStringList parts;
    for (const auto &[key, value] : members) {
        // Each value written by Qt's own writer, inside a one-element array.
        const QByteArray v = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        parts << QLatin1Char('"') + key + QStringLiteral("\":") + QString::fromUtf8(v.mid(1, v.size() - 2));
    }
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::unique_ptr<Session> open(QCommandLineParser &parser, const Options &options, const CliCommand &command,
                              QTextStream &err, int *code)
{
    const QString name = parser.value(options.port);
    if (name.isEmpty()) {
        *code = cliUsageError(err, command, QStringLiteral("--port is required"));
        return nullptr;
    }
    const auto timeout = number(parser.value(options.timeout));
    if (!timeout || *timeout < 0) {
        *code = cliUsageError(err, command, QStringLiteral("--timeout needs a number of seconds"));
        return nullptr;
    }
    auto link = createLink(name);
    QString reason;
    if (!link || !link->OpenPort(&reason)) {
        err << "termohigrometro-cli: cannot open the port " << name << ": "
            << (reason.isEmpty() ? QStringLiteral("unknown reason") : reason) << "\n";
        // Serial devices belong to the dialout group; a user outside it is the usual cause.
        if (reason == QString::fromLocal8Bit(std::strerror(EACCES)))
            err << "termohigrometro-cli: serial ports are open to the members of the dialout group: "
                   "sudo usermod -aG dialout \"$USER\", then log in again\n";
        *code = cliexit::PortUnavailable;
        return nullptr;
    }
    integrity::setInstrument({name, {}, {}});
    return std::make_unique<Session>(std::move(link), *timeout);
}

} // namespace linkcli
