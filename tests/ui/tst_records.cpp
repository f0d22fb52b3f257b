// What the panel keeps as evidence: the changes it makes on the instrument in
// the trail (with the reason when it asks one), the trail's window, the
// signature status of a file it opens and the integrity block of its report.
#include "core/integrity/Audit.h"
#include "core/integrity/Evidence.h"
#include "core/integrity/Seal.h"
#include "emulator/EmulatedLink.h"
#include "support/Outputs.h"
#include "support/SampleFiles.h"
#include "support/TestApp.h"
#include "ui/audit/AuditWindow.h"
#include "ui/common/Commands.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/dialogs/OffSet.h"
#include "ui/lists/FileList.h"
#include "ui/monitor/PanelMonitor.h"

#include "core/state/Reading.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

QList<QJsonObject> trail()
{
    QList<QJsonObject> out;
    integrity::forEachEntry(
        integrity::auditPath(),
        [&](const QJsonObject &e) {
            out << e;
            return true;
        },
        nullptr);
    return out;
}

} // namespace

class TstRecords : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    EmulatedLink *emu = nullptr;
    QTimer poll;

    App &app() { return *t->app; }

private slots:
    void init()
    {
        dialoglink::setTimeoutSeconds(10);
        t = std::make_unique<TestApp>();
        // A key and a trail of the test's own; the panel signs and keeps its trail.
        integrity::setKeyPath(t->path(QStringLiteral("chave/assinatura.key")));
        integrity::setAuditPath(t->path(QStringLiteral("chave/auditoria.jsonl")));
        integrity::setProgram(QStringLiteral("termohigrometro/teste"));
        integrity::setSigningEnabled(true);
        PanelSettings::setFile(t->path(QStringLiteral("painel.ini")));
        auto link = std::make_unique<EmulatedLink>();
        emu = link.get();
        QVERIFY(emu->OpenPort());
        app().setLink(std::move(link));
        app().setTimers(&poll, nullptr);
        app().state().applyPanelLoadDefaults(t->clock->now());
        app().state().InstrumentType = QStringLiteral("NewType");
        app().state().PortName = QStringLiteral("COM3");
        poll.setInterval(150);
        poll.start();
    }
    void cleanup()
    {
        poll.stop();
        t.reset();
        integrity::setSigningEnabled(false);
    }

    void changesGoToTheTrailWithTheirReasonWhenAsked()
    {
        // Not asked: the windows stay as they are, the change is kept all the same.
        t->prompts->inputAnswers.push_back(QStringLiteral("15"));
        commands::powerOff(app());
        QCOMPARE(t->prompts->shown.size(), 1);
        QList<QJsonObject> entries = trail();
        QVERIFY(!entries.isEmpty());
        const QJsonObject set = entries.last();
        QCOMPARE(set.value("action").toString(), QStringLiteral("instrument.poweroff.set"));
        QCOMPARE(set.value("new").toInt(), 15);
        QVERIFY(set.value("old").isDouble());
        QCOMPARE(set.value("instrument").toObject().value("port").toString(), QStringLiteral("COM3"));

        // Asked: an empty reason cancels the change, nothing reaches the instrument.
        app().setAskReasons(true);
        emu->model().clearReceivedLog();
        t->prompts->shown.clear();
        t->prompts->inputAnswers.push_back(QStringLiteral("20"));
        t->prompts->inputAnswers.push_back(QString());
        commands::powerOff(app());
        QCOMPARE(t->prompts->shown.last().title, QStringLiteral("Motivo da alteração"));
        QVERIFY(!emu->model().receivedLog().contains("PW"));
        QCOMPARE(trail().size(), entries.size());
        QVERIFY(poll.isActive());

        // A reason given goes with the change.
        t->prompts->inputAnswers.push_back(QStringLiteral("20"));
        t->prompts->inputAnswers.push_back(QStringLiteral("calibração anual"));
        commands::powerOff(app());
        QTRY_COMPARE_WITH_TIMEOUT(emu->model().powerOffMinutes(), 20, 10000);
        QCOMPARE(trail().last().value("reason").toString(), QStringLiteral("calibração anual"));
        QCOMPARE(trail().last().value("old").toInt(), 15);

        // The offsets typed in their window, with a decimal comma, and their reason.
        t->prompts->inputAnswers.push_back(QStringLiteral("ajuste após comparação"));
        commands::offset(app());
        auto *window = qobject_cast<OffSet *>(app().offset.data());
        QVERIFY(window);
        window->TxtH->clear();
        window->TxtT->clear();
        QTest::keyClicks(window->TxtH, QStringLiteral("1,5"));
        QTest::keyClicks(window->TxtT, QStringLiteral("-0,5"));
        window->CmdOK->click();
        QTRY_COMPARE_WITH_TIMEOUT(int(emu->model().rhOffsetTenths()), 15, 10000);
        const QJsonObject offsets = trail().last();
        QCOMPARE(offsets.value("action").toString(), QStringLiteral("instrument.offset.set"));
        QCOMPARE(offsets.value("new").toObject().value("rh").toString(), QStringLiteral("1.5"));
        QCOMPARE(offsets.value("new").toObject().value("temp").toString(), QStringLiteral("-.5"));
        QCOMPARE(offsets.value("reason").toString(), QStringLiteral("ajuste após comparação"));
        QVERIFY(integrity::verifyTrail(integrity::auditPath(), nullptr).intact);
    }

    void theTrailsWindowListsChecksAndPrints()
    {
        integrity::auditRecord(QStringLiteral("instrument.interval.set"), 60, 300, QStringLiteral("estudo"));
        integrity::auditRecord(QStringLiteral("logger.clear"));
        PanelMonitor monitor(app());
        monitor.start();
        auto *w = new AuditWindow(app(), monitor);
        w->show();
        QVERIFY(w->LblKey->text().contains(QStringLiteral("assinatura.pub")));
        snapshot(w, QStringLiteral("audit_window"));
        // Newest first.
        QCOMPARE(w->GridAudit->rowCount(), trail().size());
        QCOMPARE(w->GridAudit->item(0, 2)->text(), QStringLiteral("logger.clear"));
        const int interval =
            w->GridAudit->findItems(QStringLiteral("instrument.interval.set"), Qt::MatchExactly).value(0)->row();
        QCOMPARE(w->GridAudit->item(interval, 3)->text(), QStringLiteral("60 → 300"));
        QCOMPARE(w->GridAudit->item(interval, 4)->text(), QStringLiteral("estudo"));
        w->CboAction->setCurrentText(QStringLiteral("logger.clear"));
        QCOMPARE(w->GridAudit->rowCount(), 1);
        w->TxtFrom->setDate(QDate::currentDate().addDays(1));
        QCOMPARE(w->GridAudit->rowCount(), 0);

        w->CmdVerify->click();
        QVERIFY2(w->LblStatus->text().startsWith(QStringLiteral("Trilha íntegra")), qPrintable(w->LblStatus->text()));

        // The reason setting lasts, and is itself in the trail.
        w->ChkReasons->setChecked(true);
        QVERIFY(app().askReasons());
        QVERIFY(PanelSettings::load().askReasons);
        QCOMPARE(trail().last().value("action").toString(), QStringLiteral("settings.reasons.set"));

        // Printed and signed as every report.
        w->CboAction->setCurrentIndex(0);
        w->TxtFrom->setDate(QDate::currentDate().addDays(-1));
        const QString pdf = t->path(QStringLiteral("trilha.pdf"));
        t->prompts->answerFile(pdf);
        w->CmdExport->click();
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Trilha de auditoria")) && text.contains(QStringLiteral("estudo")),
                 qPrintable(text));
        QCOMPARE(integrity::fileEvidence(pdf).statusText, QStringLiteral("Assinatura válida"));

        // An entry edited behind the program's back is named.
        QFile f(integrity::auditPath());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        bytes.replace("estudo", "Estudo");
        f.seek(0);
        f.write(bytes);
        f.close();
        w->CmdVerify->click();
        QVERIFY2(w->LblStatus->text().startsWith(QStringLiteral("Trilha ALTERADA")), qPrintable(w->LblStatus->text()));
        w->close();
        monitor.close();
    }

    void alarmsTheirAcknowledgementAndTheirSettingsAreInTheTrail()
    {
        PanelMonitor monitor(app());
        monitor.setBeeper([] {});
        monitor.start();
        Limits limits;
        limits[Quantity::Temperature].high = 30;
        QVERIFY(monitor.setAlarmSettings(limits, 1, true));
        QCOMPARE(trail().last().value("action").toString(), QStringLiteral("alarm.limits.set"));
        Reading r;
        r.TempCDot = QStringLiteral("32.0");
        r.RhDot = QStringLiteral("50.0");
        r.DewCDot = QStringLiteral("20.0");
        r.WetCDot = QStringLiteral("23.0");
        monitor.sample(r, t->clock->now());
        const QJsonObject started = trail().last();
        QCOMPARE(started.value("action").toString(), QStringLiteral("alarm.start"));
        QCOMPARE(started.value("new").toObject().value("quantity").toString(), QStringLiteral("temp"));
        const quint64 id = quint64(started.value("new").toObject().value("id").toInteger());
        QString error;
        QVERIFY2(monitor.acknowledge(id, QStringLiteral("porta aberta na carga"), &error), qPrintable(error));
        const QJsonObject ack = trail().last();
        QCOMPARE(ack.value("action").toString(), QStringLiteral("alarm.ack"));
        QCOMPARE(ack.value("reason").toString(), QStringLiteral("porta aberta na carga"));
        QCOMPARE(ack.value("new").toObject().value("ack_user").toString(), PanelMonitor::userName());
        monitor.close();
    }

    void anOpenedFileShowsItsSignatureAndItsReportCarriesIt()
    {
        const QString path = writeSampleDataFile(t->path(QStringLiteral("camara.dlf")), 5);
        const auto open = [&] { QVERIFY(commands::openDataFileAt(app(), path)); };
        const auto statusOf = [&] {
            auto *list = qobject_cast<FileList *>(app().fileList.data());
            return list ? list->LblSignature->text() : QString();
        };
        open();
        QCOMPARE(statusOf(), QStringLiteral("Arquivo sem assinatura"));
        QVERIFY(integrity::sealFile(path).ok);
        open();
        QVERIFY2(statusOf().startsWith(QStringLiteral("Assinatura válida (chave ")), qPrintable(statusOf()));

        // The full report: the file's SHA-256, its signature status and key.
        auto *list = qobject_cast<FileList *>(app().fileList.data());
        list->button(QStringLiteral("Report"))->trigger();
        QCOMPARE(t->printer->printedFiles().size(), 1);
        const QString text = pdfText(t->printer->printedFiles().at(0));
        const integrity::FileEvidence evidence = integrity::fileEvidence(path);
        QVERIFY2(text.contains(evidence.sha256) && text.contains(QStringLiteral("Assinatura válida")) &&
                     text.contains(evidence.keyId),
                 qPrintable(text));

        // Records added after the signature: valid up to the last one signed.
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        f.write("6\t08/12/2026\t10:00:06\t25.0\t13.8\t17.9\t50.0\r\n");
        f.close();
        open();
        QVERIFY2(statusOf().startsWith(QStringLiteral("Assinatura válida até o registro 5 (chave ")),
                 qPrintable(statusOf()));
        // A changed byte.
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        bytes.replace("25.0", "21.0");
        f.resize(0);
        f.write(bytes);
        f.close();
        open();
        QVERIFY2(statusOf().startsWith(QStringLiteral("Arquivo ALTERADO após a assinatura")), qPrintable(statusOf()));
    }
};

QTEST_MAIN(TstRecords)
#include "tst_records.moc"
