#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

// Exit codes of termohigrometro-cli.
namespace cliexit {
constexpr int Ok = 0;
constexpr int Failure = 1; // unreadable/unwritable file and other failures
constexpr int Usage = 2;   // bad arguments
constexpr int Silent = 3;  // the instrument did not answer in time
constexpr int PortUnavailable = 4;
constexpr int Refused = 5;            // the instrument refuses (logging, OldType)
constexpr int VerificationFailed = 6; // a file or the audit trail did not verify
constexpr int SigningRefused = 7;     // the certificate refused: wrong password, expired, not a certificate
} // namespace cliexit

// One sub-command of the tool. Each lives in its own cmd_*.cpp file and
// registers itself with a static CliCommandRegistrar.
struct CliCommand {
    QString name;
    QString summary; // one line for the tool's --help
    QString usage;   // "termohigrometro-cli NAME ..." and its options
    // args: the arguments after the command name. Returns the exit code.
    std::function<int(const QStringList &args, QTextStream &out, QTextStream &err)> run;
    // Draws text or pictures: runs under a QGuiApplication (offscreen, no display needed).
    bool needsGui = false;
    // Runs for a long time (recording, monitoring): its start and end go to the audit trail.
    bool longRunning = false;
};

void registerCliCommand(const CliCommand &command);
const QList<CliCommand> &cliCommands();

struct CliCommandRegistrar {
    explicit CliCommandRegistrar(const CliCommand &command) { registerCliCommand(command); }
};

// Prints "usage: ..." to err and returns cliexit::Usage.
int cliUsageError(QTextStream &err, const CliCommand &command, const QString &problem);
