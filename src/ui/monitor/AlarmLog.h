#pragma once

#include "core/monitor/Sink.h"

#include <QFile>
#include <QStringList>

#include <array>
#include <functional>

// Every start and end of an alarm, one line each, appended to a CSV file and
// flushed at once: time, quantity, state, value, the limit crossed and the
// unit. Values are in °C (the unit of the monitoring service) with one
// decimal whatever the panel shows, so the file never mixes units. The lines of the current run are
// kept for the panel to show. A file that cannot be written is reported
// once; later changes try again.
class AlarmLog : public SampleSink {
public:
    static inline const QString kHeading = QStringLiteral("hora,grandeza,estado,valor,limite,unidade");

    AlarmLog(const QString &path, std::function<void(const QString &)> report);

    void onSample(const Sample &) override {}
    void onAlarm(const AlarmEvent &event) override;
    void close() override { file_.close(); }

    QString path() const { return file_.fileName(); }
    const QStringList &runLines() const { return lines_; }
    // The line of one change, after `before` (the state it leaves).
    static QString line(const AlarmEvent &event, AlarmState before);

private:
    bool ensureOpen();

    QFile file_;
    std::function<void(const QString &)> report_;
    std::array<AlarmState, kQuantities> state_{};
    QStringList lines_;
    bool reported_ = false;
};

// "temperatura", "umidade", "orvalho", "bulbo úmido".
QString quantityName(Quantity q);
// "ALTA", "BAIXA" or "normal".
QString alarmStateText(AlarmState s);
// Temperatures go to the displayed unit; humidity stays in %.
double displayedValue(Quantity q, double celsiusOrPercent, bool celsius);
double storedValue(Quantity q, double displayed, bool celsius);
QString unitText(Quantity q, bool celsius);
