#pragma once

#include "cli/Cli.h"
#include "core/link/Protocol.h"
#include "core/link/SerialLink.h"
#include "platform/EventPause.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonValue>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

// What the commands that talk to the instrument share: --port and --timeout,
// opening the port, and turning a failed sequence into the tool's exit code.
namespace linkcli {

// The refusal of commands that would disturb a logging instrument.
inline const QString kRefusal = QStringLiteral("O instrumento está no modo de gravação.\nInterrompa a gravação.");

struct Options {
    QCommandLineOption port{QStringLiteral("port"), QStringLiteral("Serial port, device path or Simulador."),
                            QStringLiteral("DEV")};
    QCommandLineOption timeout{QStringLiteral("timeout"),
                               QStringLiteral("Seconds a silent instrument is waited for (default 10)."),
                               QStringLiteral("S"), QStringLiteral("10")};
    // Why a change is made: kept with it in the audit trail.
    QCommandLineOption reason{QStringLiteral("reason"), QStringLiteral("Why the change is made."),
                              QStringLiteral("TEXT")};
    void addTo(QCommandLineParser &parser) const { parser.addOptions({port, timeout}); }
};

// An open link to the instrument with the pause and the context.
class Session {
public:
    Session(std::unique_ptr<SerialLink> link, double timeoutSeconds);
    ~Session();
    SerialLink &link() { return *link_; }
    LinkContext &ctx() { return ctx_; }
    EventPause &pause() { return pause_; }

    // The exit code of the last failed sequence, with its message on err.
    int failure(QTextStream &err) const;

    // Handshake, then identification until the instrument names its type.
    // Empty on failure (see failure()).
    QString identify();
    // The next live frame within the time limit; nullopt on failure.
    std::optional<QByteArray> frame();
    // The logging bit of the instrument's status (from a live frame).
    std::optional<bool> logging();
    // For commands that would disturb a logging instrument: the exit code
    // (with its message on err) when the instrument logs or does not answer;
    // nullopt when the command may go on.
    std::optional<int> refuseWhileLogging(QTextStream &err);

    // Repeats a one-exchange read with what is left of the time limit until
    // it answers, the link fails or the limit passes (then ctx().failure says why).
    template <class Read> auto untilAnswered(Read read) -> decltype(read(std::declval<LinkContext &>()))
    {
        QElapsedTimer t;
        t.start();
        const double limit = ctx_.timeoutSeconds;
        for (;;) {
            LinkContext step{*link_, pause_, qMax(0.0, limit - t.elapsed() / 1000.0)};
            if (auto answer = read(step))
                return answer;
            if (step.failure != LinkFailure::None || t.elapsed() >= qint64(limit * 1000)) {
                ctx_.failure = step.failure == LinkFailure::None ? LinkFailure::Timeout : step.failure;
                return std::nullopt;
            }
        }
    }

private:
    std::unique_ptr<SerialLink> link_;
    EventPause pause_;
    LinkContext ctx_;
};

// A change an instrument command made, for the audit trail: the action's
// key and the values before and after (null where the instrument did not
// say).
struct InstrumentChange {
    QString action; // "instrument.interval.set", ...
    QJsonValue old, now;
};

// What one instrument command does once the port is open and the instrument
// has named its type; the rest (the options --port, --timeout and --reason,
// opening, identifying, the refusals and the exit codes) is the runner's.
struct InstrumentStep {
    // Refused (exit Refused) on an OldType instrument, with this text.
    QString newTypeOnly;
    // Refused (exit Refused) while the instrument logs.
    bool refusedWhileLogging = false;
    // The exchange: false when a sequence failed (the runner turns
    // session.ctx().failure into the exit code). A change it makes goes into
    // *change.
    std::function<bool(Session &session, QTextStream &out, std::optional<InstrumentChange> *change)> talk;
};

// Keeps a change in the audit trail, with the instrument it was made on.
void recordInstrumentChange(Session &session, const QString &type, const InstrumentChange &change,
                            const QString &reason);

// A step that only reads: the text `read` gives is printed on a line of its
// own; nothing means the read failed.
inline InstrumentStep printStep(std::function<std::optional<QString>(Session &session)> read)
{
    InstrumentStep step;
    step.talk = [read = std::move(read)](Session &session, QTextStream &out, std::optional<InstrumentChange> *) {
        const std::optional<QString> text = read(session);
        if (text)
            out << *text << "\n";
        return text.has_value();
    };
    return step;
}

// Runs an instrument command: `extra` options besides the common ones, and
// `plan`, which reads the parsed arguments and gives the step, or an exit
// code (after its usage message) when they are wrong.
int runInstrumentCommand(const CliCommand &command, const QStringList &args, QTextStream &out, QTextStream &err,
                         const QList<QCommandLineOption> &extra,
                         const std::function<std::variant<InstrumentStep, int>(const QCommandLineParser &)> &plan);

// The same for a command that takes no arguments beyond the common ones.
int runInstrumentCommand(const CliCommand &command, const QStringList &args, QTextStream &out, QTextStream &err,
                         const InstrumentStep &step);

// Parses args for `command` (prints usage and returns Usage on error). On
// success returns -1; the parser then holds the values.
int parse(QCommandLineParser &parser, const CliCommand &command, const QStringList &args, QTextStream &err);

// Opens the port named by --port. nullptr with the exit code in *code (and
// the message on err) when it cannot.
std::unique_ptr<Session> open(QCommandLineParser &parser, const Options &options, const CliCommand &command,
                              QTextStream &err, int *code);

// A compact JSON object whose keys keep the given order.
QString jsonObject(const QList<QPair<QString, QJsonValue>> &members);

// Number argument; nullopt when it is not a number.
std::optional<double> number(const QString &text);

// True once SIGINT or SIGTERM has asked the tool to stop (installs the handlers on first call).
bool stopRequested();

} // namespace linkcli
