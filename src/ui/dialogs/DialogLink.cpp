#include "ui/dialogs/DialogLink.h"

#include "ui/common/App.h"

#include <cmath>

namespace dialoglink {

namespace {
double g_timeout = 10.0;
bool g_running = false;
} // namespace

const QString kNoAnswer =
    QStringLiteral("O instrumento não respondeu.\nVerifique a conexão e se o instrumento está ligado.");
const QString kNotANumber = QStringLiteral("Digite um número.");

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

Exchange::Exchange(App &app)
{
    if (g_running || app.state().MemoryBusy || !app.link())
        return;
    g_running = true;
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
