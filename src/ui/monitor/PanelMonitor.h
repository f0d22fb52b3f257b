#pragma once

#include "core/monitor/PublishQueue.h"
#include "core/monitor/SinkSet.h"
#include "ui/monitor/PanelSettings.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class App;
class AlarmLog;
class MetricsServer;
class MetricsSink;
class MqttSink;
class EmailSink;
class SmtpSender;
struct SmtpSettings;
struct Reading;

// The panel's sinks of PC samples beside the recording file and the live
// list: the alarm states with their log and sound, and the publication to
// the lab's broker, built as `termohigrometro-cli monitor` builds them.
class PanelMonitor : public QObject {
    Q_OBJECT
public:
    explicit PanelMonitor(App &app, QObject *parent = nullptr);
    ~PanelMonitor() override;

    // Reads the settings (a damaged file: one message, then the defaults)
    // and starts publishing when it is on.
    void start();
    // One PC sample of a fresh reading.
    void sample(const Reading &reading, const QDateTime &time);
    // Only real changes count; none is taken before the first.
    void linkChanged(bool up);
    // The program ends: "offline" to the broker, files closed.
    void close();

    const PanelSettings &settings() const { return settings_; }
    // Stores new limits (°C and %), delay and sound, and checks the next
    // samples against them; running alarms go on until a sample ends them.
    // Settings equal to the current ones change nothing.
    bool setAlarmSettings(const Limits &limits, int delay, bool sound, QString *error = nullptr);
    // The same with every alarm setting of `alarms` (limits, warnings,
    // delays, hysteresis, the link alarm, the sound); the rest is ignored.
    bool setAlarmSettings(const PanelSettings &alarms, QString *error = nullptr);
    // Stores the publishing options. Only a change of the broker, the
    // account, the id or the topics makes a new connection; the messages
    // still queued go with it under the same topics, and *notice says what
    // became of them. A password given goes to the keyring (or, without
    // one, is kept for this run).
    bool setPublishing(const PublishOptions &options, const std::optional<QString> &password, QString *error = nullptr,
                       QString *notice = nullptr);

    // Whether changes of the instrument ask their reason (kept with the settings).
    bool setAskReasons(bool on, QString *error = nullptr);

    // Stores the e-mail options and sends with them from now on; a password
    // given goes to the keyring (or, without one, is kept for this run).
    bool setEmail(const EmailOptions &options, const std::optional<QString> &password, QString *error = nullptr);
    // The sender's settings of these options (the password as known now).
    SmtpSettings smtpSettings(const EmailOptions &options, const std::optional<QString> &password) const;
    // What the e-mail sender last said (an outage, its end); empty when nothing.
    QString emailStatus() const { return emailStatus_; }
    std::optional<QString> knownSmtpPassword() const { return smtpPassword_; }
    AlarmState state(Quantity q) const;
    // The events of this run (running, unacknowledged, the latest others), by id.
    QVector<AlarmEvent> events() const;
    // What a badge of the main window stands for: the latest event of the
    // quantity (or of the link, or of the battery) that runs or still waits
    // for an acknowledgement.
    std::optional<AlarmEvent> shown(AlarmSubject subject, Quantity q = Quantity::Temperature) const;
    // Acknowledges an event as the user logged in; false with the reason.
    bool acknowledge(quint64 id, const QString &comment, QString *error = nullptr);
    // The login name acknowledgements are recorded under.
    static QString userName();
    App &app() const { return app_; }
    // One more consumer of samples and alarm events (not owned), which hears
    // every start, end and acknowledgement (SampleSink::onAcknowledged) and
    // every change of the alarm or publishing settings, old and new
    // (SampleSink::onSettingsChanged): the place for an audit trail.
    void addSink(SampleSink *sink);
    std::optional<bool> linkUp() const { return sinks_->linkUp(); }
    QString logFile() const;
    QStringList runLog() const;
    quint64 samples() const { return sequence_; }
    int beeps() const { return beeps_; }
    // The sound of an alarm's start (QApplication::beep unless replaced).
    void setBeeper(std::function<void()> beeper) { beeper_ = std::move(beeper); }
    // Asks the broker's password when the keyring cannot give it; nullopt: cancelled.
    using PasswordPrompt = std::function<std::optional<QString>(const QString &text)>;
    void setPasswordPrompt(PasswordPrompt prompt) { prompt_ = std::move(prompt); }

    MqttSink *mqtt() const { return mqtt_.get(); }
    // "Conectado a ...", "Sem conexão com ...", queued samples, the last error.
    QString statusText() const;
    // Publishing is on and the broker cannot be reached (an attempt has failed).
    bool publishingTrouble() const;
    // "http://127.0.0.1:PORT/metrics" while the metrics are served.
    QString metricsUrl() const;
    // The id the samples are published under (chosen, or from the port).
    QString instrumentId() const;

    // The windows of the two toolbar buttons (at most one each).
    void showLimits();
    void showMonitoring();
    void showAlarmLog();
    QPointer<QWidget> limitsWindow, monitoringWindow, alarmLogWindow;
    // The display's unit changed (an open limits window follows it).
    void unitChanged(bool celsius);

signals:
    void alarmsChanged();
    void logChanged();
    void statusChanged();

private:
    class Relay;
    QList<SampleSink *> current() const;
    // A new MQTT sink, new metrics or both, told the state of the link;
    // the other sinks and the alarm states stay as they are.
    void rebuild(const std::optional<QString> &password, bool mqttToo, bool metricsToo);
    QString publishingText() const;
    void startWithPasswordFromKeyring();
    void dispatch(const QVector<AlarmEvent> &events);
    QString keyringKey() const;

    App &app_;
    PanelSettings settings_;
    std::unique_ptr<AlarmLog> log_;
    std::unique_ptr<MqttSink> mqtt_;
    std::unique_ptr<MetricsSink> metrics_;
    std::unique_ptr<MetricsServer> metricsServer_;
    QString metricsError_;
    void rebuildEmail();
    QString smtpKeyringKey(const EmailOptions &o) const;
    std::unique_ptr<SmtpSender> smtp_;
    std::unique_ptr<EmailSink> email_;
    std::optional<QString> smtpPassword_;
    QString emailStatus_;
    std::unique_ptr<SampleSink> audit_;
    std::unique_ptr<SinkSet> sinks_; // its one sink, a Relay, hands on to the three above
    std::optional<QString> sessionPassword_;
    std::deque<PublishQueue::Message> carried_; // for the next MQTT sink
    std::optional<Sample> last_;
    quint64 sequence_ = 0;
    int beeps_ = 0;
    int generation_ = 0; // a keyring answer for older settings is ignored
    bool awaitingPassword_ = false;
    bool closed_ = false;
    std::function<void()> beeper_;
    PasswordPrompt prompt_;
};
