#include "core/files/Logger.h"
#include "core/link/SerialLink.h"
#include "ui/common/App.h"
#include "ui/common/Changes.h"
#include "ui/common/Commands.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/memory/Memory.h"

#include <QJsonObject>
#include <QPointer>
#include <QProgressBar>

namespace {
// A full memory takes about 35 s at 9600 baud; the bound leaves room for the
// restarts a bad dump start causes.
constexpr double kDumpSeconds = 150;
const QString kEmptyMemory = QStringLiteral("Sem dados na memória");
} // namespace

namespace commands {

void downloadMemory(App &app)
{
    SharedState &s = app.state();
    if (s.MemoryBusy)
        return;
    // The memory cannot be read while the instrument writes into it: say why
    // rather than let the click seem lost.
    if (s.reading.InstrumentRecording) {
        app.refuseRecording();
        return;
    }
    // A settings exchange waiting on the instrument would see the dump's bytes.
    if (!app.link())
        return;
    dialoglink::Exchange exchange(app, dialoglink::Talk::Memory);
    if (!exchange.active())
        return;
    s.MemoryBusy = true;
    Memory::setDownloading(true);
    app.stopPolling();
    auto finish = [&app, &s] {
        Memory::setDownloading(false);
        if (!app.memory)
            s.MemoryBusy = false;
        app.startPolling();
    };

    LinkContext ctx = dialoglink::context(app);
    std::optional<LoggerStatus> status = requestLoggerStatus(ctx);
    if (!status) {
        dialoglink::reportFailure(app, ctx);
        finish();
        return;
    }
    if (status->pointer == loggermem::kEmptyPointer) {
        app.showError(kEmptyMemory);
        s.MemoryBusy = false;
        app.link()->Send("A");
        finish();
        return;
    }

    auto *w = new Memory(app, app.mainWindow());
    app.memory = w;
    w->show();
    QPointer<Memory> window(w);
    w->setUsedPercent(memoryUsedPercent(status->pointer, status->setCount));

    ctx.timeoutSeconds = kDumpSeconds;
    const std::optional<QByteArray> dump = downloadDump(ctx, *status, [&window](int percent) {
        if (window)
            window->MBar->setValue(percent);
    });
    if (!dump) {
        dialoglink::reportFailure(app, ctx);
        if (window)
            window->close();
        finish();
        return;
    }
    s.logger = parseLoggerDump(*dump, *status, s.InstrumentType);
    int records = 0;
    for (const auto &set : s.logger.sets)
        records += set.size;
    changes::record(
        app, QStringLiteral("logger.download"), QJsonValue::Null,
        QJsonObject{{QStringLiteral("sets"), int(s.logger.sets.size())}, {QStringLiteral("records"), records}});
    if (window) {
        // The status may have been asked again after a bad dump start.
        window->setUsedPercent(memoryUsedPercent(status->pointer, status->setCount));
        window->MBar->setValue(100);
        for (int i = 0; i < s.logger.sets.size(); ++i)
            window->addSetRow(i + 1, s.logger.sets.at(i).interval, s.logger.sets.at(i).size);
    }
    ctx.timeoutSeconds = dialoglink::timeoutSeconds();
    resyncAfterDump(ctx);
    finish();
}

} // namespace commands
