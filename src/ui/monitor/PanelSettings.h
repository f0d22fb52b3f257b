#pragma once

#include "core/monitor/Alarms.h"

#include "core/stats/Limits.h"

#include <QString>

// Where the panel publishes its samples, as `termohigrometro-cli monitor`
// would with the same options. The password is not here: it lives in the
// user's keyring.
struct PublishOptions {
    bool enabled = false;
    QString host;
    quint16 port = 1883;
    QString user;
    QString caFile;
    QString topicPrefix; // empty: termohigrometro/<id>
    QString id;          // empty: taken from the port's name
    bool haDiscovery = false;
    quint16 metricsPort = 0; // 0: no metrics endpoint

    bool operator==(const PublishOptions &) const = default;
};

// Alarm e-mails, as `monitor --smtp ... --email-to ...` sends them. The
// password is in the keyring.
struct EmailOptions {
    bool enabled = false;
    QString url; // smtp://host:587 (STARTTLS) or smtps://host:465
    QString user;
    QString from;
    QString to; // addresses separated by "," or ";"
    QString caFile;
    bool insecure = false;
    qint64 repeatMs = 3600000;
    QStringList recipients() const;
    bool operator==(const EmailOptions &) const = default;
};

// The panel's own settings beyond the instrument's: they persist between
// runs, unlike the others, which start from their defaults every time.
struct PanelSettings {
    Limits limits; // temperatures in °C, humidity in %
    int delay = 1; // samples outside in a row before an alarm starts
    bool sound = true;
    // Beyond the alarm: warning bounds, their delay, the alarm's delay as a
    // duration (instead of `delay` samples), hysteresis per quantity and the
    // time without a sample that is an alarm of the link.
    Limits warning;
    AlarmDelay warningDelay;
    qint64 delayMs = 0;
    std::array<double, kQuantities> hysteresis{};
    qint64 linkAlarmAfterMs = 5 * 60 * 1000;
    // What the alarm state machine is told.
    AlarmConfig alarmConfig() const;
    bool sameAlarms(const PanelSettings &o) const { return alarmConfig() == o.alarmConfig() && sound == o.sound; }
    PublishOptions publish;
    // Every change of the instrument first asks its reason, for the trail.
    bool askReasons = false;
    EmailOptions email;

    static constexpr int kMaxDelay = 10000;

    // The settings file (an INI file in the user's configuration folder).
    static QString file();
    // Tests keep their settings in a folder of their own.
    static void setFile(const QString &path);

    // What the file holds. A file that cannot be read or holds anything but
    // what save() writes gives the defaults and the reason in *problem; a
    // damaged file is kept beside under another name, so the next save
    // starts afresh without destroying it.
    static PanelSettings load(QString *problem = nullptr);
    bool save(QString *error = nullptr) const;
};
