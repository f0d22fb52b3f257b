#include "core/monitor/Alarms.h"

#include <QJsonObject>
#include <QRegularExpression>

namespace {
// Past events kept for the log once acknowledged; unacknowledged ones stay
// up to the larger figure, so nobody's alarm vanishes unseen.
constexpr size_t kKeptAcknowledged = 500;
constexpr size_t kKeptAtMost = 10000;

QJsonObject limitsJson(const Limits &limits)
{
    QJsonObject o;
    for (int i = 0; i < kQuantities; ++i) {
        const Bounds &b = limits.bounds[size_t(i)];
        if (!b.isSet())
            continue;
        QJsonObject bo;
        bo[QStringLiteral("low")] = b.low ? QJsonValue(*b.low) : QJsonValue();
        bo[QStringLiteral("high")] = b.high ? QJsonValue(*b.high) : QJsonValue();
        o[quantityKey(Quantity(i))] = bo;
    }
    return o;
}

// Whether a level of one quantity is on after this value. A level that is
// on stays on while the value is beyond its bounds or within the hysteresis
// of them; one that is off starts after its delay.
template <typename Count>
bool levelOn(const Bounds &b, double v, double h, const AlarmDelay &delay, const QDateTime &time, bool held,
             AlarmState previous, Count &count, AlarmState *side)
{
    if (!b.isSet()) {
        count = Count{};
        return false;
    }
    const AlarmState raw = b.below(v) ? AlarmState::Low : b.above(v) ? AlarmState::High : AlarmState::Ok;
    if (held) {
        count = Count{};
        if (raw != AlarmState::Ok) {
            *side = raw;
            return true;
        }
        const bool nearLow = b.low && v < *b.low + h;
        const bool nearHigh = b.high && v > *b.high - h;
        if ((previous == AlarmState::Low && nearLow) || (previous == AlarmState::High && nearHigh)) {
            *side = previous;
            return true;
        }
        if (nearLow || nearHigh) {
            *side = nearLow ? AlarmState::Low : AlarmState::High;
            return true;
        }
        return false;
    }
    if (raw == AlarmState::Ok) {
        count = Count{};
        return false;
    }
    if (count.outside++ == 0)
        count.since = time;
    const bool reached = delay.ms > 0 ? count.since.msecsTo(time) >= delay.ms : count.outside >= delay.samples;
    if (!reached)
        return false;
    count = Count{};
    *side = raw;
    return true;
}
} // namespace

std::optional<qint64> parseDurationMs(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d+(?:[.,]\\d+)?)\\s*(ms|s|min|m|h|d)?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const auto n = parseDecimal(m.captured(1));
    if (!n)
        return std::nullopt;
    const QString unit = m.captured(2);
    const double scale = unit == QLatin1String("ms")                                  ? 1
                         : unit.isEmpty() || unit == QLatin1String("s")               ? 1000
                         : unit == QLatin1String("m") || unit == QLatin1String("min") ? 60000
                         : unit == QLatin1String("h")                                 ? 3600000
                                                                                      : 86400000;
    const double ms = *n * scale;
    if (ms > 1e13)
        return std::nullopt;
    return qint64(ms + 0.5);
}

QString durationText(qint64 ms)
{
    if (ms != 0 && ms % 3600000 == 0)
        return QStringLiteral("%1h").arg(ms / 3600000);
    if (ms != 0 && ms % 60000 == 0)
        return QStringLiteral("%1m").arg(ms / 60000);
    if (ms % 1000 == 0)
        return QStringLiteral("%1s").arg(ms / 1000);
    return QStringLiteral("%1ms").arg(ms);
}

std::optional<AlarmDelay> AlarmDelay::parse(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (ok)
        return n >= 1 ? std::optional(AlarmDelay{n, 0}) : std::nullopt;
    const auto ms = parseDurationMs(text);
    if (!ms || *ms <= 0)
        return std::nullopt;
    return AlarmDelay{1, *ms};
}

QString AlarmDelay::text() const
{
    return ms > 0 ? durationText(ms) : QString::number(samples);
}

QJsonObject AlarmConfig::toJson() const
{
    QJsonObject h;
    for (int i = 0; i < kQuantities; ++i)
        if (hysteresis[size_t(i)] != 0)
            h[quantityKey(Quantity(i))] = hysteresis[size_t(i)];
    return QJsonObject{{"alarm", limitsJson(alarm)},
                       {"warning", limitsJson(warning)},
                       {"alarm_delay", alarmDelay.text()},
                       {"warning_delay", warningDelay.text()},
                       {"hysteresis", h},
                       {"link_alarm_after", durationText(linkAlarmAfterMs)},
                       {"battery_warning", batteryWarning}};
}

AlarmMonitor::AlarmMonitor(const Limits &limits, int delay)
{
    config_.alarm = limits;
    config_.alarmDelay = AlarmDelay{qMax(1, delay), 0};
    // Limits alone, as they were before the instrument's own alarms.
    config_.linkAlarmAfterMs = 0;
    config_.batteryWarning = false;
}

AlarmMonitor::AlarmMonitor(const AlarmConfig &config) : config_(config) {}

AlarmEvent *AlarmMonitor::find(quint64 id)
{
    // Ids ascend along the log: a binary search.
    auto it = std::lower_bound(log_.begin(), log_.end(), id, [](const AlarmEvent &e, quint64 v) { return e.id < v; });
    return it != log_.end() && it->id == id ? &*it : nullptr;
}

const AlarmEvent *AlarmMonitor::event(quint64 id) const
{
    return const_cast<AlarmMonitor *>(this)->find(id);
}

void AlarmMonitor::trim()
{
    auto drop = [this](auto keep) {
        for (auto it = log_.begin(); it != log_.end() && log_.size() >= keep;) {
            if (!it->running() && (it->acknowledged || keep == kKeptAtMost))
                it = log_.erase(it);
            else
                ++it;
        }
    };
    if (log_.size() >= kKeptAcknowledged)
        drop(kKeptAcknowledged);
    if (log_.size() >= kKeptAtMost)
        drop(kKeptAtMost);
}

AlarmEvent &AlarmMonitor::open(AlarmSubject subject, Quantity q, AlarmLevel level, const QDateTime &when)
{
    trim();
    AlarmEvent e;
    e.id = nextId_++;
    e.subject = subject;
    e.quantity = q;
    e.level = level;
    e.change = AlarmChange::Started;
    e.time = e.started = when;
    log_.push_back(e);
    if (idTaken_)
        idTaken_(e.id);
    return log_.back();
}

void AlarmMonitor::start(const QDateTime &now)
{
    if (!lastSample_.isValid())
        lastSample_ = now;
}

QVector<AlarmEvent> AlarmMonitor::update(const Sample &sample)
{
    QVector<AlarmEvent> events;
    const QDateTime &time = sample.time;
    lastSample_ = time;
    auto end = [&](quint64 id, const std::optional<double> &v) {
        if (AlarmEvent *e = find(id)) {
            e->change = AlarmChange::Ended;
            e->time = e->ended = time;
            e->state = AlarmState::Ok;
            if (v)
                e->value = v;
            events.append(*e);
        }
    };
    if (linkId_) {
        end(linkId_, std::nullopt);
        linkId_ = 0;
    }
    for (int i = 0; i < kQuantities; ++i) {
        const auto q = Quantity(i);
        Track &t = track_[size_t(i)];
        const Bounds &a = config_.alarm[q];
        const Bounds &w = config_.warning[q];
        if (!a.isSet() && !w.isSet()) {
            if (t.level != AlarmLevel::None)
                end(t.id, sampleValue(sample, q));
            t = Track{};
            continue;
        }
        const auto v = sampleValue(sample, q);
        if (!v)
            continue;
        const double h = qMax(0.0, config_.hysteresis[size_t(i)]);
        AlarmState sideA = AlarmState::Ok, sideW = AlarmState::Ok;
        const bool onA =
            levelOn(a, *v, h, config_.alarmDelay, time, t.level == AlarmLevel::Alarm, t.side, t.alarm, &sideA);
        const bool onW =
            levelOn(w, *v, h, config_.warningDelay, time, t.level != AlarmLevel::None, t.side, t.warning, &sideW);
        const AlarmLevel level = onA ? AlarmLevel::Alarm : onW ? AlarmLevel::Warning : AlarmLevel::None;
        const AlarmState side = onA ? sideA : onW ? sideW : AlarmState::Ok;
        const Bounds &bounds = level == AlarmLevel::Warning ? w : a;
        if (t.level == AlarmLevel::None && level != AlarmLevel::None) {
            AlarmEvent &e = open(AlarmSubject::Quantity, q, level, time);
            e.state = side;
            e.value = e.peak = v;
            e.bounds = bounds;
            t.id = e.id;
            events.append(e);
        } else if (t.level != AlarmLevel::None && level == AlarmLevel::None) {
            // The end tells the bounds it was weighed against (new ones, if they changed).
            if (AlarmEvent *e = find(t.id))
                e->bounds = t.level == AlarmLevel::Warning ? w : a;
            end(t.id, v);
            t.id = 0;
        } else if (level != AlarmLevel::None) {
            if (AlarmEvent *e = find(t.id)) {
                e->value = v;
                if (side != e->state || !e->peak)
                    e->peak = v;
                else
                    e->peak = side == AlarmState::High ? qMax(*e->peak, *v) : qMin(*e->peak, *v);
                if (level != t.level || side != t.side) {
                    // An acknowledged warning that turns into an alarm is news.
                    if (level == AlarmLevel::Alarm && t.level == AlarmLevel::Warning && e->acknowledged) {
                        e->acknowledged = false;
                        e->ackUser.clear();
                        e->ackComment.clear();
                        e->ackTime = {};
                    }
                    e->change = AlarmChange::Changed;
                    e->time = time;
                    e->level = level;
                    e->state = side;
                    e->bounds = bounds;
                    events.append(*e);
                }
            }
        }
        t.level = level;
        t.side = side;
    }
    if (config_.batteryWarning && sample.lowBattery() && !batteryId_) {
        AlarmEvent &e = open(AlarmSubject::Battery, Quantity::Temperature, AlarmLevel::Warning, time);
        e.state = AlarmState::Low;
        batteryId_ = e.id;
        events.append(e);
    } else if (batteryId_ && !sample.lowBattery()) {
        end(batteryId_, std::nullopt);
        batteryId_ = 0;
    }
    return events;
}

QVector<AlarmEvent> AlarmMonitor::checkLink(const QDateTime &now)
{
    if (config_.linkAlarmAfterMs <= 0 || linkId_ || !lastSample_.isValid() ||
        lastSample_.msecsTo(now) < config_.linkAlarmAfterMs)
        return {};
    AlarmEvent &e = open(AlarmSubject::Link, Quantity::Temperature, AlarmLevel::Alarm, now);
    e.state = AlarmState::High;
    linkId_ = e.id;
    return {e};
}

void AlarmMonitor::linkLost()
{
    for (Track &t : track_)
        t.warning = t.alarm = {};
}

void AlarmMonitor::setLimits(const Limits &limits, int delay)
{
    AlarmConfig c = config_;
    c.alarm = limits;
    c.alarmDelay = AlarmDelay{qMax(1, delay), 0};
    setConfig(c);
}

void AlarmMonitor::setConfig(const AlarmConfig &config)
{
    config_ = config;
    // A count toward a delay was made against the old settings.
    linkLost();
}

AlarmState AlarmMonitor::state(Quantity q) const
{
    const Track &t = track_[size_t(q)];
    return t.level == AlarmLevel::Alarm ? t.side : AlarmState::Ok;
}

const AlarmEvent *AlarmMonitor::current(Quantity q) const
{
    const quint64 id = track_[size_t(q)].id;
    return id ? event(id) : nullptr;
}

AlarmMonitor::AckResult AlarmMonitor::acknowledge(quint64 id, const QString &user, const QString &comment,
                                                  const QDateTime &when)
{
    AckResult r;
    AlarmEvent *e = find(id);
    if (!e) {
        r.error = QStringLiteral("unknown alarm id %1").arg(id);
        return r;
    }
    if (comment.trimmed().isEmpty()) {
        r.error = QStringLiteral("alarm %1: an acknowledgement needs a comment").arg(id);
        return r;
    }
    if (e->acknowledged) {
        r.error = QStringLiteral("alarm %1 was already acknowledged by %2").arg(id).arg(e->ackUser);
        return r;
    }
    e->acknowledged = true;
    e->ackUser = user;
    e->ackComment = comment.trimmed();
    e->ackTime = when;
    r.ok = true;
    r.event = *e;
    r.event.change = AlarmChange::Acknowledged;
    r.event.time = when;
    return r;
}

QVector<AlarmEvent> AlarmMonitor::events() const
{
    return QVector<AlarmEvent>(log_.begin(), log_.end());
}

int AlarmMonitor::unacknowledged() const
{
    return int(std::count_if(log_.begin(), log_.end(), [](const AlarmEvent &e) { return !e.acknowledged; }));
}
