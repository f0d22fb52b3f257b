#include "core/monitor/MqttPayload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QJsonValue numberOrNull(const std::optional<double> &v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonValue textOrNull(const QString &t)
{
    return t.isEmpty() ? QJsonValue() : QJsonValue(t);
}

bool idChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
}
} // namespace

QByteArray orderedJson(const QList<QPair<QString, QJsonValue>> &members)
{
    QByteArray out = "{";
    bool first = true;
    for (const auto &[key, value] : members) {
        if (!first)
            out += ',';
        first = false;
        // Key and value each through a one-element array, so both are escaped
        // as Qt escapes them.
        const QByteArray k = QJsonDocument(QJsonArray{key}).toJson(QJsonDocument::Compact);
        const QByteArray v = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        out += k.mid(1, k.size() - 2) + ':' + v.mid(1, v.size() - 2);
    }
    return out + '}';
}

QString defaultTopicPrefix(const QString &id)
{
    return QStringLiteral("termohigrometro/") + id;
}

bool isValidInstrumentId(const QString &id)
{
    if (id.isEmpty() || id.size() > 64)
        return false;
    for (QChar c : id)
        if (!idChar(c))
            return false;
    return true;
}

QString instrumentIdFromPort(const QString &port)
{
    QString base = port.section(QLatin1Char('/'), -1);
    if (base.isEmpty())
        base = QStringLiteral("instrument");
    for (QChar &c : base)
        if (!idChar(c))
            c = u'_';
    return base.left(64);
}

bool isValidTopicPrefix(const QString &prefix, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (prefix.isEmpty())
        return fail(QStringLiteral("the topic prefix is empty"));
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')))
        return fail(QStringLiteral("the topic prefix holds a wildcard (+ or #)"));
    if (prefix.contains(QChar(0)))
        return fail(QStringLiteral("the topic prefix holds a NUL character"));
    if (prefix.startsWith(QLatin1Char('/')) || prefix.endsWith(QLatin1Char('/')))
        return fail(QStringLiteral("the topic prefix starts or ends with \"/\""));
    if (prefix.toUtf8().size() > 60000)
        return fail(QStringLiteral("the topic prefix is too long"));
    return true;
}

QByteArray statePayload(const Sample &s)
{
    const Reading &r = s.reading;
    return orderedJson({{"time", isoTimeWithOffset(s.time)},
                        {"temp_c", numberOrNull(sampleValue(r, Quantity::Temperature, TempUnit::Celsius))},
                        {"temp_f", numberOrNull(sampleValue(r, Quantity::Temperature, TempUnit::Fahrenheit))},
                        {"rh", numberOrNull(sampleValue(r, Quantity::Humidity))},
                        {"dew_c", numberOrNull(sampleValue(r, Quantity::DewPoint, TempUnit::Celsius))},
                        {"dew_f", numberOrNull(sampleValue(r, Quantity::DewPoint, TempUnit::Fahrenheit))},
                        {"wet_c", numberOrNull(sampleValue(r, Quantity::WetBulb, TempUnit::Celsius))},
                        {"wet_f", numberOrNull(sampleValue(r, Quantity::WetBulb, TempUnit::Fahrenheit))},
                        {"low_battery", s.lowBattery()},
                        {"logging", s.logging()},
                        {"hold", s.hold()},
                        {"memory_full", s.memoryFull()}});
}

QByteArray alarmPayload(const AlarmEvent &e)
{
    auto time = [](const QDateTime &t) { return t.isValid() ? QJsonValue(isoTimeWithOffset(t)) : QJsonValue(); };
    auto text = [](const QString &t) { return textOrNull(t); };
    static const char *const changes[] = {"started", "changed", "ended", "acknowledged"};
    return orderedJson({{"time", isoTimeWithOffset(e.time)},
                        {"quantity", alarmSubjectKey(e)},
                        {"state", alarmEventStateKey(e)},
                        {"value", numberOrNull(e.value)},
                        {"low", numberOrNull(e.bounds.low)},
                        {"high", numberOrNull(e.bounds.high)},
                        {"id", double(e.id)},
                        {"level", alarmLevelKey(e.level)},
                        {"event", QString::fromLatin1(changes[int(e.change)])},
                        {"acknowledged", e.acknowledged},
                        {"ack_user", text(e.ackUser)},
                        {"ack_comment", text(e.ackComment)},
                        {"ack_time", time(e.ackTime)},
                        {"started", time(e.started)},
                        {"ended", time(e.ended)},
                        {"peak", numberOrNull(e.peak)}});
}

QVector<DiscoveryConfig> haDiscoveryConfigs(const QString &id, const MqttTopics &topics, const QString &haPrefix)
{
    const QJsonObject device{{"identifiers", QJsonArray{id}},
                             {"name", QStringLiteral("Termo-higrômetro %1").arg(id)},
                             {"model", QStringLiteral("Termo-higrômetro com data logger")},
                             {"sw_version", QStringLiteral(TH_VERSION)}};
    struct Entity {
        const char *component, *object, *name, *field, *deviceClass, *unit;
    };
    static const Entity entities[] = {
        {"sensor", "temperature", "Temperatura", "temp_c", "temperature", "°C"},
        {"sensor", "humidity", "Umidade relativa", "rh", "humidity", "%"},
        {"sensor", "dew_point", "Ponto de orvalho", "dew_c", "temperature", "°C"},
        {"sensor", "wet_bulb", "Bulbo úmido", "wet_c", "temperature", "°C"},
        {"binary_sensor", "low_battery", "Bateria fraca", "low_battery", "battery", nullptr},
    };
    QVector<DiscoveryConfig> out;
    for (const Entity &e : entities) {
        const QString object = QString::fromUtf8(e.object);
        const bool binary = e.unit == nullptr;
        QList<QPair<QString, QJsonValue>> m{
            {"name", QString::fromUtf8(e.name)},
            {"unique_id", id + QLatin1Char('_') + object},
            {"object_id", id + QLatin1Char('_') + object},
            {"state_topic", topics.state()},
            {"value_template", binary ? QStringLiteral("{{ 'ON' if value_json.%1 else 'OFF' }}").arg(e.field)
                                      : QStringLiteral("{{ value_json.%1 }}").arg(e.field)},
            {"device_class", QString::fromUtf8(e.deviceClass)},
        };
        if (binary) {
            m.append({"payload_on", QStringLiteral("ON")});
            m.append({"payload_off", QStringLiteral("OFF")});
        } else {
            m.append({"unit_of_measurement", QString::fromUtf8(e.unit)});
            m.append({"state_class", QStringLiteral("measurement")});
        }
        m.append({"availability_topic", topics.availability()});
        m.append({"payload_available", QStringLiteral("online")});
        m.append({"payload_not_available", QStringLiteral("offline")});
        m.append({"device", device});
        out.append({QStringLiteral("%1/%2/%3/%4/config").arg(haPrefix, QString::fromUtf8(e.component), id, object),
                    orderedJson(m)});
    }
    return out;
}

bool parseAckRequest(const QByteArray &payload, AckRequest *request, QString *error)
{
    QJsonParseError pe;
    const QJsonDocument d = QJsonDocument::fromJson(payload, &pe);
    if (pe.error != QJsonParseError::NoError || !d.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject o = d.object();
    const QJsonValue id = o.value(QStringLiteral("id"));
    const double n = id.toDouble(-1);
    if (!id.isDouble() || n < 1 || n != double(quint64(n)) || n > 9e15) {
        *error = QStringLiteral("\"id\" must be the number of an alarm");
        return false;
    }
    request->id = quint64(n);
    request->user = o.value(QStringLiteral("user")).toString().trimmed();
    request->comment = o.value(QStringLiteral("comment")).toString().trimmed();
    if (request->comment.isEmpty()) {
        *error = QStringLiteral("alarm %1: an acknowledgement needs a comment").arg(request->id);
        return false;
    }
    return true;
}

QByteArray ackResultPayload(const std::optional<quint64> &id, bool ok, const QString &error)
{
    return orderedJson({{"id", id ? QJsonValue(double(*id)) : QJsonValue()},
                        {"ok", ok},
                        {"error", ok ? QJsonValue() : QJsonValue(error)}});
}
