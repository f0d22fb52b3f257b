// "Exportar CSV" of the list windows: the visible rows, in the style chosen
// in the save dialog, as the bytes a spreadsheet or another program reads.
#include "support/TestApp.h"

#include "core/files/DataFile.h"
#include "ui/lists/FileList.h"
#include "ui/lists/List.h"
#include "ui/lists/ListExport.h"
#include "ui/lists/ListOps.h"

#include <QAction>
#include <QFile>
#include <QTest>

namespace {
const QLocale kPortuguese(QLocale::Portuguese, QLocale::Brazil);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

// Which entry of the dialog's filter is the plain style.
int plainIndex(const QLocale &locale)
{
    return csvExportFilter(locale).startsWith(QLatin1String("CSV simples")) ? 0 : 1;
}
} // namespace

class TstListExport : public QObject {
    Q_OBJECT
private slots:
    void fileListInBothStyles()
    {
        TestApp t;
        auto *file = new FileList(*t.app, nullptr);
        file->loadData(gridDumpBytes(QStringLiteral("Câmara 3"), {}, {},
                                     {dataFileHeadings(true),
                                      {"1", "30/06/2026", "23:40:00", "4.0", "1.0", "2.5", "60.0"},
                                      {"2", "30/06/2026", "23:50:00", "-OL", "OL", "----.0", "75.5"}}),
                       QStringLiteral("camara.dlf"));

        // A Portuguese system offers the spreadsheet style first, an English one the plain style.
        QVERIFY(csvExportFilter(kPortuguese).startsWith(QLatin1String("Planilha")));
        QVERIFY(csvExportFilter(kEnglish).startsWith(QLatin1String("CSV simples")));

        t.prompts->answerFile(t.path("planilha.csv"), 0);
        QVERIFY(exportListCsv(*file, kPortuguese));
        QCOMPARE(readAll(t.path("planilha.csv")),
                 QByteArray("\xEF\xBB\xBFN°;Data e hora;Temperatura (°C);Orvalho (°C);Úmido (°C);UR (%)\r\n"
                            "1;2026-06-30T23:40:00;4,0;1,0;2,5;60,0\r\n"
                            "2;2026-06-30T23:50:00;-OL;OL;;75,5\r\n"));

        file->show();
        snapshot(file, QStringLiteral("lista-exportar"));
        // The toolbar button, in the style of this machine's locale: the plain entry chosen.
        QCOMPARE(file->button(QStringLiteral("Export"))->toolTip(), QStringLiteral("Exportar CSV"));
        t.prompts->answerFile(t.path("simples.csv"), plainIndex(QLocale::system()));
        file->button(QStringLiteral("Export"))->trigger();
        QCOMPARE(t.prompts->shown.last().kind, QStringLiteral("save"));
        QCOMPARE(t.prompts->shown.last().text, csvExportFilter(QLocale::system()));
        QCOMPARE(readAll(t.path("simples.csv")),
                 QByteArray("N°,Data e hora,Temperatura (°C),Orvalho (°C),Úmido (°C),UR (%)\r\n"
                            "1,2026-06-30T23:40:00,4.0,1.0,2.5,60.0\r\n"
                            "2,2026-06-30T23:50:00,-OL,OL,,75.5\r\n"));
        delete file;
    }

    void liveListInItsUnitAndAWriteThatFails()
    {
        TestApp t;
        t.app->state().ListUnitCelsius = false;
        auto *live = new List(*t.app, nullptr);
        live->appendRow(QStringLiteral("08/12/2026\t10:00:00\t20.0\t12.1\t16.4\t48.2"),
                        QStringLiteral("08/12/2026\t10:00:00\t68.0\t53.7\t61.5\t48.2"));

        const QString nowhere = t.path("sem-pasta/lista.csv");
        t.prompts->answerFile(nowhere, plainIndex(kEnglish));
        QVERIFY(!exportListCsv(*live, kEnglish));
        QVERIFY(!QFile::exists(nowhere));
        QCOMPARE(t.prompts->messages().size(), 1);
        QVERIFY(t.prompts->messages().at(0).startsWith(listtexts::saveFailed({}).trimmed()));

        // A cancelled dialog writes nothing and says nothing.
        QVERIFY(!exportListCsv(*live, kEnglish));
        QCOMPARE(t.prompts->messages().size(), 1);

        t.prompts->answerFile(t.path("lista.csv"), plainIndex(kEnglish));
        QVERIFY(exportListCsv(*live, kEnglish));
        QCOMPARE(readAll(t.path("lista.csv")),
                 QByteArray("N°,Data e hora,Temperatura (°F),Orvalho (°F),Úmido (°F),UR (%)\r\n"
                            "1,2026-12-08T10:00:00,68.0,53.7,61.5,48.2\r\n"));
        delete live;
    }
};

QTEST_MAIN(TstListExport)
#include "tst_list_export.moc"
