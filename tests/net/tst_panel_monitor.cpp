// The panel's alarms and publication against the emulated instrument and a
// broker of the test's own.
#include "core/monitor/MqttPayload.h"
#include "net/MqttSink.h"
#include "support/MonitorRun.h"
#include "support/Mosquitto.h"
#include "support/PanelFixture.h"
#include "support/SmtpServer.h"
#include "ui/monitor/AlarmLimits.h"
#include "ui/monitor/Monitoring.h"
#include "ui/monitor/PanelMonitor.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableWidget>
#include <QTest>

namespace {
AlarmLimits *openLimits(Panel &p)
{
    p.click(QStringLiteral("Alarms"));
    return qobject_cast<AlarmLimits *>(p.monitor()->limitsWindow.data());
}

Monitoring *openMonitoring(Panel &p)
{
    p.click(QStringLiteral("Monitoring"));
    return qobject_cast<Monitoring *>(p.monitor()->monitoringWindow.data());
}

// The body of GET url; empty when no answer came.
QByteArray httpGet(const QString &url)
{
    static QNetworkAccessManager net;
    QNetworkReply *r = net.get(QNetworkRequest(QUrl(url)));
    const bool done = QTest::qWaitFor([r] { return r->isFinished(); }, 30000);
    const QByteArray body = done ? r->readAll() : QByteArray();
    r->abort();
    r->deleteLater();
    return body;
}

void publishTo(Panel &p, quint16 port, const QString &id, quint16 metricsPort = 0)
{
    Monitoring *w = openMonitoring(p);
    QVERIFY(w);
    w->ChkPublish->setChecked(true);
    w->TxtHost->setText(QStringLiteral("127.0.0.1"));
    w->TxtPort->setText(QString::number(port));
    w->TxtId->setText(id);
    if (metricsPort)
        w->TxtMetricsPort->setText(QString::number(metricsPort));
    w->CmdOK_Click();
}

// The instrument's values change and a sample is taken once they are on screen.
void sampleAt(PanelFixture &f, double tempC, double rh)
{
    f.link->model().setValues(tempC, rh);
    QVERIFY(f.waitTemperature(QString::number(tempC, 'f', 1)));
    sampleFreshReading(*f.panel);
}

bool isRed(const QLabel *l)
{
    return l->styleSheet().contains(QLatin1String("#c62828"));
}

// A warning's amber: the badge's background or the value's colour.
bool isAmber(const QLabel *l)
{
    return l->styleSheet().contains(QLatin1String("#f0a000")) || l->styleSheet().contains(QLatin1String("#b36200"));
}

// The badge covers no other label of the display that is showing.
bool standsClear(Panel &p, const QLabel *badge)
{
    const QRect mine(badge->mapTo(&p, QPoint(0, 0)), badge->size());
    for (const QLabel *other : p.findChildren<QLabel *>())
        if (other != badge && other->window() == &p && other->isVisible() && !other->text().isEmpty() &&
            QRect(other->mapTo(&p, QPoint(0, 0)), other->size()).intersects(mine))
            return false;
    const QSize text = QFontMetrics(badge->font()).size(0, badge->text());
    return p.rect().contains(mine) && text.width() <= badge->width() && text.height() <= badge->height();
}

QStringList lines(const QString &path)
{
    return QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

class TestPanelMonitor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!haveProgram(QStringLiteral("/usr/sbin/mosquitto")) || !haveProgram(QStringLiteral("mosquitto_sub")))
            QSKIP("mosquitto and mosquitto-clients are not installed");
    }

    void limitsCrossedUpAndDown()
    {
        Mosquitto broker;
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/lab1/#"));
        QVERIFY(live.waitReady());
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        f.sampleByHand();
        PanelMonitor &m = *p.monitor();
        m.setBeeper([] {});
        publishTo(p, broker.port(), QStringLiteral("lab1"), ServerProcess::freePort());
        QTRY_VERIFY_WITH_TIMEOUT(m.mqtt() && m.mqtt()->isConnected(), 20000);
        QVERIFY(m.metricsUrl().startsWith(QLatin1String("http://127.0.0.1:")));

        AlarmLimits *l = openLimits(p);
        QVERIFY(l);
        l->TxtTempHigh->setText(QStringLiteral("30"));
        l->TxtRHLow->setText(QStringLiteral("40,5"));
        l->TxtDelay->setText(QStringLiteral("2"));
        l->CmdOK_Click();
        QVERIFY(f.t.prompts->messages().isEmpty());

        sampleAt(f, 25.0, 50.0);
        sampleAt(f, 32.0, 35.0); // outside once: the delay holds it back
        QVERIFY(p.LblTempAlarm->isHidden());
        QVERIFY(!isRed(p.LblTemperature));
        sampleFreshReading(p);
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));
        QVERIFY(p.LblTempAlarm->isVisible() && isRed(p.LblTemperature));
        QCOMPARE(p.LblRHAlarm->text(), QStringLiteral("BAIXA\n(não reconhecido)"));
        QVERIFY(p.LblRHAlarm->isVisible() && isRed(p.LblRH));
        QVERIFY(p.LblDewAlarm->isHidden() && !isRed(p.LblDew));
        QCOMPARE(m.beeps(), 1);
        const QByteArray metrics = httpGet(m.metricsUrl());
        for (const char *line : {"termohigrometro_alarm{instrument=\"lab1\",quantity=\"temp\"} 1\n",
                                 "termohigrometro_alarm{instrument=\"lab1\",quantity=\"rh\"} 1\n",
                                 "termohigrometro_limit_high{instrument=\"lab1\",quantity=\"temp\"} 30\n",
                                 "termohigrometro_temperature_celsius{instrument=\"lab1\"} 32\n",
                                 "termohigrometro_mqtt_connected{instrument=\"lab1\"} 1\n"})
            QVERIFY2(metrics.contains(line), line);

        // An OK that changes nothing changes nothing: the alarms run on, no
        // line says "normal", no second beep, the metrics keep counting.
        const auto samplesServed = [&] {
            static const QRegularExpression line(QStringLiteral("termohigrometro_samples_total\\{[^}]*\\} (\\d+)"));
            return line.match(QString::fromUtf8(httpGet(m.metricsUrl()))).captured(1).toInt();
        };
        const int served = samplesServed();
        QVERIFY(served > 0);
        l = openLimits(p);
        l->CmdOK_Click();
        sampleFreshReading(p);
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));
        QCOMPARE(m.runLog().size(), 2);
        QCOMPARE(m.beeps(), 1);
        QCOMPARE(samplesServed(), served + 1);

        // The lost link is its own state: no samples, no red, until it is back.
        f.link->setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(p.linkDown(), 20000);
        const quint64 taken = m.samples();
        p.Timer2_Timer();
        QCOMPARE(m.samples(), taken);
        QVERIFY(p.LblTempAlarm->isHidden() && !isRed(p.LblTemperature));
        QTRY_COMPARE_WITH_TIMEOUT(live.last(QStringLiteral("termohigrometro/lab1/link")), QByteArray("down"), 20000);
        f.link->setSilent(false);
        QVERIFY(f.waitLive(30000));
        QVERIFY(p.LblTempAlarm->isVisible() && isRed(p.LblTemperature));

        sampleAt(f, 25.0, 50.0);
        // Back inside: no red, but the badges wait for an acknowledgement.
        QVERIFY(!isRed(p.LblTemperature) && !isRed(p.LblRH));
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));
        QCOMPARE(p.LblRHAlarm->text(), QStringLiteral("BAIXA\n(não reconhecido)"));
        m.showAlarmLog();
        auto *events = qobject_cast<AlarmLogView *>(m.alarmLogWindow.data());
        QVERIFY(events);
        QCOMPARE(events->GridEvents->rowCount(), 2);
        QCOMPARE(events->GridEvents->item(1, 5)->text(), QStringLiteral("32,0 °C")); // the peak
        QCOMPARE(events->GridEvents->item(1, 7)->text(), QStringLiteral("não reconhecido"));
        // An empty comment cancels; each answer acknowledges the oldest event waiting.
        f.t.prompts->inputAnswers = {QString(), QStringLiteral("porta fechada"), QStringLiteral("umidificador ok")};
        events->CmdAck_Click();
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));
        events->CmdAck_Click();
        QVERIFY(p.LblTempAlarm->isHidden());
        QVERIFY(p.LblRHAlarm->isVisible());
        events->CmdAck_Click();
        QVERIFY(p.LblRHAlarm->isHidden());
        QVERIFY(events->GridEvents->item(1, 7)->text().startsWith(PanelMonitor::userName() + QStringLiteral(" em ")));
        QCOMPARE(events->GridEvents->item(1, 8)->text(), QStringLiteral("porta fechada"));
        QCOMPARE(events->GridEvents->item(0, 8)->text(), QStringLiteral("umidificador ok"));
        // Nothing waits any more: said so, nothing asked.
        events->CmdAck_Click();
        QVERIFY(f.t.prompts->inputAnswers.empty());
        QVERIFY(f.t.prompts->messages().last().contains("Nenhum alarme"));
        events->close();
        QVERIFY(httpGet(m.metricsUrl()).contains("termohigrometro_alarm_unacknowledged{instrument=\"lab1\"} 0\n"));
        QVERIFY(httpGet(m.metricsUrl()).contains("termohigrometro_alarm{instrument=\"lab1\",quantity=\"temp\"} 0\n"));

        // Without the sound a new alarm is silent.
        l = openLimits(p);
        QCOMPARE(l->TxtRHLow->text(), QStringLiteral("40.5"));
        l->ChkSound->setChecked(false);
        l->CmdOK_Click();
        sampleAt(f, 31.0, 50.0);
        sampleFreshReading(p);
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));
        QCOMPARE(m.beeps(), 1);

        // New limits are weighed at the next sample: inside them, the alarm ends there.
        l = openLimits(p);
        l->TxtTempHigh->setText(QStringLiteral("35"));
        l->CmdOK_Click();
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));
        sampleFreshReading(p);
        QVERIFY(!isRed(p.LblTemperature));
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));

        // Every start and end, one line each, in the dump folder's alarmes.csv.
        const QString log = f.t.app->autoDumpFolder() + QStringLiteral("/alarmes.csv");
        QCOMPARE(m.logFile(), log);
        const QStringList written = lines(log);
        QCOMPARE(written.size(), 7);
        QCOMPARE(written[0], QStringLiteral("hora,grandeza,estado,valor,limite,unidade"));
        const QStringList tails = {",temperatura,ALTA,32.0,30.0,°C",   ",umidade,BAIXA,35.0,40.5,%",
                                   ",temperatura,normal,25.0,30.0,°C", ",umidade,normal,50.0,40.5,%",
                                   ",temperatura,ALTA,31.0,30.0,°C",   ",temperatura,normal,31.0,35.0,°C"};
        for (int i = 0; i < tails.size(); ++i) {
            QVERIFY2(written[i + 1].startsWith(QLatin1String("2026-12-08T10:00:00")), qPrintable(written[i + 1]));
            QVERIFY2(written[i + 1].endsWith(tails[i]), qPrintable(written[i + 1]));
        }
        l = openLimits(p);
        l->CmdAlarms_Click();
        auto *view = qobject_cast<AlarmLogView *>(l->logWindow.data());
        QVERIFY(view);
        // A table, the newest first; it stays when the limits window closes (Escape).
        QCOMPARE(view->GridAlarms->rowCount(), 6);
        QCOMPARE(view->GridAlarms->item(0, 2)->text(), QStringLiteral("normal"));
        QCOMPARE(view->GridAlarms->item(0, 4)->text(), QStringLiteral("35.0"));
        QCOMPARE(view->GridAlarms->item(5, 2)->text(), QStringLiteral("ALTA"));
        QCOMPARE(view->GridAlarms->item(5, 3)->text(), QStringLiteral("32.0"));
        QVERIFY(l->windowFlags().testFlag(Qt::Tool) && l->parentWidget() == &p);
        QTest::keyClick(l->TxtTempLow, Qt::Key_Escape);
        QTRY_VERIFY(!m.limitsWindow);
        QVERIFY(view->isVisible());
        snapshot(view, QStringLiteral("alarm_log"));
        snapshot(&p, QStringLiteral("panel_in_alarm"));

        // The broker got the same alarm events `monitor` publishes.
        const QString topic = QStringLiteral("termohigrometro/lab1/alarm");
        // The two acknowledgements among them.
        QTRY_COMPARE_WITH_TIMEOUT(delivered(live, topic).size(), 8, 20000);
        QCOMPARE(jsonPayload(delivered(live, topic).at(4)).value("ack_comment").toString(),
                 QStringLiteral("porta fechada"));
        const QJsonObject first = jsonPayload(delivered(live, topic).first());
        QCOMPARE(first.value("quantity").toString(), QStringLiteral("temp"));
        QCOMPARE(first.value("state").toString(), QStringLiteral("high"));
        QCOMPARE(first.value("value").toDouble(), 32.0);
        QCOMPARE(first.value("high").toDouble(), 30.0);
        QCOMPARE(jsonPayload(delivered(live, topic).at(3)).value("state").toString(), QStringLiteral("ok"));
        QCOMPARE(live.last(QStringLiteral("termohigrometro/lab1/availability")), QByteArray("online"));
        p.Form_Unload();
        QTRY_COMPARE_WITH_TIMEOUT(live.last(QStringLiteral("termohigrometro/lab1/availability")), QByteArray("offline"),
                                  20000);
    }

    void brokerAwayWhilePollingAndRecording()
    {
        Mosquitto broker(QStringLiteral("max_queued_messages 100000\n"), true);
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        const QString state = QStringLiteral("termohigrometro/away/state");
        MqttSubscriber live(broker.port(), state, {"-c", "-i", "tst-panel-away"});
        QVERIFY(live.waitReady());
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        f.sampleByHand();
        PanelMonitor &m = *p.monitor();
        publishTo(p, broker.port(), QStringLiteral("away"));
        QTRY_VERIFY_WITH_TIMEOUT(m.mqtt() && m.mqtt()->isConnected(), 20000);
        f.t.prompts->answerFile(f.t.path(QStringLiteral("away.dlf")));
        p.click(QStringLiteral("Save"));
        QVERIFY(f.state().PcRecording);

        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        connect(p.Timer1, &QTimer::timeout, this, [&] {
            if (sinceTick.isValid())
                longestGap = qMax(longestGap, sinceTick.elapsed());
            sinceTick.restart();
        });
        // Each sample a second later, so each payload is its own.
        const auto sample = [&] {
            f.t.clock->t = f.t.clock->t.addSecs(1);
            sampleFreshReading(p);
        };
        for (int i = 0; i < 3; ++i)
            sample();
        broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m.mqtt()->isConnected(), 20000);
        for (int i = 0; i < 10; ++i)
            sample();
        QVERIFY(m.mqtt()->queued() >= 10);
        QVERIFY2(m.statusText().contains(QStringLiteral("Sem conexão")), qPrintable(m.statusText()));
        QTRY_VERIFY_WITH_TIMEOUT(p.LblBroker->isVisible(), 20000);
        QVERIFY2(m.statusText().contains(QStringLiteral("Último erro: ")) &&
                     !m.statusText().contains(QStringLiteral("connection was lost")),
                 qPrintable(m.statusText()));

        // OK and "Aplicar" that change nothing keep the connection and its queue.
        const QPointer<MqttSink> sink = m.mqtt();
        const int waiting = m.mqtt()->queued();
        Monitoring *w = openMonitoring(p);
        w->CmdApply_Click();
        w->CmdOK_Click();
        QVERIFY(sink && m.mqtt() == sink.data());
        QCOMPARE(m.mqtt()->queued(), waiting);
        // Another broker under the same topics: the waiting messages go with
        // the new connection, and the window says so.
        f.t.prompts->shown.clear();
        w = openMonitoring(p);
        w->TxtPort->setText(QString::number(ServerProcess::freePort()));
        w->CmdOK_Click();
        QVERIFY(!sink && m.mqtt());
        QCOMPARE(m.mqtt()->queued(), waiting);
        QCOMPARE(f.t.prompts->shown.size(), 1);
        QVERIFY2(f.t.prompts->shown.first().text.contains(QStringLiteral("seguem")),
                 qPrintable(f.t.prompts->shown.first().text));
        w = openMonitoring(p);
        w->TxtPort->setText(QString::number(broker.port()));
        w->CmdOK_Click();
        QCOMPARE(m.mqtt()->queued(), waiting);
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        for (int i = 0; i < 3; ++i)
            sample();
        QTRY_VERIFY_WITH_TIMEOUT(m.mqtt()->isConnected() && m.mqtt()->queued() == 0, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(delivered(live, state).size(), 16, 30000);

        // In their order, one per sample, as the recording file has them.
        const QList<QByteArray> got = delivered(live, state);
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(jsonPayload(got[i]).value("time").toString(),
                     isoTimeWithOffset(QDateTime(QDate(2026, 12, 8), QTime(10, 0, 1 + i))));
        QCOMPARE(f.state().RecordCount, 16);
        // Polling never waited on the broker (150 ms ticks; the limit is generous for a busy machine).
        QVERIFY2(longestGap < 3000, qPrintable(QString::number(longestGap)));
        QVERIFY(m.statusText().startsWith(QLatin1String("Conectado a 127.0.0.1")));
        QTRY_VERIFY(p.LblBroker->isHidden());
    }

    void passwordFromKeyringOrAsked()
    {
        QTemporaryDir dir;
        const QString pwfile = dir.filePath("passwd");
        QProcess pw;
        pw.start("mosquitto_passwd", {"-c", "-b", pwfile, "lab", "s3gredo"});
        QVERIFY(pw.waitForFinished(20000) && pw.exitCode() == 0);
        QFile::setPermissions(pwfile, QFile::ReadOwner | QFile::WriteOwner);
        Mosquitto broker(QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(pwfile));
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        Monitoring *w = openMonitoring(p);
        w->ChkPublish->setChecked(true);
        w->TxtHost->setText(QStringLiteral("127.0.0.1"));
        w->TxtPort->setText(QString::number(broker.port()));
        w->TxtUser->setText(QStringLiteral("lab"));
        w->TxtPassword->setText(QStringLiteral("s3gredo"));
        w->CmdOK_Click();
        QTRY_VERIFY_WITH_TIMEOUT(p.monitor()->mqtt() && p.monitor()->mqtt()->isConnected(), 30000);
        QVERIFY(!readAll(PanelSettings::file()).contains("s3gredo"));
        // Without a keyring (no secret service runs) the user hears the
        // password is kept for this run only; with one, nothing is said.
        const bool noKeyring = QTest::qWaitFor([&] { return !f.t.prompts->messages().isEmpty(); }, 10000);
        if (noKeyring)
            QVERIFY(f.t.prompts->messages().first().startsWith(
                QStringLiteral("A senha não pôde ser guardada no chaveiro do sistema")));

        // The next start: from the keyring, or asked.
        PanelMonitor next(*f.t.app);
        QStringList asked;
        next.setPasswordPrompt([&](const QString &text) {
            asked << text;
            return std::optional<QString>(QStringLiteral("s3gredo"));
        });
        next.start();
        QTRY_VERIFY_WITH_TIMEOUT(next.mqtt() && next.mqtt()->isConnected(), 30000);
        QCOMPARE(asked.size(), noKeyring ? 1 : 0);
        if (noKeyring)
            QVERIFY(asked.first().contains(QLatin1String("\"lab\"")));
        next.close();
    }

    void limitsRefusedUntilAllValid()
    {
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        PanelMonitor &m = *p.monitor();
        const struct {
            const char *box;
            const char *text;
            const char *message;
        } wrong[] = {
            {"TxtRHHigh", "-", "Umidade, máximo: \"-\" não é um número."},
            {"TxtRHHigh", "101", "Umidade: os limites vão de 0 a 100 %UR."},
            {"TxtTempLow", "40", "Temperatura: o mínimo deve ser menor que o máximo."},
            {"TxtDelay", "0", "Atraso: um número inteiro de amostras, de 1 a 10000, ou uma duração (90s, 30m, 2h)."},
            {"TxtTempHyst", "-", "Temperatura, histerese: \"-\" não é um número positivo."},
        };
        for (const auto &w : wrong) {
            AlarmLimits *l = openLimits(p);
            QVERIFY(l);
            l->TxtTempHigh->setText(QStringLiteral("35"));
            l->TxtDewHigh->setText(QStringLiteral("20"));
            l->findChild<QLineEdit *>(QLatin1String(w.box))->setText(QString::fromUtf8(w.text));
            f.t.prompts->shown.clear();
            l->CmdOK_Click();
            QCOMPARE(f.t.prompts->messages(), QStringList{QString::fromUtf8(w.message)});
            QVERIFY(!m.settings().limits.any());
            QVERIFY(!QFile::exists(PanelSettings::file()));
            l->close();
            QTRY_VERIFY(!m.limitsWindow);
        }
        // Temperatures in the displayed unit, kept in °C.
        p.click(QStringLiteral("CF"));
        AlarmLimits *l = openLimits(p);
        l->TxtTempHigh->setText(QStringLiteral("86"));
        l->TxtDewLow->setText(QStringLiteral("32"));
        l->CmdOK_Click();
        QVERIFY(f.t.prompts->shown.isEmpty() || f.t.prompts->messages().size() == 1);
        QCOMPARE(*m.settings().limits[Quantity::Temperature].high, 30.0);
        QCOMPARE(*m.settings().limits[Quantity::DewPoint].low, 0.0);
        l = openLimits(p);
        QCOMPARE(l->TxtTempHigh->text(), QStringLiteral("86"));
        // The open window follows a switch of the displayed unit.
        p.click(QStringLiteral("CF"));
        QCOMPARE(l->TxtTempHigh->text(), QStringLiteral("30"));
        QCOMPARE(l->TxtDewLow->text(), QStringLiteral("0"));
        p.click(QStringLiteral("CF"));
        QCOMPARE(l->TxtTempHigh->text(), QStringLiteral("86"));
        snapshot(l, QStringLiteral("alarm_limits"));
        Monitoring *w = openMonitoring(p);
        snapshot(w, QStringLiteral("monitoring"));
        w->ChkPublish->setChecked(true);
        w->TxtHost->setText(QString());
        f.t.prompts->shown.clear();
        w->CmdOK_Click();
        QCOMPARE(f.t.prompts->messages(), QStringList{"Informe o servidor MQTT (nome ou endereço)."});
        QVERIFY(!m.settings().publish.enabled);
    }

    // The warning level and the hysteresis as the panel's log tells them, and
    // the silent instrument on the test's clock.
    void warningsHysteresisAndTheSilentInstrument()
    {
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        f.sampleByHand();
        PanelMonitor &m = *p.monitor();
        m.setBeeper([] {});
        AlarmLimits *l = openLimits(p);
        l->TxtTempWarnHigh->setText(QStringLiteral("28"));
        l->TxtTempHigh->setText(QStringLiteral("32"));
        l->TxtTempHyst->setText(QStringLiteral("1"));
        l->CmdOK_Click();
        QVERIFY(f.t.prompts->messages().isEmpty());
        const auto last = [&] { return m.runLog().isEmpty() ? QString() : m.runLog().last(); };
        sampleAt(f, 29.0, 50.0);
        QVERIFY2(last().endsWith(",temperatura,aviso ALTA,29.0,28.0,°C"), qPrintable(last()));
        QCOMPARE(m.beeps(), 0); // the sound is for alarms
        // A warning has its own words and colour, never the alarm's red.
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("AVISO ALTA\n(não reconhecido)"));
        QVERIFY(isAmber(p.LblTempAlarm) && !isRed(p.LblTempAlarm));
        QVERIFY(isAmber(p.LblTemperature) && !isRed(p.LblTemperature));
        sampleAt(f, 33.0, 50.0);
        QVERIFY2(last().endsWith(",temperatura,ALTA,33.0,32.0,°C"), qPrintable(last()));
        QCOMPARE(m.beeps(), 1);
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("ALTA\n(não reconhecido)"));
        QVERIFY(isRed(p.LblTempAlarm) && isRed(p.LblTemperature) && !isAmber(p.LblTempAlarm));
        sampleAt(f, 31.5, 50.0); // within the hysteresis: still an alarm
        QCOMPARE(m.runLog().size(), 2);
        QVERIFY(isRed(p.LblTempAlarm));
        sampleAt(f, 27.5, 50.0);
        QVERIFY2(last().endsWith(",temperatura,aviso ALTA,27.5,28.0,°C"), qPrintable(last()));
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("AVISO ALTA\n(não reconhecido)"));
        QVERIFY(isAmber(p.LblTempAlarm));
        sampleAt(f, 26.5, 50.0);
        QVERIFY2(last().endsWith(",temperatura,normal,26.5,28.0,°C"), qPrintable(last()));
        QCOMPARE(m.events().size(), 1); // one event all along
        // Ended, it waits for its acknowledgement with the level it ended at.
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("AVISO ALTA\n(não reconhecido)"));
        QVERIFY(!isAmber(p.LblTemperature) && !isRed(p.LblTemperature));
        QVERIFY(m.acknowledge(m.events().first().id, QStringLiteral("porta da câmara aberta")));
        QVERIFY(p.LblTempAlarm->isHidden());
        // A low warning, acknowledged while it runs, keeps its words without the tail.
        l = openLimits(p);
        l->TxtTempWarnLow->setText(QStringLiteral("10"));
        l->CmdOK_Click();
        sampleAt(f, 9.0, 50.0);
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("AVISO BAIXA\n(não reconhecido)"));
        QVERIFY(m.acknowledge(m.events().last().id, QStringLiteral("sabido")));
        QCOMPARE(p.LblTempAlarm->text(), QStringLiteral("AVISO BAIXA"));
        sampleAt(f, 20.0, 50.0);
        QVERIFY(p.LblTempAlarm->isHidden());

        // Five minutes without a sample by the panel's clock.
        f.t.clock->t = f.t.clock->t.addSecs(301);
        QTRY_VERIFY_WITH_TIMEOUT(last().endsWith(",comunicação,sem comunicação,,,"), 10000);
        sampleFreshReading(p);
        QVERIFY2(last().endsWith(",comunicação,normal,,,"), qPrintable(last()));
        QCOMPARE(m.events().size(), 3);
    }

    // The lost instrument and its low battery have badges of their own
    // under the values, on the same terms as the values' badges; all the
    // badges at once stand clear of each other and of the values, also in
    // the smallest window.
    void linkAndBatteryBadges()
    {
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        f.sampleByHand();
        PanelMonitor &m = *p.monitor();
        m.setBeeper([] {});
        AlarmLimits *l = openLimits(p);
        l->TxtTempWarnLow->setText(QStringLiteral("20"));
        l->TxtRHWarnLow->setText(QStringLiteral("40"));
        l->TxtDewWarnLow->setText(QStringLiteral("10"));
        l->CmdOK_Click();
        QVERIFY(f.t.prompts->messages().isEmpty());
        QVERIFY(p.LblLinkAlarm->isHidden() && p.LblBatteryWarning->isHidden());

        // The instrument falls silent; five minutes later by the panel's
        // clock the link is an alarm.
        f.link->setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(p.linkDown(), 20000);
        QVERIFY(p.LblLinkAlarm->isHidden());
        f.t.clock->t = f.t.clock->t.addSecs(301);
        QTRY_VERIFY_WITH_TIMEOUT(p.LblLinkAlarm->isVisible(), 10000);
        QCOMPARE(p.LblLinkAlarm->text(), QStringLiteral("SEM COMUNICAÇÃO\n(não reconhecido)"));
        QVERIFY(isRed(p.LblLinkAlarm));

        // Back: the alarm ends with the next sample, the badge waits.
        f.link->setSilent(false);
        QVERIFY(f.waitLive(30000));
        sampleFreshReading(p);
        QVERIFY(!m.events().last().running());
        QCOMPARE(p.LblLinkAlarm->text(), QStringLiteral("SEM COMUNICAÇÃO\n(não reconhecido)"));
        QVERIFY(p.LblLinkAlarm->isVisible());

        // A low battery and three warnings while the link's badge still waits.
        f.link->model().setLowBattery(true);
        sampleAt(f, 15.0, 20.0);
        QTRY_VERIFY_WITH_TIMEOUT(p.LblBT->isVisible(), 10000);
        sampleFreshReading(p);
        QCOMPARE(p.LblBatteryWarning->text(), QStringLiteral("BATERIA FRACA\n(não reconhecido)"));
        QVERIFY(p.LblBatteryWarning->isVisible() && isAmber(p.LblBatteryWarning) && !isRed(p.LblBatteryWarning));
        const QList<QLabel *> badges{p.LblTempAlarm, p.LblRHAlarm, p.LblDewAlarm, p.LblLinkAlarm, p.LblBatteryWarning};
        for (QLabel *b : badges) {
            QVERIFY2(b->isVisible(), qPrintable(b->objectName()));
            QVERIFY2(standsClear(p, b), qPrintable(b->objectName()));
        }
        snapshot(&p, QStringLiteral("panel_all_badges"));
        p.resize(p.minimumSize());
        QTRY_COMPARE_WITH_TIMEOUT(p.size(), p.minimumSize(), 10000);
        for (QLabel *b : badges)
            QVERIFY2(standsClear(p, b),
                     qPrintable(QStringLiteral("%1 at %2x%3").arg(b->objectName()).arg(p.width()).arg(p.height())));
        snapshot(&p, QStringLiteral("panel_all_badges_smallest"));
        p.resize(Panel::kDesignSize);

        const auto idOf = [&](const QString &key) {
            for (const AlarmEvent &e : m.events())
                if (alarmSubjectKey(e) == key)
                    return e.id;
            return quint64(0);
        };
        QVERIFY(m.acknowledge(idOf(QStringLiteral("link")), QStringLiteral("cabo recolocado")));
        QVERIFY(p.LblLinkAlarm->isHidden());
        QVERIFY(m.acknowledge(idOf(QStringLiteral("battery")), QStringLiteral("pilha pedida")));
        QCOMPARE(p.LblBatteryWarning->text(), QStringLiteral("BATERIA FRACA"));
        f.link->model().setLowBattery(false);
        QTRY_VERIFY_WITH_TIMEOUT(p.LblBT->isHidden(), 10000);
        sampleFreshReading(p);
        QVERIFY(p.LblBatteryWarning->isHidden());
    }

    // "Monitoramento" sends a test e-mail off the window's way, then the
    // alarms through Debian's aiosmtpd (STARTTLS, AUTH); a refused password
    // shows in the status line.
    void alarmEmailsFromThePanel()
    {
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {"-c", "import aiosmtpd"}) != 0)
            QSKIP("python3-aiosmtpd is not installed");
        SmtpServer smtp(QStringLiteral("alarmes"), QStringLiteral("s3nha"));
        QVERIFY2(smtp.start(), qPrintable(smtp.server().lastError()));
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        f.sampleByHand();
        PanelMonitor &m = *p.monitor();
        m.setBeeper([] {});
        Monitoring *w = openMonitoring(p);
        QVERIFY(w);
        w->ChkEmail->setChecked(true);
        w->TxtSmtp->setText(smtp.url());
        w->TxtSmtpUser->setText(QStringLiteral("alarmes"));
        w->TxtSmtpPassword->setText(QStringLiteral("s3nha"));
        w->TxtEmailFrom->setText(QStringLiteral("painel@example.org"));
        w->TxtEmailTo->setText(QStringLiteral("ops@example.org; chefe@example.org"));
        w->TxtSmtpCa->setText(smtp.caFile());
        w->TxtEmailRepeat->setText(QStringLiteral("0"));
        w->CmdTestEmail_Click();
        QTRY_COMPARE_WITH_TIMEOUT(smtp.messages().size(), 1, 30000);
        QVERIFY(smtp.subjects().first().startsWith(QStringLiteral("[Termo-higrômetro] E-mail de teste")));
        QTRY_VERIFY_WITH_TIMEOUT(f.t.prompts->messages().contains("O servidor aceitou o e-mail de teste."), 30000);
        w->CmdOK_Click();
        QVERIFY(m.settings().email.enabled);
        QVERIFY(!readAll(PanelSettings::file()).contains("s3nha"));

        AlarmLimits *l = openLimits(p);
        l->TxtTempHigh->setText(QStringLiteral("30"));
        l->CmdOK_Click();
        sampleAt(f, 32.0, 50.0);
        QTRY_COMPARE_WITH_TIMEOUT(smtp.messages().size(), 2, 30000);
        QVERIFY2(
            smtp.subjects().last().startsWith(QStringLiteral("[Termo-higrômetro] ALARME Temperatura ALTA 32,0 °C")),
            qPrintable(smtp.subjects().last()));
        QCOMPARE(smtp.messages().last().value("to").toArray().size(), 2);

        // A wrong password: said in the status line, the samples go on.
        w = openMonitoring(p);
        w->TxtSmtpPassword->setText(QStringLiteral("errada"));
        w->CmdOK_Click();
        sampleAt(f, 25.0, 50.0);
        QTRY_VERIFY_WITH_TIMEOUT(m.statusText().contains("E-mail não enviado: o servidor recusou o usuário ou a senha"),
                                 30000);
        QCOMPARE(smtp.messages().size(), 2);
    }

    void settingsLastAndSurviveDamage()
    {
        PanelFixture f;
        Panel &p = *f.panel;
        QVERIFY(f.start());
        AlarmLimits *l = openLimits(p);
        l->TxtTempLow->setText(QStringLiteral("-5.5"));
        l->TxtRHHigh->setText(QStringLiteral("80"));
        l->TxtDewHigh->setText(QStringLiteral("2,3"));
        l->TxtDelay->setText(QStringLiteral("3"));
        l->TxtRHWarnHigh->setText(QStringLiteral("70,5"));
        l->TxtRHHyst->setText(QStringLiteral("2"));
        l->TxtWarnDelay->setText(QStringLiteral("2m"));
        l->TxtLinkAfter->setText(QStringLiteral("10m"));
        l->ChkSound->setChecked(false);
        l->CmdOK_Click();
        Monitoring *w = openMonitoring(p);
        w->TxtHost->setText(QStringLiteral("broker.lab"));
        w->TxtPort->setText(QStringLiteral("8883"));
        w->TxtPrefix->setText(QStringLiteral("lab/sala-2"));
        w->TxtId->setText(QStringLiteral("sala2"));
        w->ChkDiscovery->setChecked(true);
        w->TxtMetricsPort->setText(QStringLiteral("9105"));
        w->CmdOK_Click();
        QVERIFY(f.t.prompts->messages().isEmpty());

        // The next start reads back what was stored.
        QString problem;
        const PanelSettings back = PanelSettings::load(&problem);
        QVERIFY(problem.isEmpty());
        QCOMPARE(*back.limits[Quantity::Temperature].low, -5.5);
        QVERIFY(!back.limits[Quantity::Temperature].high);
        QCOMPARE(*back.limits[Quantity::Humidity].high, 80.0);
        QCOMPARE(back.delay, 3);
        QCOMPARE(*back.warning[Quantity::Humidity].high, 70.5);
        QCOMPARE(back.hysteresis[size_t(Quantity::Humidity)], 2.0);
        QCOMPARE(back.warningDelay, AlarmDelay({1, 120000}));
        QCOMPARE(back.linkAlarmAfterMs, qint64(600000));
        QVERIFY(!back.sound);
        // What was typed, not its binary neighbour (2.2999999999999998).
        QVERIFY2(readAll(PanelSettings::file()).contains("dew=:2.3\n"), readAll(PanelSettings::file()).constData());
        PublishOptions expected;
        expected.host = QStringLiteral("broker.lab");
        expected.port = 8883;
        expected.topicPrefix = QStringLiteral("lab/sala-2");
        expected.id = QStringLiteral("sala2");
        expected.haDiscovery = true;
        expected.metricsPort = 9105;
        QVERIFY(back.publish == expected);

        // A damaged file: the defaults and one message, the file kept aside;
        // a second one does not take the first one's place.
        const QString file = PanelSettings::file();
        const QStringList kept = {file + QStringLiteral(".danificado"), file + QStringLiteral(".danificado.2")};
        const QList<QByteArray> damages = {QByteArray("\x00\xff garbage \x01\n[[[", 16),
                                           readAll(file).replace("delay=3", "delay=tres")};
        for (int i = 0; i < damages.size(); ++i) {
            const QByteArray &damage = damages[i];
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(damage);
            out.close();
            TestApp again;
            PanelSettings::setFile(file);
            PanelMonitor m(*again.app);
            m.start();
            QCOMPARE(again.prompts->messages().size(), 1);
            QVERIFY2(again.prompts->messages().first().contains(QStringLiteral("Os valores padrão serão usados")),
                     qPrintable(again.prompts->messages().first()));
            QVERIFY(!m.settings().limits.any());
            QCOMPARE(m.settings().delay, 1);
            QVERIFY(m.settings().sound);
            QCOMPARE(readAll(kept[i]), damage);
            QVERIFY(!QFile::exists(file));
        }
        QCOMPARE(readAll(kept[0]), damages[0]);
    }
};

QTEST_MAIN(TestPanelMonitor)
#include "tst_panel_monitor.moc"
