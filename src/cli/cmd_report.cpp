#include "cli/Cli.h"
#include "cli/DataFileArgs.h"
#include "cli/PdfSigning.h"
#include "render/PdfInMemory.h"

#include "core/files/DataFile.h"
#include "core/files/DataRecords.h"
#include "core/files/Report.h"
#include "core/files/TextFile.h"
#include "core/report/FullReport.h"
#include "render/FullReportPainter.h"
#include "render/ReportPrinter.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>

namespace {

// The report as an A4 PDF or as its printed lines in UTF-8, in memory: the
// file is then replaced in one step, so a failed write leaves the old one as it was.
std::optional<QByteArray> encodeOutput(bool pdf, const QString &title, const QStringList &lines, int *pages,
                                       QString *error)
{
    QByteArray bytes;
    if (!pdf) {
        for (const QString &line : lines)
            bytes += line.toUtf8() + '\n';
        return bytes;
    }
    PdfInMemory pdfOut(title, 600);
    ReportPrinter report(pdfOut.writer);
    if (!report.begin()) {
        *error = QStringLiteral("cannot draw the PDF");
        return std::nullopt;
    }
    for (const QString &line : lines)
        report.printLine(line);
    *pages = report.pages();
    if (!report.end()) {
        *error = QStringLiteral("cannot finish the PDF");
        return std::nullopt;
    }
    return pdfOut.bytes();
}

// The full report (header, statistics, chart, readings) as an A4 PDF in memory.
std::optional<QByteArray> encodeFullReport(const QString &title, const fullreport::Input &input, int *pages,
                                           QString *error)
{
    PdfInMemory pdf(title, 600);
    pdf.writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    const FullReportOutcome outcome = paintFullReport(pdf.writer, input);
    if (!outcome.ok) {
        *error = outcome.error;
        return std::nullopt;
    }
    *pages = outcome.pages;
    return pdf.bytes();
}

int run(const CliCommand &self, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("OUT"));
    const QCommandLineOption fullOpt(QStringLiteral("full"));
    const StatsOptions statsOpts;
    const PdfSignOptions signOpts;
    parser.addOptions({output, fullOpt, statsOpts.limit, statsOpts.mktKelvin});
    parser.addOptions(signOpts.all());
    if (!parser.parse(QStringList{self.name} + args))
        return cliUsageError(err, self, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    if (const int code = oneDataFileArg(pos, self, err); code >= 0)
        return code;
    const QString target = parser.value(output);
    QString suffix;
    if (const int code = outputFileArg(target, {QStringLiteral("pdf"), QStringLiteral("txt")}, self, err, &suffix);
        code >= 0)
        return code;
    const bool full = parser.isSet(fullOpt);
    if (full && suffix != QLatin1String("pdf"))
        return cliUsageError(err, self, QStringLiteral("--full writes a PDF: -o OUT.pdf"));
    if (!full && (parser.isSet(statsOpts.limit) || parser.isSet(statsOpts.mktKelvin)))
        return cliUsageError(err, self, QStringLiteral("--limit and --mkt-k go with --full"));
    PdfSignArgs sign;
    if (const int code = parsePdfSignOptions(parser, signOpts, self, err, &sign); code >= 0)
        return code;
    if (sign.wanted && !full)
        return cliUsageError(err, self, QStringLiteral("--sign goes with --full"));
    fullreport::Input input;
    if (const int code = parseStatsOptions(parser, statsOpts, self, err, input.limits, input.mktKelvin); code >= 0)
        return code;

    QString error;
    if (full) {
        // Numbers for the figures and the chart, and each record's line for
        // the readings: a fraction of what seven strings a record would hold.
        DataRecordFile file;
        if (const int code = readDataRecordsArg(self, pos[0], file, err, RecordTexts::Lines); code >= 0)
            return code;
        input.name = file.name;
        input.sector = file.sector;
        input.company = file.company;
        input.source = QFileInfo(pos[0]).fileName();
        input.integrity = fullreport::integrityFields(pos[0]);
        input.celsius = file.celsius;
        input.records = std::move(file.records);
        input.lines = std::move(file.lines);
        input.madeAt = QDateTime::currentDateTime();
        int pages = 0;
        auto bytes = encodeFullReport(input.source, input, &pages, &error);
        if (!bytes) {
            err << "termohigrometro-cli report: " << target << ": " << error << "\n";
            return cliexit::Failure;
        }
        // The signed report carries the data file and its signature, so that
        // what it summarises can be checked from the report alone.
        if (sign.wanted) {
            SignedPdf signedPdf = attachAndSign(*bytes, {pos[0]}, sign);
            if (!signedPdf.pdf) {
                err << "termohigrometro-cli report: " << signedPdf.error << "\n";
                return signedPdf.code;
            }
            bytes = std::move(signedPdf.pdf);
        }
        if (!writeFileAtomically(target, *bytes, &error, integrity::WrittenFile::Report)) {
            err << "termohigrometro-cli report: " << error << "\n";
            return cliexit::Failure;
        }
        out << target << ": " << input.lines.size() << " records, " << pages << (pages == 1 ? " page" : " pages")
            << ", " << (file.celsius ? "°C" : "°F") << "\n";
        return cliexit::Ok;
    }
    DataRecordFile file;
    if (const int code = readDataRecordsArg(self, pos[0], file, err, RecordTexts::Lines); code >= 0)
        return code;
    file.records = {};
    const qsizetype records = file.lines.size();
    // The rows as the file list holds them: the headings of the file's unit,
    // then every record with its seven fields; each file line is let go once
    // its row is made.
    QVector<QString> rows;
    rows.reserve(records + 1);
    rows.append(dataFileHeadings(file.celsius).join(QLatin1Char('\t')));
    for (QString &line : file.lines)
        rows.append(splitRecordLine(std::exchange(line, QString())).join(QLatin1Char('\t')));
    file.lines = {};
    const QStringList lines = gridReportLines(file.name, file.sector, file.company, rows);

    int pages = 0;
    const auto bytes =
        encodeOutput(suffix == QLatin1String("pdf"), QFileInfo(pos[0]).fileName(), lines, &pages, &error);
    if (!bytes) {
        err << "termohigrometro-cli report: " << target << ": " << error << "\n";
        return cliexit::Failure;
    }
    if (!writeFileAtomically(target, *bytes, &error, integrity::WrittenFile::Report)) {
        err << "termohigrometro-cli report: " << error << "\n";
        return cliexit::Failure;
    }
    out << target << ": " << records << " records, " << lines.size() << " lines";
    if (pages > 0)
        out << ", " << pages << (pages == 1 ? " page" : " pages");
    out << ", " << (file.celsius ? "°C" : "°F") << "\n";
    return cliexit::Ok;
}

const CliCommand kCommand{
    QStringLiteral("report"), QStringLiteral("prints the list report of a data file (.dlf) into a PDF or a text file"),
    QStringLiteral("termohigrometro-cli report FILE.dlf -o OUT.pdf|OUT.txt\n"
                   "termohigrometro-cli report FILE.dlf -o OUT.pdf --full [--limit Q=LOW:HIGH]... [--mkt-k K]\n"
                   "                   [--sign CERT.p12 --sign-meaning M [--sign-password-file FILE]]\n"
                   "\n"
                   "Writes the report the file list's \"Imprimir\" prints: the name, sector and company\n"
                   "block, the headings of the file's unit, a ruler and one line per record, in a\n"
                   "fixed-pitch font (Lucida Console 8 pt, or the closest monospaced font installed).\n"
                   "No display is needed.\n"
                   "\n"
                   "With --full, the report of the lists' \"Relatório\": A4 pages with the name, sector\n"
                   "and company, the file name, the period, the number of records, the statistics\n"
                   "(minimum, maximum, mean, standard deviation, mean kinetic temperature and, with\n"
                   "limits, the values and the time outside them), the chart of every record, and the\n"
                   "readings in columns, with the page number and the time it was made on every page.\n"
                   "\n"
                   "  -o OUT.pdf|OUT.txt  A4 pages (PDF) or the report's lines in UTF-8 (text);\n"
                   "                      the file is replaced\n"
                   "  --full              the full report (PDF only)\n"
                   "  --limit Q=LOW:HIGH  with --full: limits of quantity Q (temp, rh, dew or wet) in\n"
                   "                      the file's unit; either bound may be left empty (rh=:70)\n"
                   "  --mkt-k K           with --full: dH/R of the MKT in kelvin (default 10000)\n"
                   "With --full, the report can be signed: the data file and its .minisig are attached\n"
                   "to the PDF first.\n") +
        pdfSignHelp(),
    [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); }, true};

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
