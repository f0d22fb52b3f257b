// The statistics window of the list windows: it follows the live list as the
// emulated instrument's samples arrive, switches unit with it, and shows a
// file's figures with the limits typed into it.
#include "support/PanelFixture.h"
#include "support/TestApp.h"

#include "core/files/DataFile.h"
#include "ui/lists/DataList.h"
#include "ui/lists/FileList.h"
#include "ui/lists/List.h"
#include "ui/lists/StatsWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace {
StatsWindow *statsOf(ListWindow *list)
{
    return list->findChild<StatsWindow *>(QStringLiteral("Estatisticas"));
}

// The cell of the figure `label` under the column headed `heading`.
QString figure(StatsWindow *w, const QString &label, int column)
{
    for (int r = 0; r < w->GridStats->rowCount(); ++r)
        if (w->GridStats->item(r, 0)->text() == label)
            return w->GridStats->item(r, column)->text();
    return QStringLiteral("(no row %1)").arg(label);
}
} // namespace

class TstStatsWindow : public QObject {
    Q_OBJECT
private slots:
    void followsTheLiveListAndItsUnit()
    {
        PanelFixture f;
        QVERIFY(f.start());
        f.sampleByHand();
        f.panel->click(QStringLiteral("List"));
        auto *list = qobject_cast<List *>(f.t.app->liveList.data());
        QVERIFY(list);
        auto take = [&](int secondsLater) {
            f.t.clock->t = f.t.clock->t.addSecs(secondsLater);
            sampleFreshReading(*f.panel);
        };
        take(0);
        take(60);

        QVERIFY(list->button(QStringLiteral("Stats")));
        list->button(QStringLiteral("Stats"))->trigger();
        QPointer<StatsWindow> w = statsOf(list);
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Estatísticas"));
        QCOMPARE(w->stats().records, 2);
        QCOMPARE(w->LblRecords->text(), QStringLiteral("Registros: 2"));
        QCOMPARE(figure(w, QStringLiteral("Máximo"), 1), QStringLiteral("25,0 °C"));
        QCOMPARE(w->LblMkt->text(), QStringLiteral("Temperatura cinética média (TCM): 25,0 °C"));

        w->TxtHigh[size_t(Quantity::Humidity)]->setText(QStringLiteral("45"));
        w->TxtHigh[size_t(Quantity::Temperature)]->setText(QStringLiteral("26,5"));
        QTRY_VERIFY_WITH_TIMEOUT(w->stats()[Quantity::Humidity]->limited, 10000);

        // The instrument warms up and dries: the next rows change the figures.
        f.link->model().setValues(30.0, 40.0);
        QTRY_VERIFY_WITH_TIMEOUT(f.reading().TempCDot == QLatin1String("30.0"), 10000);
        take(60);
        take(60);
        QTRY_COMPARE_WITH_TIMEOUT(w->stats().records, 4, 10000);
        const QuantityStats &rh = *w->stats()[Quantity::Humidity];
        QCOMPARE(rh.min, 40.0);
        QCOMPARE(rh.above, 2);
        QCOMPARE(rh.outsideSeconds, 120); // the first two rows, a minute each
        QCOMPARE(w->stats()[Quantity::Temperature]->above, 2);
        QCOMPARE(figure(w, QStringLiteral("Fora dos limites"), 1), QStringLiteral("1 min 00 s"));
        QCOMPARE(figure(w, QStringLiteral("Dentro dos limites"), 4), QStringLiteral("50,0 %"));
        QCOMPARE(w->LblPeriod->text(), QStringLiteral("Período: 08/12/2026 10:00:00 a 08/12/2026 10:03:00"));
        snapshot(w, QStringLiteral("estatisticas"));

        // The list shows °F: the figures and the temperature limits follow.
        list->button(QStringLiteral("CF"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->celsius(), 10000);
        QCOMPARE(w->stats().records, 4);
        QCOMPARE(w->stats()[Quantity::Temperature]->max, 86.0);
        QCOMPARE(w->TxtHigh[size_t(Quantity::Temperature)]->text(), QStringLiteral("79,7"));
        QCOMPARE(w->TxtHigh[size_t(Quantity::Humidity)]->text(), QStringLiteral("45"));
        QCOMPARE(w->stats()[Quantity::Temperature]->above, 2);
        QCOMPARE(figure(w, QStringLiteral("Máximo"), 1), QStringLiteral("86,0 °F"));

        // One window per list; it goes with its list.
        list->button(QStringLiteral("Stats"))->trigger();
        QCOMPARE(list->findChildren<StatsWindow *>().size(), 1);
        f.panel->click(QStringLiteral("List"));
        list->close();
        QTRY_VERIFY_WITH_TIMEOUT(!w, 10000);
    }

    void fileFiguresAndLimitFields()
    {
        TestApp t;
        auto *file = new FileList(*t.app, nullptr);
        const QByteArray bytes = gridDumpBytes(QStringLiteral("Câmara 3"), {}, {},
                                               {dataFileHeadings(false),
                                                {"1", "30/06/2026", "23:40:00", "50.0", "----.0", "OL", "60.0"},
                                                {"2", "30/06/2026", "23:50:00", "68.0", "----.0", "", "75.5"},
                                                {"3", "01/07/2026", "00:00:00", "-OL", "40.0", "", "80.0"}});
        file->loadData(bytes, QStringLiteral("camara.dlf"));
        file->show();
        StatsWindow *w = openStatsWindow(*file);
        QVERIFY(!w->celsius());
        QCOMPARE(figure(w, QStringLiteral("Valores válidos"), 1), QStringLiteral("2"));
        QCOMPARE(figure(w, QStringLiteral("Inválidos"), 1), QStringLiteral("1"));
        QCOMPARE(figure(w, QStringLiteral("Média"), 1), QStringLiteral("59,0 °F"));
        QCOMPARE(figure(w, QStringLiteral("Desvio padrão"), 2), QStringLiteral("-")); // one dew point
        QCOMPARE(figure(w, QStringLiteral("Mínimo"), 3), QStringLiteral("-"));        // no wet bulb
        QCOMPARE(figure(w, QStringLiteral("Máximo em"), 4), QStringLiteral("01/07/2026 00:00:00"));

        // A bound that is not a number, or a low one above the high one, is
        // shown as wrong and applies no limit.
        QLineEdit *low = w->findChild<QLineEdit *>(QStringLiteral("TxtLow_rh"));
        QLineEdit *high = w->findChild<QLineEdit *>(QStringLiteral("TxtHigh_rh"));
        QVERIFY(low && high);
        low->setText(QStringLiteral("abc"));
        w->refresh();
        QVERIFY(!w->LblLimitError->isHidden());
        QVERIFY(!w->stats()[Quantity::Humidity]->limited);
        low->setText(QStringLiteral("80"));
        high->setText(QStringLiteral("70"));
        w->refresh();
        QVERIFY(!w->LblLimitError->isHidden());
        low->setText(QStringLiteral("65,5"));
        w->refresh();
        QVERIFY(w->LblLimitError->isHidden());
        QCOMPARE(w->stats()[Quantity::Humidity]->below, 1);
        QCOMPARE(w->stats()[Quantity::Humidity]->above, 2);
        QCOMPARE(figure(w, QStringLiteral("Limite inferior"), 4), QStringLiteral("65,5 %"));
        QCOMPARE(figure(w, QStringLiteral("Fora dos limites"), 4), QStringLiteral("20 min 00 s"));
        delete file;

        auto *data = new DataList(*t.app, nullptr);
        QVERIFY(data->button(QStringLiteral("Stats")));
        delete data;
    }
};

QTEST_MAIN(TstStatsWindow)
#include "tst_stats_window.moc"
