#include "ui/monitor/PanelSettings.h"

#include "core/monitor/MqttPayload.h"
#include "platform/ConfigFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

namespace {
constexpr int kVersion = 1;
// Limited quantities of the panel; the wet bulb has no alarm of its own.
constexpr Quantity kLimited[] = {Quantity::Temperature, Quantity::Humidity, Quantity::DewPoint};

QString &fileOverride()
{
    static QString path;
    return path;
}

QString boundText(const std::optional<double> &v)
{
    // The shortest text that reads back as the same number: 2.3 stays "2.3".
    return v ? QString::number(*v, 'g', QLocale::FloatingPointShortest) : QString();
}

// Booleans as save() writes them; anything else is damage.
std::optional<bool> flag(const QSettings &s, const QString &key, bool fallback)
{
    if (!s.contains(key))
        return fallback;
    const QString v = s.value(key).toString();
    if (v == QLatin1String("true"))
        return true;
    if (v == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<int> number(const QSettings &s, const QString &key, int fallback, int low, int high)
{
    if (!s.contains(key))
        return fallback;
    bool ok = false;
    const int v = s.value(key).toString().toInt(&ok);
    if (!ok || v < low || v > high)
        return std::nullopt;
    return v;
}

// The reason the file's contents cannot be used, or an empty text.
QString read(const QSettings &s, PanelSettings &out)
{
    const auto bad = [](const QString &key) { return QStringLiteral("valor inválido em \"%1\"").arg(key); };
    if (s.value(QStringLiteral("version")).toString() != QString::number(kVersion))
        return QStringLiteral("versão desconhecida ou ausente");
    for (Quantity q : kLimited) {
        const QString key = QStringLiteral("alarms/") + quantityKey(q);
        const QString text = s.value(key).toString();
        if (text.isEmpty())
            continue;
        if (!parseLimit(quantityKey(q) + QLatin1Char('=') + text, out.limits, nullptr))
            return bad(key);
    }
    for (Quantity q : kLimited) {
        const QString key = QStringLiteral("warnings/") + quantityKey(q);
        const QString text = s.value(key).toString();
        if (!text.isEmpty() && !parseLimit(quantityKey(q) + QLatin1Char('=') + text, out.warning, nullptr))
            return bad(key);
        const QString hkey = QStringLiteral("alarms/hysteresis_") + quantityKey(q);
        if (s.contains(hkey)) {
            const auto h = parseDecimal(s.value(hkey).toString());
            if (!h || *h < 0)
                return bad(hkey);
            out.hysteresis[size_t(q)] = *h;
        }
    }
    if (s.contains(QStringLiteral("warnings/delay"))) {
        const auto d = AlarmDelay::parse(s.value(QStringLiteral("warnings/delay")).toString());
        if (!d)
            return bad(QStringLiteral("warnings/delay"));
        out.warningDelay = *d;
    }
    for (const auto &[key, target] : {std::pair{QStringLiteral("alarms/delayDuration"), &out.delayMs},
                                      std::pair{QStringLiteral("alarms/linkAlarmAfter"), &out.linkAlarmAfterMs}}) {
        if (!s.contains(key))
            continue;
        const auto ms = parseDurationMs(s.value(key).toString());
        if (!ms)
            return bad(key);
        *target = *ms;
    }
    EmailOptions &e = out.email;
    const auto mailOn = flag(s, QStringLiteral("email/enabled"), false);
    const auto insecure = flag(s, QStringLiteral("email/insecure"), false);
    if (!mailOn || !insecure)
        return bad(QStringLiteral("email"));
    e.enabled = *mailOn;
    e.insecure = *insecure;
    e.url = s.value(QStringLiteral("email/url")).toString();
    e.user = s.value(QStringLiteral("email/user")).toString();
    e.from = s.value(QStringLiteral("email/from")).toString();
    e.to = s.value(QStringLiteral("email/to")).toString();
    e.caFile = s.value(QStringLiteral("email/caFile")).toString();
    if (s.contains(QStringLiteral("email/repeat"))) {
        const auto ms = parseDurationMs(s.value(QStringLiteral("email/repeat")).toString());
        if (!ms)
            return bad(QStringLiteral("email/repeat"));
        e.repeatMs = *ms;
    }
    const auto delay = number(s, QStringLiteral("alarms/delay"), 1, 1, PanelSettings::kMaxDelay);
    const auto sound = flag(s, QStringLiteral("alarms/sound"), true);
    const auto enabled = flag(s, QStringLiteral("publishing/enabled"), false);
    const auto ha = flag(s, QStringLiteral("publishing/haDiscovery"), false);
    const auto reasons = flag(s, QStringLiteral("records/askReasons"), false);
    const auto port = number(s, QStringLiteral("publishing/port"), 1883, 1, 65535);
    const auto metrics = number(s, QStringLiteral("publishing/metricsPort"), 0, 0, 65535);
    if (!delay)
        return bad(QStringLiteral("alarms/delay"));
    if (!sound)
        return bad(QStringLiteral("alarms/sound"));
    if (!enabled)
        return bad(QStringLiteral("publishing/enabled"));
    if (!ha)
        return bad(QStringLiteral("publishing/haDiscovery"));
    if (!reasons)
        return bad(QStringLiteral("records/askReasons"));
    out.askReasons = *reasons;
    if (!port)
        return bad(QStringLiteral("publishing/port"));
    if (!metrics)
        return bad(QStringLiteral("publishing/metricsPort"));
    out.delay = *delay;
    out.sound = *sound;
    PublishOptions &p = out.publish;
    p.enabled = *enabled;
    p.haDiscovery = *ha;
    p.port = quint16(*port);
    p.metricsPort = quint16(*metrics);
    p.host = s.value(QStringLiteral("publishing/host")).toString();
    p.user = s.value(QStringLiteral("publishing/user")).toString();
    p.caFile = s.value(QStringLiteral("publishing/caFile")).toString();
    p.topicPrefix = s.value(QStringLiteral("publishing/topicPrefix")).toString();
    p.id = s.value(QStringLiteral("publishing/id")).toString();
    if (!p.topicPrefix.isEmpty() && !isValidTopicPrefix(p.topicPrefix))
        return bad(QStringLiteral("publishing/topicPrefix"));
    if (!p.id.isEmpty() && !isValidInstrumentId(p.id))
        return bad(QStringLiteral("publishing/id"));
    if (p.enabled && p.host.isEmpty())
        return bad(QStringLiteral("publishing/host"));
    return {};
}
} // namespace

QStringList EmailOptions::recipients() const
{
    QStringList out;
    for (const QString &a : QString(to).replace(QLatin1Char(';'), QLatin1Char(',')).split(QLatin1Char(',')))
        if (!a.trimmed().isEmpty())
            out << a.trimmed();
    return out;
}

AlarmConfig PanelSettings::alarmConfig() const
{
    AlarmConfig c;
    c.alarm = limits;
    c.warning = warning;
    c.alarmDelay = delayMs > 0 ? AlarmDelay{1, delayMs} : AlarmDelay{qMax(1, delay), 0};
    c.warningDelay = warningDelay;
    c.hysteresis = hysteresis;
    c.linkAlarmAfterMs = linkAlarmAfterMs;
    c.batteryWarning = true;
    return c;
}

QString PanelSettings::file()
{
    if (!fileOverride().isEmpty())
        return fileOverride();
    return configFilePath(QStringLiteral("painel.ini"));
}

void PanelSettings::setFile(const QString &path)
{
    fileOverride() = path;
}

PanelSettings PanelSettings::load(QString *problem)
{
    const QString path = file();
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    QString reason;
    bool damaged = false;
    PanelSettings out;
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        reason = probe.errorString();
    } else {
        damaged = true;
        probe.close();
        QSettings s(path, QSettings::IniFormat);
        if (s.status() != QSettings::NoError)
            reason = QStringLiteral("formato inválido");
        else
            reason = read(s, out);
    }
    if (reason.isEmpty())
        return out;
    QString text = QStringLiteral("As configurações de alarmes e monitoramento não puderam ser lidas:\n%1\n(%2)\n\n"
                                  "Os valores padrão serão usados.")
                       .arg(QDir::toNativeSeparators(path), reason);
    // An unreadable file stays where it is: saving then fails and says so.
    if (damaged) {
        // An earlier damaged file keeps its copy: each gets a name of its own.
        QString kept = path + QStringLiteral(".danificado");
        for (int n = 2; QFileInfo::exists(kept); ++n)
            kept = path + QStringLiteral(".danificado.%1").arg(n);
        if (QFile::rename(path, kept))
            text += QStringLiteral("\nO arquivo antigo foi guardado como\n%1").arg(QDir::toNativeSeparators(kept));
    }
    if (problem)
        *problem = text;
    return {};
}

bool PanelSettings::save(QString *error) const
{
    const QString path = file();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings s(path, QSettings::IniFormat);
    s.clear();
    s.setValue(QStringLiteral("version"), QString::number(kVersion));
    for (Quantity q : kLimited) {
        const Bounds &b = limits[q];
        s.setValue(QStringLiteral("alarms/") + quantityKey(q),
                   b.isSet() ? boundText(b.low) + QLatin1Char(':') + boundText(b.high) : QString());
    }
    for (Quantity q : kLimited) {
        const Bounds &b = warning[q];
        s.setValue(QStringLiteral("warnings/") + quantityKey(q),
                   b.isSet() ? boundText(b.low) + QLatin1Char(':') + boundText(b.high) : QString());
        s.setValue(QStringLiteral("alarms/hysteresis_") + quantityKey(q),
                   QString::number(hysteresis[size_t(q)], 'g', QLocale::FloatingPointShortest));
    }
    s.setValue(QStringLiteral("warnings/delay"), warningDelay.text());
    s.setValue(QStringLiteral("alarms/delayDuration"), durationText(delayMs));
    s.setValue(QStringLiteral("alarms/linkAlarmAfter"), durationText(linkAlarmAfterMs));
    const auto yes = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    s.setValue(QStringLiteral("alarms/delay"), QString::number(delay));
    s.setValue(QStringLiteral("alarms/sound"), yes(sound));
    s.setValue(QStringLiteral("publishing/enabled"), yes(publish.enabled));
    s.setValue(QStringLiteral("publishing/host"), publish.host);
    s.setValue(QStringLiteral("publishing/port"), QString::number(publish.port));
    s.setValue(QStringLiteral("publishing/user"), publish.user);
    s.setValue(QStringLiteral("publishing/caFile"), publish.caFile);
    s.setValue(QStringLiteral("publishing/topicPrefix"), publish.topicPrefix);
    s.setValue(QStringLiteral("publishing/id"), publish.id);
    s.setValue(QStringLiteral("publishing/haDiscovery"), yes(publish.haDiscovery));
    s.setValue(QStringLiteral("publishing/metricsPort"), QString::number(publish.metricsPort));
    s.setValue(QStringLiteral("records/askReasons"), yes(askReasons));
    s.setValue(QStringLiteral("email/enabled"), yes(email.enabled));
    s.setValue(QStringLiteral("email/url"), email.url);
    s.setValue(QStringLiteral("email/user"), email.user);
    s.setValue(QStringLiteral("email/from"), email.from);
    s.setValue(QStringLiteral("email/to"), email.to);
    s.setValue(QStringLiteral("email/caFile"), email.caFile);
    s.setValue(QStringLiteral("email/insecure"), yes(email.insecure));
    s.setValue(QStringLiteral("email/repeat"), durationText(email.repeatMs));
    s.sync();
    if (s.status() != QSettings::NoError) {
        if (error)
            *error =
                QStringLiteral("Não foi possível gravar as configurações em\n%1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}
