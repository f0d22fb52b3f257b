#include "ui/monitor/PanelMonitor.h"

#include "core/integrity/Audit.h"
#include "core/monitor/AuditSink.h"
#include "core/monitor/EmailSink.h"
#include "core/monitor/Metrics.h"
#include "core/monitor/MqttPayload.h"
#include "net/MetricsServer.h"
#include "net/MqttSink.h"
#include "net/SmtpSender.h"
#include "ui/common/App.h"
#include "ui/monitor/AlarmLimits.h"
#include "ui/monitor/AlarmLog.h"
#include "ui/monitor/MonitorTexts.h"
#include "ui/monitor/Monitoring.h"

#include <QApplication>
#include <QHostAddress>
#include <QInputDialog>
#include <QJsonObject>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <pwd.h>
#include <unistd.h>

// The one sink of the run's set: it hands everything on to the sinks of the
// moment, so the MQTT sink and the metrics can be replaced while the alarm
// states and the set stay as they are.
class PanelMonitor::Relay : public SampleSink {
public:
    explicit Relay(PanelMonitor &m) : m_(m) {}
    void onSample(const Sample &sample) override
    {
        for (SampleSink *s : m_.current())
            s->onSample(sample);
    }
    void onLinkChanged(bool up, const QDateTime &when) override
    {
        for (SampleSink *s : m_.current())
            s->onLinkChanged(up, when);
    }
    void onAlarm(const AlarmEvent &event) override { m_.dispatch({event}); }
    void onAcknowledged(const AlarmEvent &event) override
    {
        for (SampleSink *s : m_.current())
            s->onAcknowledged(event);
    }

private:
    PanelMonitor &m_;
};

namespace {
QJsonObject alarmSettingsJson(const PanelSettings &s)
{
    QJsonObject o = s.alarmConfig().toJson();
    o[QStringLiteral("sound")] = s.sound;
    return o;
}

// No password here: it lives in the keyring.
QJsonObject publishJson(const PublishOptions &p)
{
    return QJsonObject{{"enabled", p.enabled},
                       {"host", p.host},
                       {"port", int(p.port)},
                       {"user", p.user},
                       {"ca_file", p.caFile},
                       {"topic_prefix", p.topicPrefix},
                       {"id", p.id},
                       {"ha_discovery", p.haDiscovery},
                       {"metrics_port", int(p.metricsPort)}};
}

QJsonObject emailJson(const EmailOptions &e)
{
    return QJsonObject{{"email_enabled", e.enabled},
                       {"smtp", e.url},
                       {"smtp_user", e.user},
                       {"email_from", e.from},
                       {"email_to", e.to},
                       {"smtp_ca_file", e.caFile},
                       {"smtp_insecure", e.insecure},
                       {"email_repeat", durationText(e.repeatMs)}};
}

const QString kKeyringService = QStringLiteral("termohigrometro");

std::optional<QString> askPassword(QWidget *parent, const QString &text)
{
    bool ok = false;
    const QString pw = QInputDialog::getText(parent, texts::kTitle, text, QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return pw;
}
} // namespace

PanelMonitor::PanelMonitor(App &app, QObject *parent) : QObject(parent), app_(app)
{
    beeper_ = [] { QApplication::beep(); };
    prompt_ = [this](const QString &text) { return askPassword(app_.mainWindow(), text); };
    sinks_ = std::make_unique<SinkSet>();
    sinks_->add(std::make_unique<Relay>(*this));
    // Alarms, acknowledgements and changes of these settings go to the trail.
    audit_ = std::make_unique<AuditSink>();
    addSink(audit_.get());
}

QList<SampleSink *> PanelMonitor::current() const
{
    QList<SampleSink *> out;
    for (SampleSink *s : std::initializer_list<SampleSink *>{log_.get(), mqtt_.get(), metrics_.get(), email_.get()})
        if (s)
            out << s;
    return out;
}

PanelMonitor::~PanelMonitor()
{
    close();
    delete limitsWindow;
    delete monitoringWindow;
    delete alarmLogWindow;
}

void PanelMonitor::start()
{
    QString problem;
    settings_ = PanelSettings::load(&problem);
    if (!problem.isEmpty())
        app_.showError(problem);
    app_.setAskReasons(settings_.askReasons);
    log_ = std::make_unique<AlarmLog>(app_.autoDumpFolder() + QStringLiteral("/alarmes.csv"),
                                      [this](const QString &text) { app_.showError(text); });
    sinks_->alarms().setConfig(settings_.alarmConfig());
    sinks_->alarms().start(app_.clock().now());
    // A silent instrument is an alarm of its own: looked at every second.
    auto *linkCheck = new QTimer(this);
    connect(linkCheck, &QTimer::timeout, this, [this] {
        if (closed_)
            return;
        if (!sinks_->checkLink(app_.clock().now()).isEmpty()) {
            emit alarmsChanged();
            emit logChanged();
        }
    });
    linkCheck->start(1000);
    rebuild(std::nullopt, false, true);
    if (settings_.publish.enabled)
        startWithPasswordFromKeyring();
    if (settings_.email.enabled && !settings_.email.user.isEmpty()) {
        auto *job = new QKeychain::ReadPasswordJob(kKeyringService, this);
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(smtpKeyringKey(settings_.email));
        connect(job, &QKeychain::Job::finished, this, [this, job] {
            if (closed_)
                return;
            if (job->error() == QKeychain::NoError && !smtpPassword_)
                smtpPassword_ = job->textData();
            rebuildEmail();
        });
        job->start();
    } else {
        rebuildEmail();
    }
}

QString PanelMonitor::smtpKeyringKey(const EmailOptions &o) const
{
    return QStringLiteral("smtp/%1@%2").arg(o.user, o.url);
}

SmtpSettings PanelMonitor::smtpSettings(const EmailOptions &o, const std::optional<QString> &password) const
{
    SmtpSettings s;
    s.url = o.url;
    s.from = o.from;
    s.to = o.recipients();
    s.user = o.user;
    s.caFile = o.caFile;
    s.insecure = o.insecure;
    if (password && !o.user.isEmpty()) {
        s.password = *password;
        s.hasPassword = true;
    }
    return s;
}

void PanelMonitor::rebuildEmail()
{
    // The sink hands its messages to the sender: gone first.
    email_.reset();
    if (smtp_)
        smtp_->close(2000);
    smtp_.reset();
    emailStatus_.clear();
    const EmailOptions &o = settings_.email;
    if (!o.enabled || closed_)
        return;
    smtp_ = std::make_unique<SmtpSender>(smtpSettings(o, smtpPassword_));
    connect(smtp_.get(), &SmtpSender::notice, this, [this](const QString &text) {
        emailStatus_ = text;
        emit statusChanged();
    });
    EmailSinkOptions eo;
    eo.instrument = instrumentId();
    if (settings_.publish.enabled)
        eo.ackTopic = (settings_.publish.topicPrefix.isEmpty() ? defaultTopicPrefix(instrumentId())
                                                               : settings_.publish.topicPrefix) +
                      QStringLiteral("/alarm/ack");
    eo.from = o.from;
    eo.to = o.recipients();
    eo.repeatMs = o.repeatMs;
    email_ = std::make_unique<EmailSink>(
        eo, [s = smtp_.get()](const QByteArray &m, const QString &what) { s->send(m, what); },
        [this] { return app_.clock().now(); });
    // Events still waiting for an acknowledgement go on being reminded.
    for (const AlarmEvent &e : sinks_->alarms().events())
        if (!e.acknowledged) {
            AlarmEvent quiet = e;
            quiet.change = AlarmChange::Changed;
            email_->onAlarm(quiet);
        }
}

bool PanelMonitor::setEmail(const EmailOptions &options, const std::optional<QString> &password, QString *error)
{
    const bool newPassword = password && password != smtpPassword_;
    if (options == settings_.email && !newPassword)
        return true;
    const QJsonObject before = emailJson(settings_.email);
    settings_.email = options;
    if (password)
        smtpPassword_ = password;
    if (password && !options.user.isEmpty()) {
        auto *job = new QKeychain::WritePasswordJob(kKeyringService, this);
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(smtpKeyringKey(options));
        job->setTextData(*password);
        job->start();
    }
    const bool saved = settings_.save(error);
    sinks_->settingsChanged(QStringLiteral("notifications"), before, emailJson(options));
    rebuildEmail();
    emit statusChanged();
    return saved;
}

QString PanelMonitor::instrumentId() const
{
    if (!settings_.publish.id.isEmpty())
        return settings_.publish.id;
    const SharedState &s = app_.state();
    const QString port = s.PortName.isEmpty() ? QStringLiteral("COM%1").arg(s.ComPort) : s.PortName;
    return instrumentIdFromPort(port);
}

QString PanelMonitor::keyringKey() const
{
    const PublishOptions &p = settings_.publish;
    return QStringLiteral("mqtt/%1@%2:%3").arg(p.user, p.host).arg(p.port);
}

void PanelMonitor::startWithPasswordFromKeyring()
{
    const int generation = ++generation_;
    awaitingPassword_ = false;
    if (settings_.publish.user.isEmpty()) {
        rebuild(std::nullopt, true, false);
        return;
    }
    if (sessionPassword_) {
        rebuild(sessionPassword_, true, false);
        return;
    }
    // Until the keyring answers nothing is published under the new options:
    // a first attempt without the password would only be refused.
    awaitingPassword_ = true;
    rebuild(std::nullopt, true, false);
    auto *job = new QKeychain::ReadPasswordJob(kKeyringService, this);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(keyringKey());
    connect(job, &QKeychain::Job::finished, this, [this, job, generation] {
        if (generation != generation_ || closed_)
            return;
        awaitingPassword_ = false;
        if (job->error() == QKeychain::NoError) {
            sessionPassword_ = job->textData();
        } else if (job->error() != QKeychain::EntryNotFound) {
            // No keyring on this desktop: the password is asked at every start.
            const PublishOptions &p = settings_.publish;
            sessionPassword_ = prompt_(QStringLiteral("Senha do usuário \"%1\" no servidor MQTT %2:%3\n"
                                                      "(não há chaveiro do sistema para guardá-la)")
                                           .arg(p.user, p.host)
                                           .arg(p.port));
            if (generation != generation_ || closed_)
                return;
        }
        rebuild(sessionPassword_, true, false);
    });
    job->start();
}

void PanelMonitor::rebuild(const std::optional<QString> &password, bool mqttToo, bool metricsToo)
{
    if (closed_)
        return;
    if (mqttToo && mqtt_)
        mqtt_->close();
    const std::optional<bool> up = sinks_->linkUp();
    const QDateTime now = app_.clock().now();
    if (mqttToo)
        mqtt_.reset();
    if (metricsToo) {
        metricsServer_.reset();
        metrics_.reset();
    }
    const PublishOptions &p = settings_.publish;
    if (mqttToo && p.enabled && !p.host.isEmpty() && !awaitingPassword_) {
        MqttSinkOptions o;
        o.id = instrumentId();
        o.broker.host = p.host;
        o.broker.port = p.port;
        o.broker.clientId = QStringLiteral("termohigrometro-") + o.id;
        o.broker.user = p.user;
        if (password && !p.user.isEmpty()) {
            o.broker.password = *password;
            o.broker.hasPassword = true;
        }
        o.broker.caFile = p.caFile;
        o.topics.prefix = p.topicPrefix.isEmpty() ? defaultTopicPrefix(o.id) : p.topicPrefix;
        o.haDiscovery = p.haDiscovery;
        mqtt_ = std::make_unique<MqttSink>(o);
        connect(mqtt_.get(), &MqttSink::statusChanged, this, &PanelMonitor::statusChanged);
        mqtt_->start();
        mqtt_->adopt(std::exchange(carried_, {}));
        // A new sink learns the link's state as the others did.
        if (up)
            mqtt_->onLinkChanged(*up, now);
    }
    if (metricsToo && p.metricsPort != 0) {
        metrics_ = std::make_unique<MetricsSink>(instrumentId(), settings_.limits);
        metrics_->setWarningLimits(settings_.warning);
        if (up)
            metrics_->onLinkChanged(*up, now);
        metricsServer_ = std::make_unique<MetricsServer>([m = metrics_.get()] { return m->text(); });
        QString error;
        // The loopback only, as `monitor` serves by default: a scraper on
        // this machine (or a proxy) reaches it, nobody else.
        if (!metricsServer_->listen(QHostAddress::LocalHost, p.metricsPort, &error)) {
            metricsServer_.reset();
            metricsError_ = error;
            app_.showError(
                QStringLiteral("Não foi possível servir as métricas na porta %1:\n%2").arg(p.metricsPort).arg(error));
        } else {
            metricsError_.clear();
        }
    }
    if (metrics_) {
        if (mqtt_)
            metrics_->setPublisherStatus([mqtt = mqtt_.get()] {
                return PublisherStatus{mqtt->isConnected(), mqtt->queued(), mqtt->dropped()};
            });
        else
            metrics_->setPublisherStatus({});
    }
    emit statusChanged();
}

void PanelMonitor::sample(const Reading &reading, const QDateTime &time)
{
    if (closed_)
        return;
    Sample s;
    s.time = time;
    s.reading = reading;
    s.sequence = ++sequence_;
    std::array<AlarmState, kQuantities> before{};
    for (int i = 0; i < kQuantities; ++i)
        before[size_t(i)] = state(Quantity(i));
    const QVector<AlarmEvent> events = sinks_->sample(s);
    last_ = s;
    bool started = false;
    for (const AlarmEvent &e : events)
        started = started || (e.subject == AlarmSubject::Quantity && e.level == AlarmLevel::Alarm &&
                              e.state != AlarmState::Ok && before[size_t(e.quantity)] == AlarmState::Ok);
    if (started && settings_.sound) {
        ++beeps_;
        if (beeper_)
            beeper_();
    }
    if (!events.isEmpty()) {
        emit alarmsChanged();
        emit logChanged();
    }
}

void PanelMonitor::linkChanged(bool up)
{
    if (closed_ || sinks_->linkUp() == up)
        return;
    sinks_->linkChanged(up, app_.clock().now());
    emit alarmsChanged();
}

void PanelMonitor::dispatch(const QVector<AlarmEvent> &events)
{
    for (const AlarmEvent &e : events)
        for (SampleSink *s : current())
            s->onAlarm(e);
}

bool PanelMonitor::setAlarmSettings(const Limits &limits, int delay, bool sound, QString *error)
{
    PanelSettings a = settings_;
    a.limits = limits;
    a.delay = delay;
    a.delayMs = 0;
    a.sound = sound;
    return setAlarmSettings(a, error);
}

bool PanelMonitor::setAlarmSettings(const PanelSettings &a, QString *error)
{
    if (a.sameAlarms(settings_))
        return true;
    const QJsonObject before = alarmSettingsJson(settings_);
    // Running alarms are not ended here: the next sample weighs them
    // against the new limits, so the log never says "normal" while the
    // value is still outside.
    if (!(a.alarmConfig() == settings_.alarmConfig()))
        sinks_->alarms().setConfig(a.alarmConfig());
    settings_.limits = a.limits;
    settings_.delay = a.delay;
    settings_.sound = a.sound;
    settings_.warning = a.warning;
    settings_.warningDelay = a.warningDelay;
    settings_.delayMs = a.delayMs;
    settings_.hysteresis = a.hysteresis;
    settings_.linkAlarmAfterMs = a.linkAlarmAfterMs;
    if (metrics_) {
        metrics_->setLimits(settings_.limits);
        metrics_->setWarningLimits(settings_.warning);
    }
    sinks_->settingsChanged(QStringLiteral("limits"), before, alarmSettingsJson(settings_));
    emit alarmsChanged();
    return settings_.save(error);
}

bool PanelMonitor::setPublishing(const PublishOptions &options, const std::optional<QString> &password, QString *error,
                                 QString *notice)
{
    const PublishOptions old = settings_.publish;
    const bool newPassword = password && password != sessionPassword_;
    if (options == old && !newPassword)
        return true; // an OK that changes nothing keeps the connection and its queue
    const bool metricsMoved = options.metricsPort != old.metricsPort || options.id != old.id;
    PublishOptions oldButMetrics = old;
    oldButMetrics.metricsPort = options.metricsPort;
    const bool mqttChanged = !(options == oldButMetrics) || newPassword;
    const bool sameAccount = options.user == old.user && options.host == old.host && options.port == old.port;
    // The queued samples belong to their topics: under the same topics they
    // go to the new connection, under others they would say the wrong thing.
    const bool sameTopics = options.id == old.id && options.topicPrefix == old.topicPrefix;
    settings_.publish = options;
    sinks_->settingsChanged(QStringLiteral("notifications"), publishJson(old), publishJson(options));
    const bool saved = settings_.save(error);
    if (!sameAccount)
        sessionPassword_.reset();
    if (password && !options.user.isEmpty()) {
        sessionPassword_ = password;
        auto *job = new QKeychain::WritePasswordJob(kKeyringService, this);
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(keyringKey());
        job->setTextData(*password);
        connect(job, &QKeychain::Job::finished, this, [this, job] {
            if (job->error() == QKeychain::NoError || closed_)
                return;
            app_.prompts().message(QStringLiteral("A senha não pôde ser guardada no chaveiro do sistema.\n%1\n"
                                                  "Ela vale até o fim desta execução e será pedida no próximo início.")
                                       .arg(keyringErrorText(job->error(), job->errorString())),
                                   texts::kTitle, Prompts::Buttons::Ok, Prompts::Icon::Information);
        });
        job->start();
    }
    if (metricsMoved)
        rebuild(std::nullopt, false, true);
    if (!mqttChanged)
        return saved;
    // What waits for the broker now is kept for the new connection, or said to be gone.
    std::deque<PublishQueue::Message> waiting;
    if (mqtt_)
        waiting = mqtt_->takeQueued();
    if (!waiting.empty() && notice) {
        if (!options.enabled || !sameTopics)
            *notice = QStringLiteral("%1 mensagens que aguardavam o servidor foram descartadas (%2). "
                                     "As amostras continuam no arquivo de gravação, se houver.")
                          .arg(waiting.size())
                          .arg(options.enabled ? QStringLiteral("os tópicos mudaram")
                                               : QStringLiteral("a publicação foi desligada"));
        else
            *notice = QStringLiteral("%1 mensagens que aguardavam o servidor seguem, na ordem, pela nova conexão.")
                          .arg(waiting.size());
    }
    // A keyring answer still on its way belongs to the old options.
    ++generation_;
    awaitingPassword_ = false;
    carried_ = options.enabled && sameTopics ? std::move(waiting) : std::deque<PublishQueue::Message>();
    if (options.enabled)
        startWithPasswordFromKeyring();
    else
        rebuild(std::nullopt, true, false);
    return saved;
}

bool PanelMonitor::setAskReasons(bool on, QString *error)
{
    if (on == settings_.askReasons)
        return true;
    integrity::auditRecord(QStringLiteral("settings.reasons.set"), settings_.askReasons, on);
    settings_.askReasons = on;
    app_.setAskReasons(on);
    return settings_.save(error);
}

AlarmState PanelMonitor::state(Quantity q) const
{
    return sinks_->alarms().state(q);
}

QVector<AlarmEvent> PanelMonitor::events() const
{
    return sinks_->alarms().events();
}

std::optional<AlarmEvent> PanelMonitor::shown(AlarmSubject subject, Quantity q) const
{
    const QVector<AlarmEvent> all = events();
    for (auto it = all.crbegin(); it != all.crend(); ++it)
        if (it->subject == subject && (subject != AlarmSubject::Quantity || it->quantity == q) &&
            (it->running() || !it->acknowledged))
            return *it;
    return std::nullopt;
}

QString PanelMonitor::userName()
{
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

bool PanelMonitor::acknowledge(quint64 id, const QString &comment, QString *error)
{
    const auto r = sinks_->acknowledge(id, userName(), comment, app_.clock().now());
    if (!r.ok) {
        if (error)
            *error = r.error;
        return false;
    }
    emit alarmsChanged();
    emit logChanged();
    return true;
}

void PanelMonitor::addSink(SampleSink *sink)
{
    sinks_->add(sink);
}

QString PanelMonitor::logFile() const
{
    return log_ ? log_->path() : QString();
}

QStringList PanelMonitor::runLog() const
{
    return log_ ? log_->runLines() : QStringList();
}

bool PanelMonitor::publishingTrouble() const
{
    return settings_.publish.enabled && mqtt_ && !mqtt_->isConnected() && !mqtt_->lastError().isEmpty();
}

QString PanelMonitor::metricsUrl() const
{
    return metricsServer_ ? metricsServer_->url() : QString();
}

QString PanelMonitor::statusText() const
{
    const QString metrics = metricsServer_             ? QStringLiteral("\nMétricas em %1").arg(metricsServer_->url())
                            : !metricsError_.isEmpty() ? QStringLiteral("\nMétricas: %1").arg(metricsError_)
                                                       : QString();
    QString mail;
    if (settings_.email.enabled)
        // The sender's notices name the e-mail themselves.
        mail = QLatin1Char('\n') + (emailStatus_.isEmpty() ? QStringLiteral("E-mail: pronto.") : emailStatus_);
    return publishingText() + metrics + mail;
}

QString PanelMonitor::publishingText() const
{
    const PublishOptions &p = settings_.publish;
    if (!p.enabled)
        return QStringLiteral("Publicação desligada.");
    if (!mqtt_)
        return QStringLiteral("Aguardando a senha do servidor %1:%2.").arg(p.host).arg(p.port);
    QString text = mqtt_->isConnected() ? QStringLiteral("Conectado a %1:%2.").arg(p.host).arg(p.port)
                                        : QStringLiteral("Sem conexão com %1:%2.").arg(p.host).arg(p.port);
    text += QStringLiteral(" Mensagens na fila: %1.").arg(mqtt_->queued());
    if (mqtt_->dropped() > 0)
        text += QStringLiteral(" Descartadas: %1.").arg(mqtt_->dropped());
    if (!mqtt_->lastError().isEmpty())
        text += QStringLiteral("\nÚltimo erro: %1").arg(mqttErrorText(mqtt_->lastError()));
    return text;
}

void PanelMonitor::close()
{
    if (closed_)
        return;
    closed_ = true;
    sinks_->close();
    for (SampleSink *s : current())
        s->close();
    // What is owed goes now, within a limit: a dead server must not hold the exit.
    if (smtp_)
        smtp_->close(5000);
}

namespace {
// Each window at most once: made when missing, then brought to the front.
template <class Make> void showOnce(QPointer<QWidget> &window, Make make)
{
    if (!window)
        window = make();
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void PanelMonitor::showLimits()
{
    showOnce(limitsWindow, [this] { return new AlarmLimits(app_, *this); });
}

void PanelMonitor::showMonitoring()
{
    showOnce(monitoringWindow, [this] { return new Monitoring(app_, *this); });
}

void PanelMonitor::showAlarmLog()
{
    // A window of its own beside the panel: it stays when the limits window closes.
    showOnce(alarmLogWindow, [this] { return new AlarmLogView(*this, app_.mainWindow()); });
}

void PanelMonitor::unitChanged(bool celsius)
{
    if (auto *limits = qobject_cast<AlarmLimits *>(limitsWindow.data()))
        limits->setCelsius(celsius);
}
