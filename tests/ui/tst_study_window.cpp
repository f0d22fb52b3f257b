// The mapping study's window driven as a user drives it: files chosen in the
// (scripted) open dialog, dropped or sent from the file list, labels and
// limits typed, the table sorted, the report printed to PDF, the table
// exported, the chart read by its pixels and by the mouse readout.
#include "support/Outputs.h"
#include "support/TestApp.h"

#include "core/files/CsvFile.h"
#include "core/files/DataFile.h"
#include "render/OverlayChart.h"
#include "ui/common/Commands.h"
#include "ui/lists/FileList.h"
#include "ui/study/StudyChart.h"
#include "ui/study/StudyWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QUrl>

namespace {
const QDateTime kStart(QDate(2026, 6, 30), QTime(8, 0));

// A data file of records ten minutes apart from 08:00: each {temperature, humidity}.
QString writeLogger(const TestApp &t, const QString &name, bool celsius,
                    const QVector<std::pair<QString, QString>> &values, const QDateTime &start = kStart)
{
    QVector<QStringList> rows{dataFileHeadings(celsius)};
    for (int i = 0; i < values.size(); ++i) {
        const QDateTime at = start.addSecs(600LL * i);
        rows.append({QString::number(i + 1), at.toString(QStringLiteral("dd/MM/yyyy")),
                     at.toString(QStringLiteral("HH:mm:ss")), values[i].first, "0.0", "1.0", values[i].second});
    }
    const QString path = t.path(name);
    QFile f(path);
    const QByteArray bytes = gridDumpBytes(QStringLiteral("Câmara fria 2"), {}, {}, rows);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

QVector<std::pair<QString, QString>> temps(const QStringList &values, const QString &rh = QStringLiteral("60.0"))
{
    QVector<std::pair<QString, QString>> v;
    for (const QString &t : values)
        v.append({t, rh});
    return v;
}

// Three loggers of a cold room, one of them in °F: 5, 6, 9, 7, 5 °C.
struct ThreeLoggers {
    QString porta, fundo, teto;
    explicit ThreeLoggers(const TestApp &t)
        : porta(writeLogger(t, "porta.dlf", true, temps({"4.0", "5.0", "9.0", "6.0", "5.0"}))),
          fundo(writeLogger(t, "fundo.dlf", true, temps({"3.0", "1.0", "1.5", "4.0", "9.0"}))),
          teto(writeLogger(t, "teto.dlf", false, temps({"41.0", "42.8", "48.2", "44.6", "41.0"})))
    {
    }
};

// The row of the logger table holding `label`, -1 when none does.
int rowOf(const StudyWindow &w, const QString &label)
{
    for (int r = 0; r < w.GridLoggers->rowCount(); ++r)
        if (w.GridLoggers->item(r, StudyWindow::ColLabel)->text() == label)
            return r;
    return -1;
}

QStringList rowTexts(const StudyWindow &w, int row)
{
    QStringList out;
    for (int c = 0; c < StudyWindow::kColumns; ++c)
        out << w.GridLoggers->item(row, c)->text();
    return out;
}

QStringList labelColumn(const StudyWindow &w)
{
    QStringList out;
    for (int r = 0; r < w.GridLoggers->rowCount(); ++r)
        out << w.GridLoggers->item(r, StudyWindow::ColLabel)->text();
    return out;
}

// A study window with the three loggers added through the open dialog and
// the limits 2 to 8 °C typed with a decimal comma.
StudyWindow *openWithThree(TestApp &t, const ThreeLoggers &files)
{
    auto *w = static_cast<StudyWindow *>(commands::openStudy(*t.app));
    t.prompts->filesAnswers.push_back({files.porta, files.fundo, files.teto});
    w->CmdAdd->click();
    w->TxtLow[0]->setText(QStringLiteral("2,0"));
    w->TxtHigh[0]->setText(QStringLiteral("8"));
    w->refresh();
    return w;
}

// Declared after the TestApp, so the windows go before the App they use,
// also when a check fails halfway.
struct WindowsGone {
    ~WindowsGone() { deleteTopLevelWindows(); }
};
} // namespace

class TstStudyWindow : public QObject {
    Q_OBJECT
private slots:
    void figuresColoursSortingAndRemoval()
    {
        TestApp t;
        WindowsGone gone;
        const ThreeLoggers files(t);
        StudyWindow *w = openWithThree(t, files);
        QCOMPARE(w->objectName(), QStringLiteral("EstudoMapeamento"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Estudo de mapeamento"));
        QCOMPARE(t.prompts->shown.last().kind, QStringLiteral("open-many"));
        QCOMPARE(t.prompts->shown.last().text, texts::kDataFilter);
        QCOMPARE(w->files(), (QStringList{files.porta, files.fundo, files.teto}));
        QCOMPARE(w->GridFiles->item(2, 0)->text(), QStringLiteral("teto"));

        // A label typed over the file's name; a wiped one goes back to it.
        w->GridFiles->item(2, 0)->setText(QStringLiteral("Teto (3 m)"));
        w->GridFiles->item(0, 0)->setText(QStringLiteral("  "));
        QCOMPARE(w->GridFiles->item(0, 0)->text(), QStringLiteral("porta"));
        w->refresh();
        QVERIFY(w->result().ok);
        QVERIFY(w->LblStatus->isHidden());
        QCOMPARE(labelColumn(*w), (QStringList{"porta", "fundo", "Teto (3 m)"}));
        // The °F file in the study's unit, the first file's.
        QCOMPARE(w->GridLoggers->horizontalHeaderItem(StudyWindow::ColMin)->text(), QStringLiteral("Mínimo (°C)"));
        QCOMPARE(rowTexts(*w, rowOf(*w, "fundo")),
                 (QStringList{"fundo", "5", "10 min 00 s", "1,0", "30/06/2026 08:10:00", "9,0", "30/06/2026 08:40:00",
                              "3,70", "4,25", "20 min 00 s", "2"}));
        QCOMPARE(rowTexts(*w, rowOf(*w, "Teto (3 m)")),
                 (QStringList{"Teto (3 m)", "5", "10 min 00 s", "5,0", "30/06/2026 08:00:00", "9,0",
                              "30/06/2026 08:20:00", "6,40", "6,54", "10 min 00 s", "1"}));
        QVERIFY(
            w->LblSummary->text().contains(QStringLiteral("Ponto quente: Teto (3 m) (9,0 °C em 30/06/2026 08:20:00)")));
        QVERIFY(w->LblSummary->text().contains(QStringLiteral("Ponto frio: fundo (1,0 °C em 30/06/2026 08:10:00)")));

        // Hot spot red, cold spot blue, the others as they are; the colours go with the rows when sorted.
        const auto background = [w](const QString &label, int column) {
            return w->GridLoggers->item(rowOf(*w, label), column)->background();
        };
        QCOMPARE(background("Teto (3 m)", StudyWindow::ColMkt).color(), StudyWindow::hotColor());
        QCOMPARE(background("fundo", StudyWindow::ColLabel).color(), StudyWindow::coldColor());
        QCOMPARE(background("porta", StudyWindow::ColMin).style(), Qt::NoBrush);

        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QHeaderView *header = w->GridLoggers->horizontalHeader();
        const auto clickHeader = [header](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        };
        clickHeader(StudyWindow::ColMin);
        const QStringList ascending{"fundo", "porta", "Teto (3 m)"};
        QStringList sorted = labelColumn(*w);
        if (header->sortIndicatorOrder() == Qt::DescendingOrder)
            std::reverse(sorted.begin(), sorted.end());
        QCOMPARE(sorted, ascending);
        // By the number, not by the text: 10 min sorts after 0 s.
        w->GridLoggers->sortItems(StudyWindow::ColOutside, Qt::DescendingOrder);
        QCOMPARE(labelColumn(*w).first(), QStringLiteral("fundo"));
        QCOMPARE(w->GridLoggers->item(0, StudyWindow::ColMean)->background().color(), StudyWindow::coldColor());
        snapshot(w, QStringLiteral("estudo-mapeamento"));

        // Limits in the study's unit; a wrong one spoils nothing but says so.
        w->TxtHigh[0]->setText(QStringLiteral("oito"));
        w->refresh();
        QVERIFY(!w->LblStatus->isHidden());
        QVERIFY(w->LblStatus->text().startsWith(QStringLiteral("Limites inválidos")));
        QCOMPARE(w->GridLoggers->rowCount(), 0);
        w->TxtHigh[0]->setText(QStringLiteral("8,0"));
        w->refresh();
        QCOMPARE(w->GridLoggers->rowCount(), 3);

        // "Remover" takes the selected file out of the study.
        QVERIFY(!w->CmdRemove->isEnabled());
        w->GridFiles->selectRow(0);
        QVERIFY(w->CmdRemove->isEnabled());
        w->CmdRemove->click();
        w->refresh();
        QCOMPARE(w->files(), (QStringList{files.fundo, files.teto}));
        QCOMPARE(w->GridLoggers->rowCount(), 2);
        QCOMPARE(rowOf(*w, "porta"), -1);

        // A period of its own: from 08:20 on, fundo's coldest record is left out.
        w->ChkFrom->setChecked(true);
        w->DtFrom->setDateTime(kStart.addSecs(1200));
        w->refresh();
        QCOMPARE(w->GridLoggers->item(rowOf(*w, "fundo"), StudyWindow::ColMin)->text(), QStringLiteral("1,5"));
        QCOMPARE(w->GridLoggers->item(rowOf(*w, "fundo"), StudyWindow::ColRecords)->text(), QStringLiteral("3"));
    }

    void unreadableFileAndNoCommonPeriod()
    {
        TestApp t;
        WindowsGone gone;
        const ThreeLoggers files(t);
        auto *w = static_cast<StudyWindow *>(commands::openStudy(*t.app));
        const QString missing = t.path("sumiu.dlf");
        t.prompts->filesAnswers.push_back({files.porta, missing});
        w->CmdAdd->click();
        w->refresh();
        // The message names the file; nothing of the other files is shown meanwhile.
        QVERIFY(!w->LblStatus->isHidden());
        QVERIFY2(w->LblStatus->text().contains(QStringLiteral("sumiu.dlf")), qPrintable(w->LblStatus->text()));
        QCOMPARE(w->GridLoggers->rowCount(), 0);
        QVERIFY(w->Chart->isEmpty());
        QVERIFY(!w->CmdReport->isEnabled() && !w->CmdExport->isEnabled());
        snapshot(w, QStringLiteral("estudo-arquivo-ilegivel"));

        w->GridFiles->selectRow(1);
        w->CmdRemove->click();
        w->refresh();
        QVERIFY(w->LblStatus->isHidden());
        QCOMPARE(w->GridLoggers->rowCount(), 1);
        QVERIFY(w->CmdReport->isEnabled());

        // A file of the next day shares no moment with the others.
        const QString later = writeLogger(t, "depois.dlf", true, temps({"5.0", "5.0"}), kStart.addDays(1));
        w->addFiles({later, files.porta}); // porta is in already
        QCOMPARE(w->files().size(), 2);
        w->refresh();
        QVERIFY(!w->LblStatus->isHidden());
        QVERIFY2(w->LblStatus->text().contains(QStringLiteral("depois")), qPrintable(w->LblStatus->text()));
        QCOMPARE(w->GridLoggers->rowCount(), 0);
        QVERIFY(w->Chart->isEmpty());
    }

    void reportAndCsvExport()
    {
        TestApp t;
        WindowsGone gone;
        const ThreeLoggers files(t);
        StudyWindow *w = openWithThree(t, files);
        w->GridFiles->item(2, 0)->setText(QStringLiteral("Teto (3 m)"));
        w->refresh();

        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            qWarning("pdftotext is not installed: the report is not read back");
        } else {
            QVERIFY(w->CmdReport_Click());
            QCOMPARE(t.printer->printedFiles().size(), 1);
            QCOMPARE(t.printer->signOffers, 1);
            const QString text = pdfText(t.printer->printedFiles().at(0));
            QVERIFY2(text.contains(QStringLiteral("Estudo de mapeamento térmico")), qPrintable(text.left(400)));
            for (const char *label : {"porta", "fundo", "Teto (3 m)", "Câmara fria 2"})
                QVERIFY2(text.contains(QString::fromUtf8(label)), label);
        }

        const QByteArray plain =
            "Rótulo,Arquivo,Registros,Intervalo (s),Mínimo (°C),Data e hora do mínimo,Máximo (°C),"
            "Data e hora do máximo,Média (°C),TCM (°C),Tempo fora (s),Excursões\r\n"
            "porta,porta.dlf,5,600,4.0,2026-06-30T08:00:00,9.0,2026-06-30T08:20:00,5.80,5.99,600,1\r\n"
            "fundo,fundo.dlf,5,600,1.0,2026-06-30T08:10:00,9.0,2026-06-30T08:40:00,3.70,4.25,1200,2\r\n"
            "Teto (3 m),teto.dlf,5,600,5.0,2026-06-30T08:00:00,9.0,2026-06-30T08:20:00,6.40,6.54,600,1\r\n";
        const bool spreadsheetFirst = CsvStyle::forLocale(QLocale::system()).decimalComma;
        t.prompts->answerFile(t.path("plain.csv"), spreadsheetFirst ? 1 : 0);
        QVERIFY(w->CmdExport_Click());
        QCOMPARE(t.prompts->shown.last().kind, QStringLiteral("save"));
        QCOMPARE(readAll(t.path("plain.csv")), plain);

        // The spreadsheet style, in the order the table is sorted in.
        w->GridLoggers->sortItems(StudyWindow::ColMin, Qt::AscendingOrder);
        t.prompts->answerFile(t.path("planilha.csv"), spreadsheetFirst ? 0 : 1);
        w->CmdExport->click();
        QCOMPARE(readAll(t.path("planilha.csv")),
                 QByteArray("\xEF\xBB\xBFRótulo;Arquivo;Registros;Intervalo (s);Mínimo (°C);Data e hora do mínimo;"
                            "Máximo (°C);Data e hora do máximo;Média (°C);TCM (°C);Tempo fora (s);Excursões\r\n"
                            "fundo;fundo.dlf;5;600;1,0;2026-06-30T08:10:00;9,0;2026-06-30T08:40:00;3,70;4,25;1200;2\r\n"
                            "porta;porta.dlf;5;600;4,0;2026-06-30T08:00:00;9,0;2026-06-30T08:20:00;5,80;5,99;600;1\r\n"
                            "Teto (3 m);teto.dlf;5;600;5,0;2026-06-30T08:00:00;9,0;2026-06-30T08:20:00;6,40;6,54;"
                            "600;1\r\n"));
    }

    void chartPixelsReadoutAndZoom()
    {
        TestApp t;
        WindowsGone gone;
        QVector<std::pair<QString, QString>> warm, cold;
        for (int i = 0; i < 13; ++i) {
            warm.append({QStringLiteral("20.0"), QStringLiteral("50.0")});
            cold.append({QStringLiteral("10.0"), QStringLiteral("70.0")});
        }
        const QString a = writeLogger(t, "quente.dlf", true, warm), b = writeLogger(t, "frio.dlf", true, cold);
        auto *w = static_cast<StudyWindow *>(commands::openStudy(*t.app));
        t.prompts->filesAnswers.push_back({a, b});
        w->CmdAdd_Click();
        w->refresh();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        StudyChart *chart = w->Chart;
        QVERIFY(!chart->isEmpty());
        const qint64 from = wallSecondsOf(kStart), to = from + 7200;
        QCOMPARE(chart->viewFrom(), from);
        QCOMPARE(chart->viewTo(), to);

        QImage image = chart->grab().toImage();
        const OverlayGeometry g = chart->plotGeometry();
        QVERIFY(g.plot.width() > 300);
        for (qint64 s : {from + 1800, from + 3600, from + 5400}) {
            QVERIFY(colourNear(image, g.at(s, 20), overlayColor(0)));
            QVERIFY(colourNear(image, g.at(s, 10), overlayColor(1)));
        }
        // The readout: the moment and both loggers' values there.
        const QString readout = chart->readoutAt(g.at(from + 3600, 15));
        QCOMPARE(readout, QStringLiteral("30/06/2026 09:00:00\nquente: 20,0 °C\nfrio: 10,0 °C"));
        QVERIFY(chart->readoutAt(QPointF(g.plot.left() - 5, g.plot.center().y())).isEmpty());

        // The wheel zooms the time axis around the mouse; a double click shows everything again.
        const QPointF middle = g.at(from + 3600, 15);
        QWheelEvent wheel(middle, chart->mapToGlobal(middle), {}, QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart, &wheel);
        QVERIFY(chart->viewTo() - chart->viewFrom() < 7200 * 0.7);
        QVERIFY(chart->viewFrom() < from + 3600 && chart->viewTo() > from + 3600);
        chart->repaint();
        image = chart->grab().toImage();
        const OverlayGeometry zoomed = chart->plotGeometry();
        snapshot(w, QStringLiteral("estudo-grafico-aproximado"));
        QCOMPARE(zoomed.from, chart->viewFrom());
        // Left of the mouse, where neither its line nor the readout box lies.
        QVERIFY(colourNear(image, zoomed.at(from + 3000, 20), overlayColor(0)));
        QVERIFY(colourNear(image, zoomed.at(from + 3000, 10), overlayColor(1)));
        // Dragged to the right, earlier moments come in; the span stays.
        const qint64 zoomedFrom = chart->viewFrom(), zoomedSpan = chart->viewTo() - chart->viewFrom();
        QTest::mousePress(chart, Qt::LeftButton, {}, middle.toPoint());
        QTest::mouseMove(chart, middle.toPoint() + QPoint(100, 0));
        QTest::mouseRelease(chart, Qt::LeftButton, {}, middle.toPoint() + QPoint(100, 0));
        QVERIFY(chart->viewFrom() < zoomedFrom);
        QCOMPARE(chart->viewTo() - chart->viewFrom(), zoomedSpan);
        QTest::mouseDClick(chart, Qt::LeftButton, {}, middle.toPoint());
        QCOMPARE(chart->viewFrom(), from);
        QCOMPARE(chart->viewTo(), to);

        // Humidity instead of temperature.
        w->CboChart->setCurrentIndex(1);
        chart->repaint();
        image = chart->grab().toImage();
        const OverlayGeometry h = chart->plotGeometry();
        QVERIFY(colourNear(image, h.at(from + 3600, 50), overlayColor(0)));
        QVERIFY(colourNear(image, h.at(from + 3600, 70), overlayColor(1)));
        QVERIFY(chart->readoutAt(h.at(from + 3600, 60)).endsWith(QStringLiteral("frio: 70,0 %")));
    }

    void filesFromTheFileListAndDrops()
    {
        TestApp t;
        WindowsGone gone;
        const ThreeLoggers files(t);
        QVERIFY(commands::openDataFileAt(*t.app, files.teto));
        auto *list = qobject_cast<FileList *>(t.app->fileList.data());
        QVERIFY(list);
        QAction *send = list->button(QStringLiteral("Study"));
        QVERIFY(send && send->isEnabled());
        QCOMPARE(send->toolTip(), QStringLiteral("Enviar ao estudo de mapeamento"));
        QVERIFY(!send->icon().isNull());
        // The file list's own buttons keep their places; this one comes last.
        QCOMPARE(list->Toolbar1->actions().last(), send);
        send->trigger();
        auto *w = qobject_cast<StudyWindow *>(t.app->study.data());
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->files(), QStringList{files.teto});
        // Placed whole on the screen, title bar included.
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->screen()->availableGeometry().contains(w->frameGeometry()));
        // Sent again: the same window, the file once.
        send->trigger();
        QCOMPARE(t.app->study.data(), w);
        QCOMPARE(w->files(), QStringList{files.teto});
        QCOMPARE(commands::openStudy(*t.app), w);

        // Files dropped from the file manager join the study; other files are refused.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(files.porta), QUrl::fromLocalFile(t.path("notas.txt")),
                      QUrl::fromLocalFile(files.fundo)});
        const QPoint at = w->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE_WITH_TIMEOUT(w->files(), (QStringList{files.teto, files.porta, files.fundo}), 10000);
        QMimeData text;
        text.setUrls({QUrl::fromLocalFile(t.path("notas.txt"))});
        QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &refused);
        QVERIFY(!refused.isAccepted());

        // Escape closes it; the next one is a new window.
        QTest::keyClick(w, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(t.app->study.isNull(), 10000);
    }
};

QTEST_MAIN(TstStudyWindow)
#include "tst_study_window.moc"
