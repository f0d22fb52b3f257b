// The monitoring logic without any network: when samples are due, how alarms
// start and end, the exact MQTT texts, and the queue that carries them over
// a broker's outage.
#include "core/monitor/Alarms.h"
#include "core/monitor/EmailSink.h"
#include "core/monitor/MqttPayload.h"
#include "core/monitor/PublishQueue.h"
#include "core/monitor/Schedule.h"
#include "core/monitor/SinkSet.h"
#include "core/reading/Decode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>

namespace {
// A frame of the instrument: temperature and humidity as it would send them.
Reading reading(double tempC, double rh, quint8 status = 0, bool lowBattery = false)
{
    const int t = qRound((tempC + 50) * 100);
    const int h = qRound(rh * 100) | (lowBattery ? 0x8000 : 0);
    QByteArray f;
    f.append(char(2)).append(char(status)).append(char(h >> 8)).append(char(h & 0xff));
    f.append(char(t >> 8)).append(char(t & 0xff)).append(char(3));
    Reading r;
    decodeFrame(r, f);
    return r;
}

Sample sample(double tempC, double rh = 50, int k = 0)
{
    Sample s;
    s.time = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0), QTimeZone(-3 * 3600)).addSecs(k);
    s.reading = reading(tempC, rh);
    s.sequence = quint64(k + 1);
    return s;
}

QJsonObject object(const QByteArray &json)
{
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(json, &e);
    [&] { QCOMPARE(e.error, QJsonParseError::NoError); }();
    return d.object();
}

class RecordingSink : public SampleSink {
public:
    QStringList log;
    void onSample(const Sample &s) override { log << QStringLiteral("sample %1").arg(s.sequence); }
    void onLinkChanged(bool up, const QDateTime &) override { log << (up ? "up" : "down"); }
    void onAlarm(const AlarmEvent &e) override { log << QStringLiteral("alarm ") + alarmStateKey(e.state); }
    void onAcknowledged(const AlarmEvent &e) override
    {
        log << QStringLiteral("ack %1 %2 %3").arg(e.id).arg(e.ackUser, e.ackComment);
    }
    void onSettingsChanged(const QString &action, const QJsonObject &before, const QJsonObject &after) override
    {
        log << QStringLiteral("settings %1 %2 -> %3")
                   .arg(action, before.value("alarm_delay").toString(), after.value("alarm_delay").toString());
    }
    void close() override { log << "close"; }
};
} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    void scheduleKeepsItsGrid()
    {
        SampleSchedule s(1000, 0);
        QVERIFY(s.due(0));
        // A read that took 700 ms does not move the next slot.
        s.taken(700);
        QCOMPARE(s.nextDueMs(), 1000);
        QVERIFY(!s.due(999));
        // A stall of 3.5 s skips the slots it missed instead of bunching them.
        s.taken(4500);
        QCOMPARE(s.nextDueMs(), 5000);
        // The link came back at 12.2 s: the next slot of the grid, not 12.2 s.
        s.skipTo(12200);
        QCOMPARE(s.nextDueMs(), 13000);
        s.skipTo(100); // nothing to skip
        QCOMPARE(s.nextDueMs(), 13000);
    }

    void alarmsWaitForTheDelayAndEndInside()
    {
        Limits limits;
        QString error;
        QVERIFY(parseLimit(QStringLiteral("temp=20:30"), limits, &error));
        QVERIFY(parseLimit(QStringLiteral("rh=:60"), limits, &error));
        AlarmMonitor alarms(limits, 3);
        int k = 0;
        // Two samples above, one back inside: no alarm, the count starts over.
        QVERIFY(alarms.update(sample(31, 50, k++)).isEmpty());
        QVERIFY(alarms.update(sample(31, 50, k++)).isEmpty());
        QVERIFY(alarms.update(sample(30, 50, k++)).isEmpty()); // on the bound is inside
        QVERIFY(alarms.update(sample(31, 50, k++)).isEmpty());
        QVERIFY(alarms.update(sample(31, 50, k++)).isEmpty());
        // The third in a row starts it, with that sample's time and value.
        const Sample third = sample(31.5, 50, k++);
        QVector<AlarmEvent> e = alarms.update(third);
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].quantity, Quantity::Temperature);
        QCOMPARE(e[0].state, AlarmState::High);
        QCOMPARE(*e[0].value, 31.5);
        QCOMPARE(e[0].time, third.time);
        QCOMPARE(*e[0].bounds.low, 20.0);
        // Still high: no change. Straight to low: a change at once.
        QVERIFY(alarms.update(sample(32, 50, k++)).isEmpty());
        e = alarms.update(sample(19, 50, k++));
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].state, AlarmState::Low);
        // The first sample inside ends it; humidity has its own count.
        e = alarms.update(sample(25, 61, k++));
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].state, AlarmState::Ok);
        QCOMPARE(alarms.state(Quantity::Humidity), AlarmState::Ok);

        // Samples on both sides of a lost link are not "in a row".
        alarms.update(sample(35, 50, k++));
        alarms.update(sample(35, 50, k++));
        alarms.linkLost();
        QVERIFY(alarms.update(sample(35, 50, k++)).isEmpty());
    }

    void alarmsIgnoreTextsThatAreNotNumbers()
    {
        Limits limits;
        QString error;
        QVERIFY(parseLimit(QStringLiteral("dew=5:"), limits, &error));
        AlarmMonitor alarms(limits, 1);
        // At 0 % the dew point reads "----.0": neither inside nor outside.
        QCOMPARE(sample(25, 0).reading.DewCDot, QStringLiteral("----.0"));
        QVERIFY(alarms.update(sample(25, 0)).isEmpty());
        QCOMPARE(alarms.update(sample(0, 20)).size(), 1); // dew point far below 5
        QVERIFY(alarms.update(sample(25, 0)).isEmpty());  // and it stays low
        QCOMPARE(alarms.state(Quantity::DewPoint), AlarmState::Low);
    }

    void delaysCountSamplesOrTime()
    {
        QCOMPARE(AlarmDelay::parse("3"), AlarmDelay({3, 0}));
        QCOMPARE(AlarmDelay::parse("90s"), AlarmDelay({1, 90000}));
        QCOMPARE(AlarmDelay::parse("30m"), AlarmDelay({1, 1800000}));
        QCOMPARE(AlarmDelay::parse("2h"), AlarmDelay({1, 7200000}));
        for (const char *bad : {"0", "-1", "0s", "", "5x", "m"})
            QVERIFY2(!AlarmDelay::parse(bad), bad);
        QCOMPARE(parseDurationMs("0"), qint64(0));
        QCOMPARE(durationText(*parseDurationMs("1,5m")), QStringLiteral("90s"));

        // 90 s outside without a sample inside, at one sample a minute.
        AlarmConfig c;
        QString error;
        QVERIFY(parseLimit("temp=:30", c.alarm, &error));
        c.alarmDelay = *AlarmDelay::parse("90s");
        AlarmMonitor alarms(c);
        QVERIFY(alarms.update(sample(31, 50, 0)).isEmpty());
        QVERIFY(alarms.update(sample(31, 50, 60)).isEmpty());
        QVERIFY(alarms.update(sample(29, 50, 120)).isEmpty()); // inside: the time starts over
        QVERIFY(alarms.update(sample(31, 50, 180)).isEmpty());
        QVERIFY(alarms.update(sample(31, 50, 240)).isEmpty());
        const auto e = alarms.update(sample(31, 50, 270));
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].started, sample(0, 50, 270).time);
    }

    void twoLevelsWithHysteresis()
    {
        AlarmConfig c;
        QString error;
        QVERIFY(parseLimit("temp=2:8", c.warning, &error));
        QVERIFY(parseLimit("temp=0:10", c.alarm, &error));
        c.warningDelay = AlarmDelay{2, 0};
        c.hysteresis[size_t(Quantity::Temperature)] = 0.5;
        AlarmMonitor alarms(c);
        int k = 0;
        auto step = [&](double t) { return alarms.update(sample(t, 50, k++)); };
        QVERIFY(step(8.5).isEmpty()); // the warning waits for its second sample
        auto e = step(8.6);
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].change, AlarmChange::Started);
        QCOMPARE(e[0].level, AlarmLevel::Warning);
        QCOMPARE(alarmEventStateKey(e[0]), QStringLiteral("warning-high"));
        QCOMPARE(*e[0].bounds.high, 8.0);
        const quint64 id = e[0].id;
        QCOMPARE(alarms.state(Quantity::Temperature), AlarmState::Ok); // no alarm yet
        // The alarm level wins, at once (its delay is one sample), on the same event.
        e = step(10.4);
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].change, AlarmChange::Changed);
        QCOMPARE(e[0].id, id);
        QCOMPARE(alarmEventStateKey(e[0]), QStringLiteral("high"));
        QCOMPARE(alarms.state(Quantity::Temperature), AlarmState::High);
        QVERIFY(step(11.2).isEmpty());
        // Back inside the alarm bounds but not by the hysteresis: the alarm lasts.
        QVERIFY(step(9.8).isEmpty());
        e = step(9.5); // 10 - 0.5: on the edge of the hysteresis band, out of it
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].level, AlarmLevel::Warning);
        QVERIFY(step(7.7).isEmpty()); // within 0.5 of the warning's bound
        e = step(7.4);
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].change, AlarmChange::Ended);
        QCOMPARE(e[0].state, AlarmState::Ok);
        QCOMPARE(*e[0].peak, 11.2);
        QCOMPARE(e[0].level, AlarmLevel::Warning);
        QVERIFY(e[0].ended.isValid());
        QVERIFY(!e[0].acknowledged); // still waits for someone
        // The next excursion is a new event.
        step(1.0);
        e = step(1.0);
        QCOMPARE(e.size(), 1);
        QCOMPARE(alarmEventStateKey(e[0]), QStringLiteral("warning-low"));
        QVERIFY(e[0].id > id);
    }

    void acknowledgementNeedsAKnownIdAndAComment()
    {
        AlarmConfig c;
        QString error;
        QVERIFY(parseLimit("temp=2:8", c.warning, &error));
        QVERIFY(parseLimit("temp=0:10", c.alarm, &error));
        AlarmMonitor alarms(c);
        QList<quint64> taken;
        alarms.setNextId(41);
        alarms.onIdTaken([&](quint64 id) { taken << id; });
        const quint64 id = alarms.update(sample(9, 50, 0)).value(0).id;
        QCOMPARE(id, quint64(41));
        QCOMPARE(taken, QList<quint64>{41});
        const QDateTime when = sample(0, 50, 30).time;
        QVERIFY(alarms.acknowledge(99, "ana", "ok", when).error.contains("unknown"));
        QVERIFY(!alarms.acknowledge(id, "ana", "   ", when).ok);
        QCOMPARE(alarms.unacknowledged(), 1);
        auto r = alarms.acknowledge(id, "ana", "porta aberta", when);
        QVERIFY(r.ok);
        QCOMPARE(r.event.change, AlarmChange::Acknowledged);
        QCOMPARE(r.event.ackUser, QStringLiteral("ana"));
        QCOMPARE(r.event.ackTime, when);
        QVERIFY(!alarms.acknowledge(id, "rui", "de novo", when).ok);
        QCOMPARE(alarms.unacknowledged(), 0);
        // An acknowledged warning that turns into an alarm waits for a new one.
        auto e = alarms.update(sample(11, 50, 60));
        QCOMPARE(e.size(), 1);
        QVERIFY(!e[0].acknowledged);
        QCOMPARE(alarms.unacknowledged(), 1);
        // Ended, it still waits.
        alarms.update(sample(5, 50, 120));
        QCOMPARE(alarms.unacknowledged(), 1);
        QVERIFY(!alarms.event(id)->running());
        QVERIFY(alarms.acknowledge(id, "ana", "resolvido", when).ok);
    }

    void aSilentInstrumentAndALowBatteryAreEvents()
    {
        AlarmConfig c;
        c.linkAlarmAfterMs = 5 * 60 * 1000;
        AlarmMonitor alarms(c);
        const QDateTime t0 = sample(0, 50, 0).time;
        alarms.start(t0);
        QVERIFY(alarms.checkLink(t0.addSecs(299)).isEmpty());
        auto e = alarms.checkLink(t0.addSecs(300));
        QCOMPARE(e.size(), 1);
        QCOMPARE(alarmSubjectKey(e[0]), QStringLiteral("link"));
        QCOMPARE(e[0].level, AlarmLevel::Alarm);
        QVERIFY(alarms.checkLink(t0.addSecs(900)).isEmpty()); // one event per silence
        Sample s = sample(20, 50, 901);
        s.reading = reading(20, 50, 0, true);
        e = alarms.update(s);
        QCOMPARE(e.size(), 2); // the link first, then the battery
        QCOMPARE(e[0].change, AlarmChange::Ended);
        QCOMPARE(alarmSubjectKey(e[1]), QStringLiteral("battery"));
        QCOMPARE(e[1].level, AlarmLevel::Warning);
        QVERIFY(alarms.update(s).isEmpty());
        // The time counts from the latest sample.
        QVERIFY(alarms.checkLink(s.time.addSecs(299)).isEmpty());
        e = alarms.update(sample(20, 50, 1000));
        QCOMPARE(e.size(), 1);
        QCOMPARE(e[0].change, AlarmChange::Ended);
        // Off with 0; and the constructor of limits alone has neither.
        c.linkAlarmAfterMs = 0;
        alarms.setConfig(c);
        QVERIFY(alarms.checkLink(t0.addDays(1)).isEmpty());
        AlarmMonitor limitsOnly(Limits{}, 1);
        limitsOnly.start(t0);
        QVERIFY(limitsOnly.checkLink(t0.addDays(1)).isEmpty());
        QVERIFY(limitsOnly.update(s).isEmpty());
    }

    void emailsForNewsAndRemindersUntilAcknowledged()
    {
        AlarmConfig c;
        QString error;
        QVERIFY(parseLimit("temp=2:8", c.warning, &error));
        QVERIFY(parseLimit("temp=0:10", c.alarm, &error));
        SinkSet set{AlarmMonitor(c)};
        QDateTime now = sample(0, 50, 0).time;
        QStringList subjects;
        QList<QByteArray> messages;
        EmailSinkOptions o;
        o.instrument = "camara-1";
        o.ackTopic = "lab/camara-1/alarm/ack";
        o.from = "termo@example.org";
        o.to = QStringList{"a@example.org", "b@example.org"};
        o.repeatMs = 600000;
        EmailSink mail(
            o,
            [&](const QByteArray &m, const QString &what) {
                messages << m;
                subjects << what;
            },
            [&] { return now; });
        set.add(&mail);
        int k = 0;
        auto at = [&](double t) {
            now = sample(0, 50, k).time;
            set.sample(sample(t, 50, k));
            k += 60;
        };
        at(5);
        at(9.3);  // warning
        at(9.8);  // the same warning: no news
        at(10.5); // an alarm
        at(-0.5); // to the other side: no news
        at(5);    // the end
        QCOMPARE(subjects, (QStringList{"[Termo-higrômetro] AVISO Temperatura ALTA 9,3 °C — camara-1",
                                        "[Termo-higrômetro] ALARME Temperatura ALTA 10,5 °C — camara-1",
                                        "[Termo-higrômetro] FIM ALARME Temperatura 5,0 °C — camara-1"}));
        const QString end = QString::fromUtf8(messages.last());
        QVERIFY(end.contains("To: a@example.org, b@example.org\r\n"));
        QVERIFY(end.contains("Subject: =?UTF-8?B?"));
        QVERIFY(end.contains("Duração: 4 min"));
        QVERIFY(end.contains("Pico: -0,5 °C")); // the last side's farthest value
        QVERIFY(end.contains("\"id\": 1"));
        QVERIFY(end.contains("lab/camara-1/alarm/ack"));
        QVERIFY(!end.contains("\n\n.")); // no line of a lone dot

        // Reminders every 10 minutes while nobody acknowledges, none after.
        now = now.addSecs(599);
        mail.checkRepeats();
        QCOMPARE(subjects.size(), 3);
        now = now.addSecs(1);
        mail.checkRepeats();
        QCOMPARE(subjects.size(), 4);
        QVERIFY(subjects.last().contains("NÃO RECONHECIDO"));
        mail.checkRepeats();
        QCOMPARE(subjects.size(), 4);
        QVERIFY(set.acknowledge(1, "ana", "ok", now).ok);
        now = now.addSecs(3600);
        mail.checkRepeats();
        QCOMPARE(subjects.size(), 4);

        // The lost and restored instrument.
        set.alarms().start(now);
        set.checkLink(now.addSecs(300));
        QCOMPARE(subjects.last(),
                 QStringLiteral("[Termo-higrômetro] ALARME Sem comunicação com o instrumento — camara-1"));
        now = now.addSecs(400);
        set.sample(sample(5, 50, 2000));
        QVERIFY(
            subjects.last().startsWith("[Termo-higrômetro] FIM ALARME Comunicação com o instrumento restabelecida"));
        set.close();
    }

    // A warning someone acknowledged still tells its turn into an alarm;
    // without reminders nothing is kept of the events that ended.
    void emailsWithoutReminders()
    {
        AlarmConfig c;
        QString error;
        QVERIFY(parseLimit("temp=:8", c.warning, &error));
        QVERIFY(parseLimit("temp=:10", c.alarm, &error));
        SinkSet set{AlarmMonitor(c)};
        QDateTime now = sample(0, 50, 0).time;
        QStringList subjects;
        EmailSinkOptions o;
        o.instrument = "camara-2";
        o.from = "termo@example.org";
        o.to = QStringList{"a@example.org"};
        o.repeatMs = 0;
        EmailSink mail(
            o, [&](const QByteArray &, const QString &what) { subjects << what; }, [&] { return now; });
        set.add(&mail);
        set.sample(sample(9, 50, 0));
        QVERIFY(set.acknowledge(1, "ana", "vista", now).ok);
        set.sample(sample(11, 50, 60));
        QCOMPARE(subjects.size(), 2);
        QCOMPARE(subjects.last(), QStringLiteral("[Termo-higrômetro] ALARME Temperatura ALTA 11,0 °C — camara-2"));
        for (int k = 2; k < 40; k += 2) {
            set.sample(sample(5, 50, 60 * k));
            set.sample(sample(11, 50, 60 * k + 60));
        }
        QCOMPARE(mail.waitingForAcknowledgement(), 0);
        set.close();
    }

    void statePayloadCarriesTheDotTexts()
    {
        Sample s = sample(25, 50);
        s.reading.LowBattery = true;
        s.reading.InstrumentRecording = true;
        QCOMPARE(statePayload(s),
                 QByteArray("{\"time\":\"2026-12-09T10:00:00-03:00\",\"temp_c\":25,\"temp_f\":77,\"rh\":50,"
                            "\"dew_c\":13.9,\"dew_f\":57,\"wet_c\":18,\"wet_f\":64.4,\"low_battery\":true,"
                            "\"logging\":true,\"hold\":false,\"memory_full\":false}"));
        // Cut, not rounded, as a data file holds them; null where no number.
        s = sample(23.47, 0);
        s.time = QDateTime(QDate(2026, 7, 1), QTime(8, 30, 5), QTimeZone::utc());
        const QJsonObject o = object(statePayload(s));
        QCOMPARE(o.value("time").toString(), QStringLiteral("2026-07-01T08:30:05+00:00"));
        QCOMPARE(o.value("temp_c").toDouble(), 23.4);
        QVERIFY(o.value("dew_c").isNull());
        QVERIFY(o.value("wet_f").isNull());
        s.reading.TempCDot = QStringLiteral("OL");
        QVERIFY(object(statePayload(s)).value("temp_c").isNull());
        // A zone east of UTC, with minutes.
        s.time = QDateTime(QDate(2026, 7, 1), QTime(8, 30, 5), QTimeZone(5 * 3600 + 1800));
        QCOMPARE(object(statePayload(s)).value("time").toString(), QStringLiteral("2026-07-01T08:30:05+05:30"));
    }

    void alarmPayload_()
    {
        AlarmEvent e;
        e.time = e.started = sample(31.5).time;
        e.quantity = Quantity::Humidity;
        e.state = AlarmState::High;
        e.value = e.peak = 61.5;
        e.bounds = {std::nullopt, 60.0};
        e.id = 7;
        // The fields a user of --limit always had come first, unchanged.
        QCOMPARE(alarmPayload(e), QByteArray("{\"time\":\"2026-12-09T10:00:00-03:00\",\"quantity\":\"rh\","
                                             "\"state\":\"high\",\"value\":61.5,\"low\":null,\"high\":60,"
                                             "\"id\":7,\"level\":\"alarm\",\"event\":\"started\","
                                             "\"acknowledged\":false,\"ack_user\":null,\"ack_comment\":null,"
                                             "\"ack_time\":null,\"started\":\"2026-12-09T10:00:00-03:00\","
                                             "\"ended\":null,\"peak\":61.5}"));
        e.level = AlarmLevel::Warning;
        QCOMPARE(object(alarmPayload(e)).value("state").toString(), QStringLiteral("warning-high"));
        e.subject = AlarmSubject::Link;
        QCOMPARE(object(alarmPayload(e)).value("quantity").toString(), QStringLiteral("link"));
        QCOMPARE(object(alarmPayload(e)).value("state").toString(), QStringLiteral("lost"));
        e.ended = e.time.addSecs(60);
        QCOMPARE(object(alarmPayload(e)).value("state").toString(), QStringLiteral("ok"));
    }

    void ackRequestsAreCheckedBeforeTheyReachTheAlarms()
    {
        AckRequest r;
        QString error;
        QVERIFY(parseAckRequest(R"({"id": 3, "user": "ana", "comment": " porta aberta "})", &r, &error));
        QCOMPARE(r.id, quint64(3));
        QCOMPARE(r.comment, QStringLiteral("porta aberta"));
        for (const char *bad : {"[]", "{\"id\": \"3\", \"comment\": \"x\"}", "{\"id\": 2.5, \"comment\": \"x\"}",
                                "{\"id\": 0, \"comment\": \"x\"}", "{\"id\": 3, \"comment\": \"  \"}", "nada"})
            QVERIFY2(!parseAckRequest(bad, &r, &error), bad);
        QVERIFY(!parseAckRequest(R"({"id": 3, "user": "ana"})", &r, &error));
        QVERIFY(error.contains("comment"));
        QCOMPARE(ackResultPayload(std::nullopt, false, "x"), QByteArray(R"({"id":null,"ok":false,"error":"x"})"));
    }

    void discoveryConfigs()
    {
        const MqttTopics topics{QStringLiteral("lab/sala1")};
        const auto configs = haDiscoveryConfigs(QStringLiteral("ttyUSB0"), topics, QStringLiteral("ha"));
        QStringList names;
        for (const auto &c : configs)
            names << c.topic;
        QCOMPARE(names, QStringList({"ha/sensor/ttyUSB0/temperature/config", "ha/sensor/ttyUSB0/humidity/config",
                                     "ha/sensor/ttyUSB0/dew_point/config", "ha/sensor/ttyUSB0/wet_bulb/config",
                                     "ha/binary_sensor/ttyUSB0/low_battery/config"}));
        QStringList uniques;
        for (const auto &c : configs) {
            const QJsonObject o = object(c.payload);
            for (const char *key : {"name", "unique_id", "value_template", "device_class"})
                QVERIFY2(!o.value(key).toString().isEmpty(), key);
            QCOMPARE(o.value("state_topic").toString(), QStringLiteral("lab/sala1/state"));
            QCOMPARE(o.value("availability_topic").toString(), QStringLiteral("lab/sala1/availability"));
            QVERIFY(o.value("device").toObject().value("identifiers").toArray().contains(QStringLiteral("ttyUSB0")));
            uniques << o.value("unique_id").toString();
        }
        uniques.removeDuplicates();
        QCOMPARE(uniques.size(), 5);
        const QJsonObject temp = object(configs[0].payload);
        QCOMPARE(temp.value("value_template").toString(), QStringLiteral("{{ value_json.temp_c }}"));
        QCOMPARE(temp.value("unit_of_measurement").toString(), QStringLiteral("°C"));
        QCOMPARE(temp.value("state_class").toString(), QStringLiteral("measurement"));
        QCOMPARE(object(configs[1].payload).value("unit_of_measurement").toString(), QStringLiteral("%"));
        QVERIFY(!object(configs[4].payload).contains("unit_of_measurement"));
    }

    void idsAndPrefixes()
    {
        QCOMPARE(instrumentIdFromPort(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("ttyUSB0"));
        QCOMPARE(instrumentIdFromPort(QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0")),
                 QStringLiteral("pci-0000_00_14_0-usb-0_1_1_0-port0"));
        QVERIFY(isValidInstrumentId(instrumentIdFromPort(QStringLiteral("/dev/"))));
        QVERIFY(!isValidInstrumentId(QStringLiteral("a/b")));
        QVERIFY(!isValidInstrumentId(QStringLiteral("sala+1")));
        QVERIFY(!isValidInstrumentId(QString()));
        QVERIFY(isValidTopicPrefix(QStringLiteral("lab/sala 1")));
        for (const char *bad : {"", "lab/#", "lab/+/x", "/lab", "lab/"})
            QVERIFY2(!isValidTopicPrefix(QString::fromUtf8(bad)), bad);
    }

    void queueDeliversInOrderAcrossALoss()
    {
        PublishQueue q(10000);
        for (int i = 1; i <= 5; ++i)
            q.push({QStringLiteral("t"), QByteArray::number(i), true});
        // A window of 2: two go out, the third waits for an acknowledgement.
        QCOMPARE(q.nextToSend(2)->payload, QByteArray("1"));
        q.sent(101);
        QCOMPARE(q.nextToSend(2)->payload, QByteArray("2"));
        q.sent(102);
        QVERIFY(!q.nextToSend(2));
        q.acknowledged(101);
        QCOMPARE(q.size(), 4);
        QCOMPARE(q.nextToSend(2)->payload, QByteArray("3"));
        q.sent(103);
        q.acknowledged(103); // out of order: 2 still holds the head
        QCOMPARE(q.size(), 4);
        // The connection goes: 2 (maybe received) goes again, then 4 and 5.
        q.connectionLost();
        QByteArrayList again;
        int mid = 1;
        while (const auto *m = q.nextToSend(50)) {
            again << m->payload;
            q.sent(mid++);
        }
        QCOMPARE(again, QByteArrayList({"2", "4", "5"}));
        for (int i = 1; i < mid; ++i)
            q.acknowledged(i);
        QVERIFY(q.isEmpty());
        q.acknowledged(7); // unknown ids are ignored
    }

    void queueDropsTheOldestWhenFull()
    {
        PublishQueue q(3);
        for (int i = 1; i <= 3; ++i)
            q.push({QStringLiteral("t"), QByteArray::number(i), true});
        q.sent(1); // "1" may be at the broker already: it is never dropped
        q.push({QStringLiteral("t"), "4", true});
        q.push({QStringLiteral("t"), "5", true});
        QCOMPARE(q.size(), 3);
        QCOMPARE(q.droppedTotal(), quint64(2));
        QCOMPARE(q.takeDropped(), quint64(2));
        QCOMPARE(q.takeDropped(), quint64(0));
        q.connectionLost();
        QByteArrayList left;
        while (const auto *m = q.nextToSend(10)) {
            left << m->payload;
            q.sent(int(left.size()));
        }
        QCOMPARE(left, QByteArrayList({"1", "4", "5"}));
    }

    void sinkSetOrdersSamplesAlarmsAndLink()
    {
        Limits limits;
        QString error;
        QVERIFY(parseLimit(QStringLiteral("temp=:30"), limits, &error));
        SinkSet set(AlarmMonitor(limits, 1));
        RecordingSink a, b;
        set.add(&a);
        set.add(&b);
        set.linkChanged(true, {});
        set.linkChanged(true, {}); // no change, nothing told
        const quint64 id = set.sample(sample(31)).value(0).id;
        QVERIFY(!set.acknowledge(id, "ana", "", {}).ok); // refused: nobody hears of it
        QVERIFY(set.acknowledge(id, "ana", "visto", {}).ok);
        AlarmConfig c = set.alarms().config();
        set.setConfig(c); // the same: nothing to tell
        c.alarmDelay = AlarmDelay{1, 60000};
        set.setConfig(c);
        set.linkChanged(false, {});
        set.close();
        set.close();
        const QStringList expected{
            "up",   "sample 1", "alarm high", QStringLiteral("ack %1 ana visto").arg(id), "settings limits 1 -> 1m",
            "down", "close"};
        QCOMPARE(a.log, expected);
        QCOMPARE(b.log, expected);
    }
};

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
