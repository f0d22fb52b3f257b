#include "cli/Cli.h"
#include "cli/DataFileArgs.h"

#include "core/files/DataFile.h"
#include "core/files/TextFile.h"
#include "render/ChartRender.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>

namespace {
// The drawing area must hold the plot rectangle and the text block.
constexpr int kMinWidth = 200;
constexpr int kMinHeight = 260;
constexpr int kMaxSide = 8000;

// The picture as PNG or as a landscape A4 PDF page, in memory: the file is
// then replaced in one step, so a failed write leaves the old one as it was.
std::optional<QByteArray> encodeOutput(bool pdf, const QImage &image)
{
    if (pdf) {
        QByteArray bytes = chartPdf(image, QStringLiteral("Gráfico - Plotar"), QStringLiteral("termohigrometro-cli"));
        return bytes.isEmpty() ? std::nullopt : std::optional<QByteArray>(bytes);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return std::nullopt;
    return bytes;
}

int run(const CliCommand &self, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("OUT"));
    const RecordRangeOptions rangeOpts;
    const QCommandLineOption sizeOpt(QStringLiteral("size"), {}, QStringLiteral("WxH"));
    parser.addOptions({output, rangeOpts.from, rangeOpts.to, sizeOpt});
    if (!parser.parse(QStringList{self.name} + args))
        return cliUsageError(err, self, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    if (const int code = oneDataFileArg(pos, self, err); code >= 0)
        return code;
    const QString target = parser.value(output);
    QString suffix;
    if (const int code = outputFileArg(target, {QStringLiteral("png"), QStringLiteral("pdf")}, self, err, &suffix);
        code >= 0)
        return code;

    FileChartPicture picture;
    if (parser.isSet(sizeOpt)) {
        const QStringList wh = parser.value(sizeOpt).toLower().split(QLatin1Char('x'));
        int w = 0, h = 0;
        if (wh.size() != 2 || !parseCount(wh[0], w) || !parseCount(wh[1], h) || w < kMinWidth || h < kMinHeight ||
            w > kMaxSide || h > kMaxSide)
            return cliUsageError(err, self,
                                 QStringLiteral("--size takes WxH in pixels, from %1x%2 to %3x%3")
                                     .arg(kMinWidth)
                                     .arg(kMinHeight)
                                     .arg(kMaxSide));
        picture.size = QSize(w, h);
    }
    RecordRange range;
    if (const int code = parseRecordRange(parser, rangeOpts, self, err, range); code >= 0)
        return code;

    DataFileContents file;
    if (const int code = readDataFileArg(self, pos[0], file, err); code >= 0)
        return code;
    QString error;
    const int count = int(file.records.size());
    if (const int code = fitRecordRange(range, count, self, err); code >= 0)
        return code;

    picture.celsius = file.celsius;
    picture.range = {range.from, range.to, range.to - range.from + 1};
    picture.name = file.name;
    picture.sector = file.sector;
    picture.company = file.company;
    const QVector<PlotRecord> records = readPlotRecords(
        count + 1, [&](int row, int column) { return file.records[row - 1].value(column); }, picture.range.from,
        picture.range.to);
    if (!parser.isSet(sizeOpt))
        picture = savedChartPicture(picture);
    const auto when = [&](int record) {
        const QStringList &row = file.records.value(record - 1);
        return QStringLiteral("%1 %2").arg(row.value(1), row.value(2)).trimmed();
    };
    const QString title = records.isEmpty()
                              ? QFileInfo(pos[0]).fileName()
                              : chartTitle(QFileInfo(pos[0]).fileName(), picture.range.from, picture.range.to,
                                           when(picture.range.from), when(picture.range.to));
    const QImage image = withTitle(renderFileChart(picture, records), title, picture.dpi);
    const auto bytes = encodeOutput(suffix == QLatin1String("pdf"), image);
    if (!bytes) {
        err << "termohigrometro-cli plot: " << target << ": cannot encode the image\n";
        return cliexit::Failure;
    }
    if (!writeFileAtomically(target, *bytes, &error, integrity::WrittenFile::Exported)) {
        err << "termohigrometro-cli plot: " << error << "\n";
        return cliexit::Failure;
    }
    out << target << ": " << records.size() << " records";
    if (!records.isEmpty())
        out << " (" << picture.range.from << ".." << picture.range.to << ")";
    out << ", " << image.width() << "x" << image.height() << " pixels, " << (file.celsius ? "°C" : "°F") << "\n";
    return cliexit::Ok;
}

const CliCommand kCommand{
    QStringLiteral("plot"), QStringLiteral("draws the chart of a data file (.dlf) into a PNG or PDF"),
    QStringLiteral("termohigrometro-cli plot FILE.dlf -o OUT.png|OUT.pdf [--from N] [--to M] [--size WxH]\n"
                   "\n"
                   "Draws the file chart of the panel's \"Plotar\" window: temperature (black), dew point\n"
                   "(red), wet bulb (green) and relative humidity (blue) of the records N to M, against\n"
                   "the default scales (-20 to 60 °C, -4 to 140 °F, 0 to 100 %), with the times of the\n"
                   "first record and of every fifth of the range under the axis. The file's name, sector\n"
                   "and company are written under the chart when it has any; a title line above it\n"
                   "names the file, the records and their period. No display is needed.\n"
                   "\n"
                   "  -o OUT.png|OUT.pdf  the image (PNG) or a landscape A4 page (PDF) filled with it\n"
                   "                      (replaced)\n"
                   "  --from N            first record (default 1)\n"
                   "  --to M              last record (default the file's last)\n"
                   "  --size WxH          drawing area in pixels at 96 dpi (200x260 to 8000x8000); by\n"
                   "                      default the window's layout enlarged to 1600 pixels wide"),
    [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); }, true};

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
