#include "ui/lists/ListReport.h"

#include "core/report/FullReport.h"
#include "render/FullReportPainter.h"
#include "ui/common/App.h"
#include "ui/lists/DataList.h"
#include "ui/lists/FileList.h"
#include "ui/lists/Grid.h"
#include "ui/lists/List.h"
#include "ui/lists/ListOps.h"
#include "ui/lists/SignReport.h"
#include "ui/lists/StatsWindow.h"

#include <QPrinter>

namespace {
fullreport::Input reportInput(ListWindow &list)
{
    App &app = list.app();
    const SharedState &s = app.state();
    fullreport::Input in;
    in.name = list.name();
    in.sector = list.sector();
    in.company = list.company();
    in.celsius = list.celsiusShown();
    in.source = list.windowTitle();
    if (auto *file = qobject_cast<FileList *>(&list); file == nullptr)
        in.sourceLabel = QStringLiteral("Lista");
    else if (!file->filePath().isEmpty())
        in.integrity = fullreport::integrityFields(file->filePath());
    if (qobject_cast<List *>(&list) && s.PcSampleSeconds > 0)
        in.intervalSeconds = s.PcSampleSeconds;
    if (qobject_cast<DataList *>(&list) && s.logger.selectedSet >= 1 && s.logger.selectedSet <= s.logger.sets.size())
        in.intervalSeconds = s.logger.sets.at(s.logger.selectedSet - 1).interval;
    if (const auto *stats = list.findChild<StatsWindow *>())
        in.limits = stats->limits();
    // The rows as they stand now: the report does not change under the
    // preview while the live list grows.
    in.rows = list.visibleRows();
    in.madeAt = app.clock().now();
    return in;
}
} // namespace

bool showListReport(ListWindow &list)
{
    const fullreport::Input input = reportInput(list);
    const QString title = fullreport::title() + QStringLiteral(" - ") + input.source;
    const PrintService::Paint paint = [&](QPrinter &printer) {
        BusyCursor busy;
        return paintFullReport(printer, input).ok;
    };
    // A file's report carries the file and its signature when signed.
    QStringList dataFiles;
    if (auto *file = qobject_cast<FileList *>(&list); file && !file->filePath().isEmpty())
        dataFiles << file->filePath();
    const bool ok = list.app().printer().preview(&list, title, paint, signAndSaveAction(list.app(), paint, dataFiles));
    if (!ok)
        list.app().showError(listtexts::printFailed());
    return ok;
}
