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

// The picture as PNG or as an A4 PDF page, in memory: the file is then
// replaced in one step, so a failed write leaves the old one as it was.
std::optional<QByteArray> encodeOutput(bool pdf, const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (pdf) {
        QPdfWriter writer(&buffer);
        writer.setTitle(QStringLiteral("Gráfico - Plotar"));
        writer.setCreator(QStringLiteral("termohigrometro-cli"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(600);
        paintChartPage(writer, image, 96);
    } else if (!image.save(&buffer, "PNG")) {
        return std::nullopt;
    }
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
    if (target.isEmpty())
        return cliUsageError(err, self, QStringLiteral("-o OUT.png or -o OUT.pdf is required"));
    const QString suffix = QFileInfo(target).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("pdf"))
        return cliUsageError(err, self, QStringLiteral("the output must end in .png or .pdf"));

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
    const QImage image = renderFileChart(picture, records);
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
    out << ", " << picture.size.width() << "x" << picture.size.height() << " pixels, " << (file.celsius ? "°C" : "°F")
        << "\n";
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
                   "and company are written under the chart when it has any. No display is needed.\n"
                   "\n"
                   "  -o OUT.png|OUT.pdf  the image (PNG) or an A4 page (PDF) to write (replaced)\n"
                   "  --from N            first record (default 1)\n"
                   "  --to M              last record (default the file's last)\n"
                   "  --size WxH          drawing area in pixels at 96 dpi (default 392x364, the\n"
                   "                      window's design size; 200x260 to 8000x8000)"),
    [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); }, true};

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
