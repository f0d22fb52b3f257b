#include "ui/monitor/AlarmLog.h"

#include <QDir>
#include <QFileInfo>

QString quantityName(Quantity q)
{
    switch (q) {
    case Quantity::Temperature: return QStringLiteral("temperatura");
    case Quantity::Humidity: return QStringLiteral("umidade");
    case Quantity::DewPoint: return QStringLiteral("orvalho");
    case Quantity::WetBulb: return QStringLiteral("bulbo úmido");
    }
    return {};
}

QString alarmStateText(AlarmState s)
{
    switch (s) {
    case AlarmState::High: return QStringLiteral("ALTA");
    case AlarmState::Low: return QStringLiteral("BAIXA");
    case AlarmState::Ok: break;
    }
    return QStringLiteral("normal");
}

double displayedValue(Quantity q, double v, bool celsius)
{
    return q == Quantity::Humidity || celsius ? v : v * 1.8 + 32;
}

double storedValue(Quantity q, double v, bool celsius)
{
    return q == Quantity::Humidity || celsius ? v : (v - 32) / 1.8;
}

QString unitText(Quantity q, bool celsius)
{
    if (q == Quantity::Humidity)
        return QStringLiteral("%");
    return celsius ? QStringLiteral("°C") : QStringLiteral("°F");
}

AlarmLog::AlarmLog(const QString &path, std::function<void(const QString &)> report)
    : file_(path), report_(std::move(report))
{
    state_.fill(AlarmState::Ok);
}

QString AlarmLog::line(const AlarmEvent &e, AlarmState before)
{
    const AlarmState crossed = e.state != AlarmState::Ok ? e.state : before;
    const std::optional<double> &limit = crossed == AlarmState::Low ? e.bounds.low : e.bounds.high;
    const auto oneDecimal = [](double v) {
        const QString t = QString::number(v, 'f', 1);
        return t == QLatin1String("-0.0") ? QStringLiteral("0.0") : t;
    };
    if (e.subject != AlarmSubject::Quantity) {
        const bool link = e.subject == AlarmSubject::Link;
        const QString state = e.running() ? (link ? QStringLiteral("sem comunicação") : QStringLiteral("fraca"))
                                          : QStringLiteral("normal");
        return QStringList{isoTimeWithOffset(e.time),
                           link ? QStringLiteral("comunicação") : QStringLiteral("bateria"),
                           state,
                           QString(),
                           QString(),
                           QString()}
            .join(QLatin1Char(','));
    }
    const QString value = e.value ? oneDecimal(*e.value) : QString();
    const QString bound = limit ? oneDecimal(*limit) : QString();
    QString state = alarmStateText(e.state);
    if (e.level == AlarmLevel::Warning && e.state != AlarmState::Ok)
        state = QStringLiteral("aviso ") + state;
    return QStringList{isoTimeWithOffset(e.time), quantityName(e.quantity), state, value, bound,
                       unitText(e.quantity, true)}
        .join(QLatin1Char(','));
}

bool AlarmLog::ensureOpen()
{
    if (file_.isOpen())
        return true;
    QDir().mkpath(QFileInfo(file_.fileName()).absolutePath());
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    if (file_.size() == 0 && (file_.write(kHeading.toUtf8() + '\n') < 0 || !file_.flush())) {
        file_.close();
        return false;
    }
    return true;
}

void AlarmLog::onAlarm(const AlarmEvent &event)
{
    AlarmState unused = AlarmState::Ok;
    AlarmState &before = event.subject == AlarmSubject::Quantity ? state_[size_t(event.quantity)] : unused;
    const QString text = line(event, before);
    before = event.state;
    lines_ << text;
    const bool written = ensureOpen() && file_.write(text.toUtf8() + '\n') >= 0 && file_.flush();
    if (written) {
        reported_ = false;
        return;
    }
    const QString why = file_.errorString();
    file_.close();
    if (!reported_ && report_) {
        reported_ = true;
        report_(QStringLiteral("Não foi possível gravar o registro de alarmes em\n%1\n%2\n\n"
                               "Os alarmes continuam na tela.")
                    .arg(QDir::toNativeSeparators(file_.fileName()), why));
    }
}
