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
        QCOMPARE(img.size(), QSize(392, 364));

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
        QVERIFY(samePixels(img, renderFileChart(p, records(1, 10))));

        // A range and another size.
        r = cli({data, QStringLiteral("-o"), png, QStringLiteral("--from"), QStringLiteral("3"), QStringLiteral("--to"),
                 QStringLiteral("8"), QStringLiteral("--size"), QStringLiteral("640x480")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("6 records (3..8)")), qPrintable(r.out));
        QCOMPARE(QImage(png).size(), QSize(640, 480));
        p.size = QSize(640, 480);
        p.range = {3, 8, 6};
        QVERIFY(samePixels(QImage(png), renderFileChart(p, records(3, 8))));
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

        // The texts show below the chart; a file without texts has none there.
        const QString named = dir.filePath(QStringLiteral("named.png"));
        const QString plain = dir.filePath(QStringLiteral("plain.png"));
        QCOMPARE(cli({data, QStringLiteral("-o"), named}).code, 0);
        QCOMPARE(cli({write(dir, QStringLiteral("plain.dlf"), tenRecords()), QStringLiteral("-o"), plain}).code, 0);
        const QImage a(named), b(plain);
        const QRect block(0, 364 - 100, 392, 100);
        QVERIFY(a.copy(block) != b.copy(block));
        QVERIFY(a.copy(0, 0, 392, 230) == b.copy(0, 0, 392, 230));
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
        QCOMPARE(img.pixel(94, 150), qRgb(0, 0, 0)); // the left axis
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
