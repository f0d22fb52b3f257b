#pragma once

#include "core/monitor/Sink.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QVector>

// The topics of one instrument under its prefix (default termohigrometro/<id>).
struct MqttTopics {
    QString prefix;
    QString state() const { return prefix + QStringLiteral("/state"); }
    QString availability() const { return prefix + QStringLiteral("/availability"); }
    QString link() const { return prefix + QStringLiteral("/link"); }
    QString alarm() const { return prefix + QStringLiteral("/alarm"); }
    // {"id": N, "user": "...", "comment": "..."} acknowledges an event; the
    // refusals go to ackResult().
    QString ack() const { return prefix + QStringLiteral("/alarm/ack"); }
    QString ackResult() const { return prefix + QStringLiteral("/alarm/ack/result"); }
    // The audit trail's signed checkpoint, retained: a copy off this PC.
    QString auditCheckpoint() const { return prefix + QStringLiteral("/audit/checkpoint"); }
};

inline const QString kDefaultHaPrefix = QStringLiteral("homeassistant");
QString defaultTopicPrefix(const QString &id);

// An instrument id names topics and Home Assistant objects: letters, digits,
// "_" and "-" only. A port name becomes one by replacing anything else ("." ,
// ":" of /dev/serial/by-path names) with "_".
bool isValidInstrumentId(const QString &id);
QString instrumentIdFromPort(const QString &port);
// A topic prefix: not empty, no wildcard ("+", "#"), no NUL, no empty level
// at either end. False with the reason in *error.
bool isValidTopicPrefix(const QString &prefix, QString *error = nullptr);

// <prefix>/state: time, temp_c, temp_f, rh, dew_c, dew_f, wet_c, wet_f (the
// dot texts as numbers, null where a text is not one), low_battery, logging,
// hold, memory_full.
QByteArray statePayload(const Sample &sample);
// <prefix>/alarm: time, quantity, state, value, low, high as they always
// were, then id, level, event (started/changed/ended/acknowledged),
// acknowledged, ack_user, ack_comment, ack_time, started, ended, peak.
QByteArray alarmPayload(const AlarmEvent &event);

// An acknowledgement received on the ack topic; false with the reason for
// anything that is not one.
struct AckRequest {
    quint64 id = 0;
    QString user, comment;
};
bool parseAckRequest(const QByteArray &payload, AckRequest *request, QString *error);
// The answer on the ack result topic: id (null when unreadable), ok, error.
QByteArray ackResultPayload(const std::optional<quint64> &id, bool ok, const QString &error);

// One retained Home Assistant discovery config.
struct DiscoveryConfig {
    QString topic;
    QByteArray payload;
};
// The temperature, humidity, dew point and wet bulb sensors and the low
// battery binary sensor of one instrument.
QVector<DiscoveryConfig> haDiscoveryConfigs(const QString &id, const MqttTopics &topics,
                                            const QString &haPrefix = kDefaultHaPrefix);

// A JSON object whose members keep the given order, each value written by
// Qt's own JSON writer.
QByteArray orderedJson(const QList<QPair<QString, QJsonValue>> &members);
