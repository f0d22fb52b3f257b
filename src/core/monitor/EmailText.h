#pragma once

#include "core/monitor/Sink.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What an alarm e-mail says besides the event: which instrument, where to
// acknowledge, and the latest readings before it.
struct EmailContext {
    QString instrument;
    QString ackTopic; // <prefix>/alarm/ack when MQTT is there; empty otherwise
    QList<Sample> lastSamples;
    QDateTime now; // the moment the message is written (durations of running events)
};

struct EmailText {
    QString subject;
    QString body;
};

// "Temperatura", "Umidade relativa", "Ponto de orvalho", "Bulbo úmido".
QString quantityTitle(Quantity q);
// A value as a user here reads it: one decimal, a decimal comma, its unit.
QString valueText(Quantity q, double v);
// "2 h 05 min", "12 min", "45 s".
QString durationPhrase(qint64 ms);

// The message of an event: its start (warning or alarm), its turn into an
// alarm, its end (with duration and peak), the lost and restored link; a
// reminder while it waits for an acknowledgement.
EmailText alarmEmail(const AlarmEvent &event, const EmailContext &context, bool reminder = false);
// The test message of the settings windows.
EmailText testEmail(const QString &instrument, const QDateTime &now);

// The whole message as it goes to the server (RFC 5322, UTF-8 text, the
// subject as an encoded word), CR LF line ends.
QByteArray mimeMessage(const QString &from, const QStringList &to, const EmailText &text, const QDateTime &date,
                       const QString &messageId);
