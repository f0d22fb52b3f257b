#include "support/CliRun.h"

#include "core/charts/ChartDrawing.h"
#include "render/ChartRender.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Result = CliResult;

Result cli(const QStringList &args)
{
    // No display: the command must not need one.
    return runCli(QStringList{QStringLiteral("plot")} + args, 60000, environmentWithoutDisplay());
}

// Ten records of a °C recording file, with overloads.
QByteArray tenRecords(const QByteArray &header = "*\r\n*\r\n*\r\n")
{
    QByteArray b = header + "N\xb0\tData\tHora\t\xb0"
                            "C\tOrvalho(\xb0"
                            "C)\t\xdamido(\xb0"
                            "C)\tUR%\r\n";
    for (int i = 1; i <= 10; ++i) {
        QByteArray t = QByteArray::number(18 + i) + ".5";
        if (i == 4)
            t = "OL";
        QByteArray dew = i == 7 ? QByteArray("-OL") : QByteArray::number(8 + i) + ".0";
        b += QByteArray::number(i) + "\t08/12/2026\t10:0" + QByteArray::number(i - 1) + ":00\t" + t + "\t" + dew +
             "\t" + QByteArray::number(12 + i) + ".0\t" + QByteArray::number(40 + 4 * i) + ".0\r\n";
    }
    return b;
}

// Pixel by pixel (a PNG read back carries a colour space the drawn image has not).
bool samePixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return f.fileName();
}
} // namespace

class TestCliPlot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set"); }

    void pngIsTheFileChart()
    {
        QTemporaryDir dir;
        const QString data = write(dir, QStringLiteral("ten.dlf"), tenRecords());
        const QString png = dir.filePath(QStringLiteral("ten.png"));
        Result r = cli({data, QStringLiteral("-o"), png});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("10 records (1..10)")), qPrintable(r.out));
        QImage img(png);
        // The window's layout enlarged to a size worth keeping, a title line above.
        QCOMPARE(img.width(), kSavedChartWidth);
        QVERIFY(img.height() > savedChartPicture(FileChartPicture()).size.height());

        // The same drawing code, in this process.
        QVector<QStringList> rows;
        const QList<QByteArray> lines = tenRecords().split('\n').mid(4);
        for (const QByteArray &l : lines)
            if (!l.trimmed().isEmpty())
                rows.append(QString::fromLatin1(l.trimmed()).split(QLatin1Char('\t')));
        FileChartPicture p;
        p.range = {1, 10, 10};
        auto records = [&](int from, int to) {
            return readPlotRecords(
                int(rows.size()) + 1, [&](int row, int col) { return rows[row - 1].value(col); }, from, to);
        };
        const auto title = [&](int from, int to) {
            return chartTitle(QStringLiteral("ten.dlf"), from, to, rows[from - 1][1] + ' ' + rows[from - 1][2],
                              rows[to - 1][1] + ' ' + rows[to - 1][2]);
        };
        QVERIFY(title(1, 10).startsWith(QStringLiteral("ten.dlf — registros 1 a 10 — ")));
        const FileChartPicture big = savedChartPicture(p);
        QVERIFY(samePixels(img, withTitle(renderFileChart(big, records(1, 10)), title(1, 10), big.dpi)));

        // A range and another size.
        r = cli({data, QStringLiteral("-o"), png, QStringLiteral("--from"), QStringLiteral("3"), QStringLiteral("--to"),
                 QStringLiteral("8"), QStringLiteral("--size"), QStringLiteral("640x480")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("6 records (3..8)")), qPrintable(r.out));
        QCOMPARE(QImage(png).width(), 640);
        p.size = QSize(640, 480);
        p.range = {3, 8, 6};
        QVERIFY(samePixels(QImage(png), withTitle(renderFileChart(p, records(3, 8)), title(3, 8), 96)));
    }

    void pdfAndTextBlock()
    {
        QTemporaryDir dir;
        const QString data = write(dir, QStringLiteral("named.dlf"), tenRecords("Sala 3\r\n\r\nACME\r\n"));
        const QString pdf = dir.filePath(QStringLiteral("named.pdf"));
        Result r = cli({data, QStringLiteral("-o"), pdf});
        QCOMPARE(r.code, 0);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("%PDF"));
        // One landscape page that the chart fills, not a corner of it.
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY(info.waitForFinished(30000));
        QVERIFY2(info.readAllStandardOutput().contains("842 x 595 pts (A4)"), "not a landscape A4 page");
        QProcess raster;
        raster.start(QStringLiteral("pdftoppm"),
                     {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
                      pdf, dir.filePath(QStringLiteral("page"))});
        QVERIFY(raster.waitForFinished(30000));
        const QImage page = QImage(dir.filePath(QStringLiteral("page.png"))).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!page.isNull());
        QRect inked;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128)
                    inked |= QRect(x, y, 1, 1);
        QVERIFY2(inked.width() > page.width() * 3 / 4 && inked.height() > page.height() / 2,
                 "the chart does not fill the page");

        // The texts show below the chart; a file without texts has none there.
        const QString named = dir.filePath(QStringLiteral("named.png"));
        const QString plain = dir.filePath(QStringLiteral("plain.png"));
        const QStringList size = {QStringLiteral("--size"), QStringLiteral("392x364")};
        QCOMPARE(cli(QStringList{data, QStringLiteral("-o"), named} + size).code, 0);
        QCOMPARE(
            cli(QStringList{write(dir, QStringLiteral("plain.dlf"), tenRecords()), QStringLiteral("-o"), plain} + size)
                .code,
            0);
        const QImage a(named), b(plain);
        const int band = a.height() - 364; // the title line
        const QRect block(0, band + 364 - 100, 392, 100);
        QVERIFY(a.copy(block) != b.copy(block));
        QVERIFY(a.copy(0, band, 392, 230) == b.copy(0, band, 392, 230));
    }

    void emptyFileGivesTheFrame()
    {
        QTemporaryDir dir;
        const QString data = write(dir, QStringLiteral("empty.dlf"), tenRecords().left(tenRecords().indexOf("1\t08")));
        const QString png = dir.filePath(QStringLiteral("empty.png"));
        Result r = cli({data, QStringLiteral("-o"), png});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("0 records")), qPrintable(r.out));
        QImage img = QImage(png).convertToFormat(QImage::Format_RGB32);
        // The left axis crosses the middle of the picture in its left third.
        bool axis = false;
        for (int x = 0; x < img.width() / 3 && !axis; ++x)
            axis = img.pixel(x, img.height() / 2) == qRgb(0, 0, 0);
        QVERIFY(axis);
        // A range cannot be asked of a file without records.
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--from"), QStringLiteral("1")}).code, 2);
    }

    // A first run on a bare machine (no runtime folder, no display) says
    // nothing on stderr when all goes well.
    void drawingCommandsAreQuiet()
    {
        QTemporaryDir dir;
        const QString data = write(dir, QStringLiteral("ten.dlf"), tenRecords());
        QProcessEnvironment env = environmentWithoutDisplay();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        for (const QStringList &args :
             {QStringList{QStringLiteral("plot"), data, QStringLiteral("-o"), dir.filePath(QStringLiteral("c.png"))},
              QStringList{QStringLiteral("report"), data, QStringLiteral("-o"), dir.filePath(QStringLiteral("r.pdf"))},
              QStringList{QStringLiteral("stats"), data}}) {
            const Result r = runCli(args, 60000, env);
            QCOMPARE(r.code, 0);
            QVERIFY2(r.err.isEmpty(), qPrintable(args.first() + QStringLiteral(": ") + r.err));
        }
    }

    void refusals()
    {
        QTemporaryDir dir;
        const QString data = write(dir, QStringLiteral("ten.dlf"), tenRecords());
        const QString png = dir.filePath(QStringLiteral("x.png"));
        QCOMPARE(cli({data}).code, 2);
        QCOMPARE(cli({QStringLiteral("-o"), png}).code, 2);
        QCOMPARE(cli({data, QStringLiteral("-o"), dir.filePath(QStringLiteral("x.jpg"))}).code, 2);
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--from"), QStringLiteral("0")}).code, 2);
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--to"), QStringLiteral("11")}).code, 2);
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--from"), QStringLiteral("6"),
                      QStringLiteral("--to"), QStringLiteral("5")})
                     .code,
                 2);
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--from"), QStringLiteral("x")}).code, 2);
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--size"), QStringLiteral("10x10")}).code, 2);
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--size"), QStringLiteral("400")}).code, 2);
        QVERIFY(!QFile::exists(png));
        Result r = cli({dir.filePath(QStringLiteral("missing.dlf")), QStringLiteral("-o"), png});
        QCOMPARE(r.code, 1);
        QVERIFY(!r.err.isEmpty());
        r = cli({data, QStringLiteral("-o"), dir.filePath(QStringLiteral("no/such/folder/x.png"))});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("x.png")));
        // One record alone is a range.
        QCOMPARE(cli({data, QStringLiteral("-o"), png, QStringLiteral("--from"), QStringLiteral("4"),
                      QStringLiteral("--to"), QStringLiteral("4")})
                     .code,
                 0);
    }
};

QTEST_MAIN(TestCliPlot)
#include "tst_cli_plot.moc"
