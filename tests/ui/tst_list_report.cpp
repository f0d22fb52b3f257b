// "Relatório" of the list windows: the full report of the rows a list shows,
// through the print seam (a PDF file in place of the preview), read back.
#include "support/Outputs.h"
#include "support/TestApp.h"

#include "core/files/DataFile.h"
#include "ui/lists/DataList.h"
#include "ui/lists/FileList.h"
#include "ui/lists/List.h"
#include "ui/lists/StatsWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {
// The words of a line of the report, by their first words.
QString lineStarting(const QString &text, const QString &start)
{
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString words = line.simplified();
        if (words.startsWith(start))
            return words;
    }
    return QStringLiteral("(no line %1)").arg(start);
}
} // namespace

class TstListReport : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
    }

    void fileListWithTheLimitsOfItsStatistics()
    {
        TestApp t;
        auto *file = new FileList(*t.app, nullptr);
        const QByteArray bytes = gridDumpBytes(QStringLiteral("Câmara 3"), QStringLiteral("Vacinas"), {},
                                               {dataFileHeadings(true),
                                                {"1", "30/06/2026", "23:40:00", "4.0", "1.0", "2.5", "60.0"},
                                                {"2", "30/06/2026", "23:50:00", "9.5", "OL", "", "75.5"},
                                                {"3", "01/07/2026", "00:00:00", "6.0", "----.0", "3.9", "80.0"}});
        file->loadData(bytes, QStringLiteral("camara.dlf"));
        file->show();
        StatsWindow *stats = openStatsWindow(*file);
        stats->TxtHigh[size_t(Quantity::Temperature)]->setText(QStringLiteral("8"));
        stats->refresh();

        QVERIFY(file->button(QStringLiteral("Report")));
        QCOMPARE(file->button(QStringLiteral("Report"))->toolTip(), QStringLiteral("Relatório"));
        file->button(QStringLiteral("Report"))->trigger();
        QCOMPARE(t.printer->printedFiles().size(), 1);
        const QString text = pdfText(t.printer->printedFiles().at(0));
        QCOMPARE(lineStarting(text, "Nome:"), QStringLiteral("Nome: Câmara 3"));
        QCOMPARE(lineStarting(text, "Setor:"), QStringLiteral("Setor: Vacinas"));
        QCOMPARE(lineStarting(text, "Empresa:"), QStringLiteral("Empresa: —"));
        QCOMPARE(lineStarting(text, "Arquivo:"), QStringLiteral("Arquivo: camara.dlf"));
        QCOMPARE(lineStarting(text, "Período:"), QStringLiteral("Período: 30/06/2026 23:40:00 a 01/07/2026 00:00:00"));
        QCOMPARE(lineStarting(text, "Registros:"), QStringLiteral("Registros: 3"));
        QCOMPARE(lineStarting(text, "Média"), QStringLiteral("Média 6,5 °C 1,0 °C 3,2 °C 71,8 %"));
        // The 10 minutes of record 2 above the limit typed in the statistics window.
        QCOMPARE(lineStarting(text, "Acima do limite"), QStringLiteral("Acima do limite 1"));
        QCOMPARE(lineStarting(text, "Fora dos limites"), QStringLiteral("Fora dos limites 10 min 00 s"));
        QCOMPARE(lineStarting(text, "2 30/06/2026"), QStringLiteral("2 30/06/2026 23:50:00 9.5 OL 75.5"));
        // The time of the panel's clock, and the page count.
        QCOMPARE(lineStarting(text, "Emitido em"), QStringLiteral("Emitido em 08/12/2026 10:00:00 Página 1 de 2"));
        QVERIFY(!file->windowTitle().isEmpty());
        delete file;
    }

    void liveListAndLoggerListIntervals()
    {
        TestApp t;
        SharedState &s = t.app->state();
        s.ListUnitCelsius = false;
        s.PcSampleSeconds = 90;
        auto *live = new List(*t.app, nullptr);
        live->appendRow(QStringLiteral("08/12/2026\t10:00:00\t20.0\t12.1\t16.4\t48.2"),
                        QStringLiteral("08/12/2026\t10:00:00\t68.0\t53.7\t61.5\t48.2"));
        live->button(QStringLiteral("Report"))->trigger();

        s.logger.sets = {LoggerSet{600, 0, {}, false}};
        s.logger.selectedSet = 1;
        auto *data = new DataList(*t.app, nullptr);
        data->button(QStringLiteral("Report"))->trigger();

        const QStringList printed = t.printer->printedFiles();
        QCOMPARE(printed.size(), 2);
        const QString liveText = pdfText(printed.at(0));
        QCOMPARE(lineStarting(liveText, "Lista:"), QStringLiteral("Lista: Lista - Tempo real"));
        QCOMPARE(lineStarting(liveText, "Intervalo de amostragem:"),
                 QStringLiteral("Intervalo de amostragem: 1 min 30 s"));
        // In the unit the list shows.
        QCOMPARE(lineStarting(liveText, "1 08/12/2026"), QStringLiteral("1 08/12/2026 10:00:00 68.0 53.7 61.5 48.2"));
        const QString dataText = pdfText(printed.at(1));
        QCOMPARE(lineStarting(dataText, "Intervalo de amostragem:"),
                 QStringLiteral("Intervalo de amostragem: 10 min 00 s"));
        QCOMPARE(lineStarting(dataText, "Registros:"), QStringLiteral("Registros: 0"));
        QCOMPARE(lineStarting(dataText, "Nenhum"), QStringLiteral("Nenhum registro."));
        delete data;
        delete live;
    }
};

QTEST_MAIN(TstListReport)
#include "tst_list_report.moc"
