#include "ui/dialogs/DialogLink.h"

#include "ui/common/App.h"

#include <cmath>

namespace dialoglink {

namespace {
double g_timeout = 10.0;
bool g_running = false;
Talk g_talk = Talk::Settings;
} // namespace

const QString kNoAnswer =
    QStringLiteral("O instrumento não respondeu.\nVerifique a conexão e se o instrumento está ligado.");
const QString kNotANumber = QStringLiteral("Digite um número.");
const QString kMemoryTransfer = QStringLiteral("Aguarde o fim da transferência da memória.");
const QString kExchangeBusy = QStringLiteral("Aguarde o fim da comunicação com o instrumento.");

double timeoutSeconds()
{
    return g_timeout;
}
void setTimeoutSeconds(double seconds)
{
    g_timeout = seconds;
}

LinkContext context(App &app)
{
    Q_ASSERT(app.link());
    return LinkContext{*app.link(), app.pause(), g_timeout};
}

void reportFailure(App &app, const LinkContext &ctx)
{
    if (ctx.failure == LinkFailure::Aborted)
        return;
    app.showError(kNoAnswer);
}

bool refuseWhileBusy(App &app, bool tell)
{
    if (!g_running)
        return false;
    if (tell)
        app.showError(g_talk == Talk::Memory ? kMemoryTransfer : kExchangeBusy);
    return true;
}

Exchange::Exchange(App &app, Talk talk, bool tell)
{
    if (!app.link() || refuseWhileBusy(app, tell))
        return;
    g_running = true;
    g_talk = talk;
    active_ = true;
}

Exchange::~Exchange()
{
    if (active_)
        g_running = false;
}

bool exchangeRunning()
{
    return g_running;
}

bool memoryTransferRunning()
{
    return g_running && g_talk == Talk::Memory;
}

std::optional<double> parseAnswer(const QString &answer)
{
    QString text = answer.trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> askNumber(App &app, const QString &prompt, const QString &title, const QString &defaultAnswer)
{
    for (;;) {
        const QString answer = app.prompts().input(prompt, title, defaultAnswer);
        if (answer.isEmpty())
            return std::nullopt;
        if (const auto value = parseAnswer(answer))
            return value;
        app.showError(kNotANumber);
    }
}

} // namespace dialoglink
