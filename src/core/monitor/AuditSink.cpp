#include "core/monitor/AuditSink.h"

#include "core/integrity/Audit.h"
#include "core/monitor/Sample.h"

namespace {
QJsonValue number(const std::optional<double> &v)
{
    return v ? QJsonValue(*v) : QJsonValue();
}
} // namespace

QString AuditSink::actionOf(const AlarmEvent &event)
{
    switch (event.change) {
    case AlarmChange::Started: return QStringLiteral("alarm.start");
    case AlarmChange::Changed: return QStringLiteral("alarm.change");
    case AlarmChange::Ended: return QStringLiteral("alarm.end");
    case AlarmChange::Acknowledged: return QStringLiteral("alarm.ack");
    }
    return QStringLiteral("alarm.change");
}

QJsonObject AuditSink::eventJson(const AlarmEvent &event)
{
    QJsonObject o{{QStringLiteral("id"), qint64(event.id)},
                  {QStringLiteral("quantity"), alarmSubjectKey(event)},
                  {QStringLiteral("level"), alarmLevelKey(event.level)},
                  {QStringLiteral("state"), alarmEventStateKey(event)},
                  {QStringLiteral("value"), number(event.value)},
                  {QStringLiteral("low"), number(event.bounds.low)},
                  {QStringLiteral("high"), number(event.bounds.high)}};
    if (event.started.isValid())
        o.insert(QStringLiteral("started"), isoTimeWithOffset(event.started));
    if (event.ended.isValid())
        o.insert(QStringLiteral("ended"), isoTimeWithOffset(event.ended));
    if (event.peak)
        o.insert(QStringLiteral("peak"), *event.peak);
    return o;
}

void AuditSink::onLinkChanged(bool up, const QDateTime &when)
{
    // The first word of the link is where it starts, not a change.
    const bool change = linkUp_.has_value() && *linkUp_ != up;
    linkUp_ = up;
    if (!linkEvents_ || !change)
        return;
    integrity::auditRecord(up ? QStringLiteral("link.back") : QStringLiteral("link.lost"), QJsonValue::Null,
                           QJsonObject{{QStringLiteral("time"), isoTimeWithOffset(when)}});
}

void AuditSink::onAlarm(const AlarmEvent &event)
{
    integrity::auditRecord(actionOf(event), QJsonValue::Null, eventJson(event));
}

void AuditSink::onAcknowledged(const AlarmEvent &event)
{
    QJsonObject o = eventJson(event);
    o.insert(QStringLiteral("ack_user"), event.ackUser);
    o.insert(QStringLiteral("ack_time"), isoTimeWithOffset(event.ackTime));
    // The user of an acknowledgement is who the sender said it was: kept as given.
    integrity::auditRecord(QStringLiteral("alarm.ack"), QJsonValue::Null, o, event.ackComment);
}

void AuditSink::onSettingsChanged(const QString &action, const QJsonObject &before, const QJsonObject &after)
{
    const QString key = action == QLatin1String("limits")          ? QStringLiteral("alarm.limits.set")
                        : action == QLatin1String("notifications") ? QStringLiteral("notify.settings.set")
                        : action == QLatin1String("start")         ? QStringLiteral("monitor.settings")
                                                                   : QStringLiteral("settings.") + action;
    integrity::auditRecord(key, before.isEmpty() ? QJsonValue() : QJsonValue(before), after);
}
