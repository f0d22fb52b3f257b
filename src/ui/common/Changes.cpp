#include "ui/common/Changes.h"

#include "core/integrity/Audit.h"
#include "ui/common/App.h"

#include <QJsonObject>
#include <QPointer>

namespace changes {

std::optional<QString> askReason(App &app)
{
    if (!app.askReasons())
        return QString();
    const QString reason = app.prompts()
                               .input(QStringLiteral("Por que esta alteração é feita? (sem motivo, nada é alterado)"),
                                      kReasonTitle, QString())
                               .trimmed();
    if (reason.isEmpty())
        return std::nullopt;
    return reason;
}

void record(App &app, const QString &action, const QJsonValue &old, const QJsonValue &now, const QString &reason)
{
    const SharedState &s = app.state();
    const QString port = s.PortName.isEmpty() ? QStringLiteral("COM%1").arg(s.ComPort) : s.PortName;
    QJsonObject instrument{{QStringLiteral("port"), port}};
    if (!s.InstrumentType.isEmpty())
        instrument.insert(QStringLiteral("type"), s.InstrumentType);
    integrity::auditRecord(action, old, now, reason, instrument);
}

void startRecords(App &app)
{
    integrity::setProgram(QStringLiteral("termohigrometro/" TH_VERSION));
    QPointer<App> owner = &app;
    integrity::setNotifier([owner](const QString &message) {
        if (!owner)
            return;
        QString text = message;
        text[0] = text[0].toUpper();
        owner->prompts().notice(text, texts::kTitle);
    });
    integrity::setSigningEnabled(true);
    integrity::auditRecord(QStringLiteral("program.start"));
}

void endRecords()
{
    integrity::auditRecord(QStringLiteral("program.end"));
    integrity::finishTrail();
    integrity::setNotifier({});
}

} // namespace changes
