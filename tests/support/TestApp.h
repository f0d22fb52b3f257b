#pragma once

#include "core/Clock.h"
#include "platform/EventPause.h"
#include "platform/FolderMemory.h"
#include "platform/PrintService.h"
#include "platform/Prompts.h"
#include "ui/common/App.h"
#include "ui/monitor/PanelSettings.h"

#include <QFile>
#include <QTemporaryDir>

// The whole file; empty when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Checks that the window renders; saves the picture as NAME.png when
// TH_SCREENSHOT_DIR is set.
void snapshot(QWidget *w, const QString &name);

// A settable clock for tests.
class FakeClock : public Clock {
public:
    QDateTime t = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0));
    QDateTime now() const override { return t; }
};

// An App with scripted prompts, PDF printing into a temporary folder, a
// settable clock and the real event pause. The shared state is reset.
struct TestApp {
    QTemporaryDir dir;
    ScriptedPrompts *prompts = nullptr;
    PdfPrintService *printer = nullptr;
    FakeClock *clock = nullptr;
    EventPause *pause = nullptr;
    std::unique_ptr<App> app;

    TestApp()
    {
        sharedState() = SharedState{};
        App::Services s;
        auto p = std::make_unique<ScriptedPrompts>();
        prompts = p.get();
        s.prompts = std::move(p);
        auto pr = std::make_unique<PdfPrintService>(dir.filePath(QStringLiteral("printed.pdf")));
        printer = pr.get();
        s.printer = std::move(pr);
        auto c = std::make_unique<FakeClock>();
        clock = c.get();
        s.clock = std::move(c);
        auto pa = std::make_unique<EventPause>();
        pause = pa.get();
        s.pause = std::move(pa);
        app = std::make_unique<App>(std::move(s));
        app->setAutoDumpFolder(dir.filePath(QStringLiteral("dumps")));
        // The panel's lasting settings never come from the user's own file.
        PanelSettings::setFile(dir.filePath(QStringLiteral("painel.ini")));
        folders::setSettingsFile(dir.filePath(QStringLiteral("pastas.ini")));
    }

    QString path(const QString &name) const { return dir.filePath(name); }
};
