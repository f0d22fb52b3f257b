#include "ui/monitor/MonitorTexts.h"

#include <QRegularExpression>

namespace {
QString withDetail(const QString &text, const QString &detail)
{
    return detail.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, detail);
}
} // namespace

QString mqttErrorText(const QString &reason)
{
    if (reason.isEmpty())
        return {};
    static const QRegularExpression noAnswer(QStringLiteral("^no answer from the broker within (\\d+) s$"));
    if (const auto m = noAnswer.match(reason); m.hasMatch())
        return QStringLiteral("O servidor não respondeu em %1 s.").arg(m.captured(1));
    static const QRegularExpression noHost(QStringLiteral("^cannot find the host ([^:]*): (.*)$"));
    if (const auto m = noHost.match(reason); m.hasMatch())
        return withDetail(QStringLiteral("O servidor %1 não foi encontrado.").arg(m.captured(1)), m.captured(2));
    static const QString refusedBy = QStringLiteral("the broker refused the connection: ");
    if (reason.startsWith(refusedBy))
        return withDetail(QStringLiteral("O servidor recusou a conexão."), reason.mid(refusedBy.size()));
    if (reason == QLatin1String("the connection was lost"))
        return QStringLiteral("A conexão com o servidor caiu.");
    if (reason.contains(QLatin1String("Connection refused"), Qt::CaseInsensitive))
        return withDetail(QStringLiteral("Nenhum servidor MQTT atende nesse endereço e porta."), reason);
    if (reason.contains(QLatin1String("TLS"), Qt::CaseInsensitive) ||
        reason.contains(QLatin1String("SSL"), Qt::CaseInsensitive) ||
        reason.contains(QLatin1String("certificate"), Qt::CaseInsensitive))
        return withDetail(QStringLiteral("A conexão segura (TLS) com o servidor falhou."), reason);
    if (reason.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return withDetail(QStringLiteral("O servidor demorou demais a responder."), reason);
    if (reason.contains(QLatin1String("unreachable"), Qt::CaseInsensitive))
        return withDetail(QStringLiteral("A rede até o servidor não está disponível."), reason);
    return withDetail(QStringLiteral("Falha na conexão com o servidor."), reason);
}

QString keyringErrorText(QKeychain::Error error, const QString &detail)
{
    switch (error) {
    case QKeychain::NoError: return {};
    case QKeychain::EntryNotFound: return QStringLiteral("A senha não está no chaveiro do sistema.");
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return withDetail(QStringLiteral("O chaveiro do sistema negou o acesso."), detail);
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return withDetail(QStringLiteral("Não há chaveiro do sistema nesta sessão."), detail);
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError: break;
    }
    return withDetail(QStringLiteral("O chaveiro do sistema não respondeu como esperado."), detail);
}
