#pragma once

#include "cli/Cli.h"
#include "core/files/DataRecords.h"
#include "core/stats/Limits.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

struct DataFileContents;
struct DataRecordFile;

// The one data file a command works on: -1 when `positional` holds exactly
// one argument, else cliexit::Usage with the usage message on err.
int oneDataFileArg(const QStringList &positional, const CliCommand &command, QTextStream &err);

// The file named by -o OUT: required, ending in one of `suffixes` ("png",
// "pdf"); *suffix gets its ending in lower case. -1 when it is fine, else the
// exit code after the usage message.
int outputFileArg(const QString &target, const QStringList &suffixes, const CliCommand &command, QTextStream &err,
                  QString *suffix);
// Reads the data file at `path`: -1 on success, else cliexit::Failure with
// the path and the reason on err.
int readDataFileArg(const CliCommand &command, const QString &path, DataFileContents &file, QTextStream &err);
// The same for a file read into numbers, for the commands that need no texts of it.
int readDataRecordsArg(const CliCommand &command, const QString &path, DataRecordFile &file, QTextStream &err,
                       RecordTexts texts = RecordTexts::None);

// --from N and --to M of the commands that work on a range of a data file's
// records, so that they all read and check a range the same way.
struct RecordRangeOptions {
    QCommandLineOption from{QStringLiteral("from"), {}, QStringLiteral("N")};
    QCommandLineOption to{QStringLiteral("to"), {}, QStringLiteral("M")};
};

struct RecordRange {
    int from = 1;
    int to = -1; // -1: the file's last record
    bool given = false;
};

// A whole number >= 0 (record numbers, pixel sizes).
bool parseCount(const QString &text, int &value);

// Reads --from and --to. -1 on success, else cliexit::Usage with the usage message on err.
int parseRecordRange(const QCommandLineParser &parser, const RecordRangeOptions &options, const CliCommand &command,
                     QTextStream &err, RecordRange &range);

// Fits the range to a file of `count` records: the whole file when none was
// given, 1..0 for an empty file. -1 on success, else cliexit::Usage when a
// given range does not lie within the file (message on err).
int fitRecordRange(RecordRange &range, int count, const CliCommand &command, QTextStream &err);

// --limit Q=LOW:HIGH (repeatable) and --mkt-k K of the commands that compute
// the statistics of a data file.
struct StatsOptions {
    QCommandLineOption limit{QStringLiteral("limit"), {}, QStringLiteral("Q=LOW:HIGH")};
    QCommandLineOption mktKelvin{QStringLiteral("mkt-k"), {}, QStringLiteral("K")};
};

// Reads --limit and --mkt-k. -1 on success, else cliexit::Usage with the usage message on err.
int parseStatsOptions(const QCommandLineParser &parser, const StatsOptions &options, const CliCommand &command,
                      QTextStream &err, Limits &limits, double &mktKelvin);
