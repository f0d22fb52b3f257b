// The three list windows driven without a main window: live rows in both
// units, the scrolling rule, saving (exact bytes, refusal, failure), opening
// a data file, printing to PDF, the automatic dump and the logger data list.
#include "support/TestApp.h"

#include "core/files/DataFile.h"
#include "core/files/Report.h"
#include "ui/common/Commands.h"
#include "ui/lists/DataList.h"
#include "ui/lists/FileList.h"
#include "ui/lists/List.h"
#include "ui/lists/ListOps.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <QTimer>
#include <QToolBar>
#include <algorithm>

namespace {

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The °C and °F sample lines of reading n (what the sampling step passes).
QString cLine(int n)
{
    return QStringLiteral("08/12/2026\t10:%1:%2\t%3.5\t12.1\t16.4\t48.2")
        .arg((n / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(n % 60, 2, 10, QLatin1Char('0'))
        .arg(20 + n % 10);
}
QString fLine(int n)
{
    return QStringLiteral("08/12/2026\t10:%1:%2\t%3.9\t53.7\t61.5\t48.2")
        .arg((n / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(n % 60, 2, 10, QLatin1Char('0'))
        .arg(68 + n % 10);
}

// The printed lines of a PDF, read back with the position of every word, and
// compared with the expected report lines: the same words, each at the
// character column it has in the expected line (a fixed-pitch layout).
struct PdfWord {
    double x = 0;
    double width = 0;
    QString text;
};

QList<QList<PdfWord>> pdfWordLines(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression re(QStringLiteral(
        R"re(<page |<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>)re"));
    struct Placed {
        int page;
        double y;
        PdfWord word;
    };
    QList<Placed> words;
    int page = -1;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        QString text = m.captured(4);
        text.replace(QLatin1String("&amp;"), QLatin1String("&"))
            .replace(QLatin1String("&lt;"), QLatin1String("<"))
            .replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&quot;"), QLatin1String("\""));
        const double x0 = m.captured(1).toDouble();
        words.append({page, m.captured(2).toDouble(), {x0, m.captured(3).toDouble() - x0, text}});
    }
    // pdftotext lists words by text blocks; put them back in reading order.
    std::stable_sort(words.begin(), words.end(), [](const Placed &a, const Placed &b) {
        if (a.page != b.page)
            return a.page < b.page;
        if (qAbs(a.y - b.y) > 1.0)
            return a.y < b.y;
        return a.word.x < b.word.x;
    });
    QList<QList<PdfWord>> lines;
    for (int i = 0; i < words.size(); ++i) {
        if (i == 0 || words[i].page != words[i - 1].page || qAbs(words[i].y - words[i - 1].y) > 1.0)
            lines.append(QList<PdfWord>());
        lines.last().append(words[i].word);
    }
    return lines;
}

// Empty when the PDF holds exactly `expected`, else what differs.
QString comparePdfReport(const QString &pdf, const QStringList &expected)
{
    const QList<QList<PdfWord>> got = pdfWordLines(pdf);
    QList<QList<QPair<int, QString>>> want;
    for (const QString &line : expected) {
        QList<QPair<int, QString>> words;
        for (int i = 0; i < line.size();) {
            if (line.at(i) == QLatin1Char(' ')) {
                ++i;
                continue;
            }
            int j = i;
            while (j < line.size() && line.at(j) != QLatin1Char(' '))
                ++j;
            words.append({i, line.mid(i, j - i)});
            i = j;
        }
        if (!words.isEmpty())
            want.append(words);
    }
    if (got.size() != want.size())
        return QStringLiteral("%1 lines printed, %2 expected").arg(got.size()).arg(want.size());
    // One character's advance and the left edge, from the first word.
    const PdfWord &first = got.first().first();
    const double advance = first.width / first.text.size();
    const double left = first.x - want.first().first().first * advance;
    for (int l = 0; l < want.size(); ++l) {
        if (got[l].size() != want[l].size())
            return QStringLiteral("line %1: %2 words, %3 expected").arg(l).arg(got[l].size()).arg(want[l].size());
        for (int w = 0; w < want[l].size(); ++w) {
            const PdfWord &g = got[l][w];
            if (g.text != want[l][w].second)
                return QStringLiteral("line %1: '%2' instead of '%3'").arg(l).arg(g.text, want[l][w].second);
            const double column = (g.x - left) / advance;
            if (qAbs(column - want[l][w].first) > 0.3)
                return QStringLiteral("line %1: '%2' at column %3, expected %4")
                    .arg(l)
                    .arg(g.text)
                    .arg(column)
                    .arg(want[l][w].first);
        }
    }
    return {};
}

// Keeps a picture of the window (and copies of printed files) when
// TH_SCREENSHOT_DIR is set, to look at them.
void keepFile(const QString &path, const QString &name)
{
    const QString dir = qEnvironmentVariable("TH_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        QFile::remove(dir + QLatin1Char('/') + name);
        QFile::copy(path, dir + QLatin1Char('/') + name);
    }
}

void click(ListWindow *w, const char *key)
{
    QAction *a = w->button(QLatin1String(key));
    QVERIFY2(a, key);
    a->trigger();
}

} // namespace

class TstLists : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    App &app() { return *t->app; }
    SharedState &state() { return app().state(); }
    List *liveList() { return qobject_cast<List *>(app().liveList.data()); }
    FileList *fileList() { return qobject_cast<FileList *>(app().fileList.data()); }

    // Appends n live rows numbered from the list's counter on.
    void feed(int n)
    {
        for (int i = 0; i < n; ++i) {
            const int k = state().ListRowCount + 1;
            commands::appendLiveRow(app(), cLine(k), fLine(k));
        }
    }

private slots:
    void init()
    {
        t = std::make_unique<TestApp>();
        state().CelsiusDisplay = true;
    }
    void cleanup()
    {
        deleteTopLevelWindows();
        t.reset();
    }

    void layoutOfAFreshList()
    {
        commands::openLiveList(app());
        List *w = liveList();
        QVERIFY(w);
        QVERIFY(state().ListOpen);
        QCOMPARE(w->windowTitle(), QStringLiteral("Lista - Tempo real"));
        for (const char *name :
             {"Toolbar1", "TxtName", "TxtSector", "TxtCompany", "LblName", "LblSector", "LblCompany", "GridC", "GridF"})
            QVERIFY2(w->findChild<QWidget *>(QLatin1String(name)), name);
        QCOMPARE(w->LblName->text(), QStringLiteral("Nome:"));
        QCOMPARE(w->LblCompany->text(), QStringLiteral("Empresa:"));
        QStringList keys, tips;
        for (QAction *a : w->Toolbar1->actions()) {
            keys << a->data().toString();
            tips << a->toolTip();
        }
        // The list's own buttons first, in their order; the statistics window's, the report's and the export's
        // come after them.
        QCOMPARE(keys, (QStringList{"Save", "Print", "CF", "Stats", "Report", "Export"}));
        QCOMPARE(tips, (QStringList{"Salvar como", "Imprimir", "Celsius/Fahrenheit", "Estatísticas", "Relatório",
                                    "Exportar CSV"}));

        for (Grid *g : {w->GridC, w->GridF}) {
            QCOMPARE(g->rows(), 1);
            QCOMPARE(g->cols(), 7);
            QCOMPARE(g->topRow(), 1);
            const QFontMetrics fm(g->font());
            // Every column holds its sample text and its heading whole.
            for (int c = 0; c < 7; ++c) {
                QVERIFY(g->colWidth(c) >= fm.horizontalAdvance(ListWindow::columnSamples().at(c)));
                QVERIFY2(g->colWidth(c) > fm.horizontalAdvance(g->textMatrix(0, c)), qPrintable(g->textMatrix(0, c)));
            }
            QVERIFY(g->colWidth(0) > fm.horizontalAdvance(QStringLiteral("000000")));
        }
        QCOMPARE(w->GridC->textMatrix(0, 3), QStringLiteral("°C"));
        QCOMPARE(w->GridF->textMatrix(0, 4), QStringLiteral("Orvalho(°F)"));
        QCOMPARE(w->GridC->textMatrix(0, 5), QStringLiteral("Úmido(°C)"));
        QVERIFY(!w->GridC->isHidden() && w->GridF->isHidden());

        // A second "List" changes nothing.
        commands::openLiveList(app());
        QCOMPARE(liveList(), w);
    }

    void liveRowsInBothUnitsAndCF()
    {
        state().CelsiusDisplay = false;
        commands::openLiveList(app());
        List *w = liveList();
        QVERIFY(!state().ListUnitCelsius);
        QVERIFY(w->GridC->isHidden() && !w->GridF->isHidden());
        feed(3);
        click(w, "CF");
        QVERIFY(state().ListUnitCelsius);
        QVERIFY(!w->GridC->isHidden() && w->GridF->isHidden());
        feed(2);
        for (int r = 1; r <= 5; ++r) {
            QCOMPARE(w->GridC->gridModel()->line(r), QString::number(r) + QLatin1Char('\t') + cLine(r));
            QCOMPARE(w->GridF->gridModel()->line(r), QString::number(r) + QLatin1Char('\t') + fLine(r));
        }
        QCOMPARE(state().ListRowCount, 5);
        click(w, "CF");
        QVERIFY(w->GridC->isHidden() && !w->GridF->isHidden());

        // Closing and reopening restarts the numbering.
        commands::closeLiveList(app());
        QVERIFY(!state().ListOpen);
        QTRY_VERIFY_WITH_TIMEOUT(!app().liveList, 10000);
        commands::openLiveList(app());
        feed(1);
        QCOMPARE(liveList()->GridC->textMatrix(1, 0), QStringLiteral("1"));
        // Rows beyond the seventh field are dropped, missing fields left empty.
        liveList()->GridC->addItem(QStringLiteral("a\tb\tc\td\te\tf\tg\th\ti"));
        liveList()->GridC->addItem(QStringLiteral("x\ty"));
        QCOMPARE(liveList()->GridC->gridModel()->cells(2), (QStringList{"a", "b", "c", "d", "e", "f", "g"}));
        QCOMPARE(liveList()->GridC->gridModel()->cells(3), (QStringList{"x", "y", "", "", "", "", ""}));
    }

    void scrollingKeepsTheNewestRowInView()
    {
        commands::openLiveList(app());
        List *w = liveList();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        feed(16);
        QCOMPARE(w->GridC->topRow(), 1);
        QCOMPARE(w->GridF->topRow(), 1);
        int top = 1;
        for (int i = 0; i < 30; ++i) {
            feed(1);
            const int now = w->GridC->topRow();
            QVERIFY(now == top || now == top + 1);
            top = now;
            const QRect last = w->GridC->visualRect(w->GridC->model()->index(w->GridC->rows() - 2, 0));
            QVERIFY2(w->GridC->viewport()->rect().contains(last.center()), "newest row out of view");
        }
        QVERIFY(top > 1);
        QCOMPARE(w->GridF->topRow(), top);
    }

    void saveWritesTheExactBytesAndOpenReadsThemBack()
    {
        commands::openLiveList(app());
        List *w = liveList();
        feed(2);
        const QString path = t->path(QStringLiteral("lista.dlf"));
        t->prompts->answerFile(path);
        click(w, "Save");
        QVERIFY(!state().FileChosen);
        QCOMPARE(state().RecordFilePath, path);
        const QByteArray expected = QByteArray("*\r\n*\r\n*\r\n") +
                                    "N\xB0\tData\tHora\t\xB0"
                                    "C\tOrvalho(\xB0"
                                    "C)\t\xDAmido(\xB0"
                                    "C)\tUR%\t\r\n" +
                                    "1\t" + cLine(1).toLatin1() + "\t\r\n" + "2\t" + cLine(2).toLatin1() + "\t\r\n";
        QCOMPARE(readAll(path), expected);
        QCOMPARE(w->windowTitle(), QStringLiteral("Lista - Tempo real"));

        // Only the sector: empty first and third lines.
        w->TxtSector->setText(QStringLiteral("Câmara fria"));
        click(w, "CF");
        t->prompts->answerFile(path);
        click(w, "Save");
        const QByteArray withSector = readAll(path);
        QVERIFY(withSector.startsWith("\r\nC\xE2mara fria\r\n\r\nN\xB0\tData\tHora\t\xB0"
                                      "F\t"));
        QVERIFY(withSector.endsWith("2\t" + fLine(2).toLatin1() + "\t\r\n"));

        // Opening it lists the °F records with the sector text.
        t->prompts->answerFile(path);
        commands::openDataFile(app());
        QPointer<FileList> f = fileList();
        QVERIFY(f);
        QVERIFY(state().FileListOpen);
        QCOMPARE(f->windowTitle(), QStringLiteral("lista.dlf"));
        QVERIFY(!state().FileUnitCelsius);
        QVERIFY(f->GridC->isHidden() && !f->GridF->isHidden());
        QCOMPARE(f->GridC->rows(), 1);
        QCOMPARE(f->GridF->rows(), 3);
        QCOMPARE(f->GridF->gridModel()->line(2), QStringLiteral("2\t") + fLine(2));
        QVERIFY(f->TxtName->text().isEmpty());
        QCOMPARE(f->TxtSector->text(), QStringLiteral("Câmara fria"));
        snapshot(f, QStringLiteral("file-list"));
        QCOMPARE(commands::fileListGrid(app()), static_cast<const GridSource *>(f->GridF));
        QCOMPARE(commands::fileListGrid(app())->cell(1, 3), QStringLiteral("69.9"));

        // A second file replaces the first window and its records.
        const QString rec = t->path(QStringLiteral("rec.dlf"));
        QVERIFY(writeAll(rec, recordingFileStart(true) + "1\t08/12/2026\t23:59:59\t21.0\t10.0\t15.0\t50.0\r\n"));
        t->prompts->answerFile(rec);
        commands::openDataFile(app());
        QVERIFY(fileList() != f);
        QVERIFY(state().FileListOpen);
        QVERIFY(state().FileUnitCelsius);
        QCOMPARE(fileList()->GridC->rows(), 2);
        QCOMPARE(fileList()->GridF->rows(), 1);
        QString name, sector, company;
        commands::fileListTexts(app(), name, sector, company);
        QVERIFY(name.isEmpty() && sector.isEmpty() && company.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!f, 10000);
    }

    void refusalsCancelAndFailures()
    {
        commands::openLiveList(app());
        List *w = liveList();
        feed(1);
        state().PcRecording = true;
        click(w, "Save");
        commands::openDataFile(app());
        QCOMPARE(t->prompts->messages(), (QStringList{texts::kRecordingRefusal, texts::kRecordingRefusal}));
        QCOMPARE(t->prompts->shown.size(), 2); // no file dialog
        QCOMPARE(t->prompts->shown.at(0).title, texts::kTitle);
        QVERIFY(!app().fileList);
        state().PcRecording = false;

        // A cancelled dialog writes nothing, even to a name chosen before.
        const QString old = t->path(QStringLiteral("old.dlf"));
        QVERIFY(writeAll(old, "keep"));
        state().RecordFilePath = old;
        state().FileChosen = true;
        click(w, "Save");
        QCOMPARE(readAll(old), QByteArray("keep"));
        commands::openDataFile(app());
        QVERIFY(!app().fileList);

        // A file that cannot be written: the message, and nothing claimed.
        const QString dir = t->path(QStringLiteral("a-folder.dlf"));
        QVERIFY(QDir().mkpath(dir));
        t->prompts->answerFile(dir);
        click(w, "Save");
        QVERIFY(!state().FileChosen);
        QCOMPARE(t->prompts->shown.last().title, texts::kTitle);
        QVERIFY(t->prompts->shown.last().text.startsWith(QStringLiteral("Não foi possível gravar o arquivo")));
        QCOMPARE(w->windowTitle(), QStringLiteral("Lista - Tempo real"));

        // A file that cannot be read is reported; no empty list appears.
        t->prompts->answerFile(t->path(QStringLiteral("missing.dlf")));
        commands::openDataFile(app());
        QVERIFY(t->prompts->shown.last().text.startsWith(QStringLiteral("Não foi possível abrir o arquivo")));
        QVERIFY(!app().fileList);
        QVERIFY(!state().FileListOpen);
    }

    void closingWhileASaveDialogIsUp()
    {
        // The main window closes the live list when the link is lost; if that
        // happens while the list waits in its save dialog, the list is saved
        // and then closes.
        commands::openLiveList(app());
        QPointer<List> w = liveList();
        feed(2);
        t->prompts->onShown = [this](const ScriptedPrompts::Shown &shown) {
            if (shown.kind != QLatin1String("save"))
                return;
            // A real dialog runs its own event loop; the close comes from a
            // timer of the main window while it does.
            QEventLoop dialog;
            QTimer::singleShot(0, &dialog, [this] { commands::closeLiveList(app()); });
            QTimer::singleShot(100, &dialog, &QEventLoop::quit);
            dialog.exec();
        };
        const QString path = t->path(QStringLiteral("fechada.dlf"));
        t->prompts->answerFile(path);
        click(w, "Save");
        t->prompts->onShown = {};
        QVERIFY(!state().ListOpen);
        QVERIFY(readAll(path).endsWith("2\t" + cLine(2).toLatin1() + "\t\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!w, 10000);
        // A list opened meanwhile stays open when the old one goes.
        commands::openLiveList(app());
        QVERIFY(state().ListOpen);
    }

    void fileListEdgeCases()
    {
        // Headings only, "*" lines, no records.
        const QString empty = t->path(QStringLiteral("empty.dlf"));
        QVERIFY(writeAll(empty, recordingFileStart(false)));
        t->prompts->answerFile(empty);
        commands::openDataFile(app());
        QCOMPARE(fileList()->GridF->rows(), 1);
        QVERIFY(fileList()->TxtName->text().isEmpty());
        // Fewer than four lines: no unit decision, the grid shown stays the
        // one Print and Plot use.
        const QString two = t->path(QStringLiteral("two.dlf"));
        QVERIFY(writeAll(two, "Nome\r\nSetor"));
        state().ListUnitCelsius = true;
        t->prompts->answerFile(two);
        commands::openDataFile(app());
        QCOMPARE(fileList()->TxtName->text(), QStringLiteral("Nome"));
        QCOMPARE(fileList()->TxtSector->text(), QStringLiteral("Setor"));
        QCOMPARE(fileList()->visibleGrid(), fileList()->unitGrid());
        // Any bytes at all give rows or nothing, never a crash.
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk.append(char((i * 7919) % 256));
        const QString bad = t->path(QStringLiteral("junk.dlf"));
        QVERIFY(writeAll(bad, junk));
        t->prompts->answerFile(bad);
        commands::openDataFile(app());
        QVERIFY(fileList());
        QCOMPARE(fileList()->windowTitle(), QStringLiteral("junk.dlf"));
    }

    void printingToPdf()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        commands::openLiveList(app());
        List *w = liveList();
        feed(200); // three pages
        w->TxtName->setText(QStringLiteral("João"));
        w->TxtCompany->setText(QStringLiteral("ACME Ltda."));
        click(w, "Print");
        QCOMPARE(t->printer->printedFiles().size(), 1);
        keepFile(t->printer->printedFiles().first(), QStringLiteral("live-list-report.pdf"));
        snapshot(w, QStringLiteral("live-list"));
        QVector<QStringList> rows;
        for (int r = 0; r < w->GridC->rows(); ++r)
            rows << w->GridC->gridModel()->cells(r);
        const QStringList expected = reportLines(w->name(), w->sector(), w->company(), rows);
        QCOMPARE(comparePdfReport(t->printer->printedFiles().first(), expected), QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Lista - Tempo real"));

        // The logger data list prints the name window's block first.
        QWidget addText;
        for (const char *n : {"TxtName", "TxtSector", "TxtCompany"}) {
            auto *e = new QLineEdit(&addText);
            e->setObjectName(QLatin1String(n));
            e->setText(QLatin1String(n).mid(3));
        }
        app().addText = &addText;
        state().AddTextOpen = true;
        DataList *d = reopenDataList(app());
        d->GridC->addItem(QStringLiteral("1\t") + cLine(1));
        d->GridF->addItem(QStringLiteral("1\t") + fLine(1));
        click(d, "CF");
        click(d, "Print");
        QCOMPARE(t->printer->printedFiles().size(), 2);
        keepFile(t->printer->printedFiles().at(1), QStringLiteral("data-list-report.pdf"));
        snapshot(d, QStringLiteral("data-list"));
        QStringList withBlock{" -", " -", " -", " -          Name", " -          Sector", " -          Company"};
        withBlock += reportLines({}, {}, {}, {d->GridF->gridModel()->cells(0), d->GridF->gridModel()->cells(1)});
        QCOMPARE(comparePdfReport(t->printer->printedFiles().at(1), withBlock), QString());

        // After "CF", "Save" takes the grid now shown.
        const QString path = t->path(QStringLiteral("dados.dlf"));
        t->prompts->answerFile(path);
        click(d, "Save");
        QVERIFY(readAll(path).contains("1\t" + fLine(1).toLatin1() + "\t\r\n"));
        app().addText = nullptr;
    }

    void automaticDumpEvery48000Rows()
    {
        commands::openLiveList(app());
        List *w = liveList();
        w->TxtName->setText(QStringLiteral("Estufa"));
        feed(kRecordsPerFile - 1);
        QCOMPARE(w->GridC->rows(), kRecordsPerFile);
        feed(1);
        const QString dump = QDir(app().autoDumpFolder()).filePath(QStringLiteral("1208100000.dlf"));
        QCOMPARE(w->lastDumpFile(), dump);
        QCOMPARE(state().ListSplitNo, 1);
        QVERIFY(state().ListOpen);
        QCOMPARE(w->GridC->rows(), 1);
        QCOMPARE(w->GridF->rows(), 1);
        QVERIFY(!w->LblDump->isHidden());
        const QByteArray bytes = readAll(dump);
        QVERIFY(bytes.startsWith("Estufa\r\n\r\n\r\nN\xB0\t"));
        QVERIFY(bytes.endsWith("48000\t" + cLine(48000).toLatin1() + "\t\r\n"));
        QCOMPARE(bytes.count("\r\n"), 4 + kRecordsPerFile);
        // The numbering carries on in the emptied list, texts kept.
        feed(1);
        QCOMPARE(w->GridC->textMatrix(1, 0), QStringLiteral("48001"));
        QCOMPARE(w->TxtName->text(), QStringLiteral("Estufa"));
    }
};

QTEST_MAIN(TstLists)
#include "tst_lists.moc"
