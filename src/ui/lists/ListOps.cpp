#include "ui/lists/ListOps.h"

#include "core/files/DataFile.h"
#include "core/files/Report.h"
#include "core/files/TextFile.h"
#include "core/link/Pause.h"
#include "render/ReportPrinter.h"
#include "ui/common/App.h"
#include "ui/lists/Grid.h"
#include "ui/lists/ListWindow.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QTimer>

namespace {
constexpr int kCaptionEveryMs = 40;
const QChar kTab(QLatin1Char('\t'));

} // namespace

PollingPause::PollingPause(App &app) : app_(app)
{
    wasRunning_ = app.pollTimer() && app.pollTimer()->isActive();
    app.stopPolling();
}

PollingPause::~PollingPause()
{
    if (wasRunning_)
        app_.startPolling();
}

BusyCursor::BusyCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

CaptionProgress::CaptionProgress(QWidget *window) : window_(window)
{
    if (window_)
        caption_ = window_->windowTitle();
}

void CaptionProgress::show(int count)
{
    if (!window_ || (shown_.isValid() && shown_.elapsed() < kCaptionEveryMs))
        return;
    window_->setWindowTitle(QString::number(count) + texts::kProgressSuffix);
    shown_.start();
}

void CaptionProgress::restore()
{
    if (restored_)
        return;
    restored_ = true;
    if (window_)
        window_->setWindowTitle(caption_);
}

QByteArray gridFileBytes(const QString &name, const QString &sector, const QString &company,
                         const QVector<QString> &rows, const std::function<void(int)> &progress)
{
    QString text = crlfLines(headerLines(name, sector, company));
    qsizetype size = text.size();
    for (const QString &row : rows)
        size += row.size() + 4;
    text.reserve(size);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        text += gridDumpLine(rows.at(i).split(kTab));
        text += QLatin1String("\r\n");
        if (progress)
            progress(int(i));
    }
    return encodeDataText(text);
}

bool writeGridFile(const QString &path, const QString &name, const QString &sector, const QString &company,
                   const QVector<QString> &rows, QString *error, const std::function<void(int)> &progress)
{
    return writeFileAtomically(path, gridFileBytes(name, sector, company, rows, progress), error);
}

bool SaveGridToFile(App &app, ListWindow &window, const Grid &grid)
{
    BusyCursor busy;
    SharedState &s = app.state();
    if (!s.FileChosen)
        return false;
    QString error;
    bool ok = false;
    {
        CaptionProgress caption(&window);
        ok = writeGridFile(s.RecordFilePath, window.name(), window.sector(), window.company(),
                           grid.gridModel()->snapshot(), &error, [&](int i) { caption.show(i); });
    }
    s.FileChosen = false;
    if (!ok)
        app.showError(listtexts::saveFailed(error));
    return ok;
}

bool PrintGrid(App &app, ListWindow &window, const Grid &grid, const QStringList &preface)
{
    // What is printed is the grid as it stands now, whatever happens to the
    // window while events run between the printed rows.
    const QStringList head = preface + reportHeadLines(window.name(), window.sector(), window.company());
    const QStringList lines =
        preface + gridReportLines(window.name(), window.sector(), window.company(), grid.gridModel()->snapshot());

    std::unique_ptr<QPrinter> printer = app.printer().choosePrinter(&window, window.windowTitle());
    if (!printer)
        return false;

    BusyCursor busy;
    PollingPause polling(app);
    CaptionProgress progress(&window);
    ReportPrinter report(*printer);
    if (!report.begin()) {
        progress.restore();
        app.showError(listtexts::printFailed());
        return false;
    }
    const int firstRow = int(head.size()); // the heading row; the ruler follows it
    for (int k = 0; k < lines.size(); ++k) {
        if (k >= firstRow) {
            progress.show(k == firstRow ? 0 : k - firstRow - 1);
            app.pause().processEvents();
        }
        report.printLine(lines.at(k));
    }
    const bool ok = report.end();
    progress.restore();
    if (!ok)
        app.showError(listtexts::printFailed());
    return ok;
}

namespace listtexts {
QString saveFailed(const QString &reason)
{
    return QStringLiteral("Não foi possível gravar o arquivo. O arquivo anterior, se havia um, ficou como "
                          "estava.\n%1")
        .arg(reason);
}

QString printFailed()
{
    return QStringLiteral("Não foi possível imprimir: a impressora ou o arquivo de saída não está disponível.");
}

QString openFailed(const QString &reason)
{
    return QStringLiteral("Não foi possível abrir o arquivo.\n%1").arg(reason);
}
} // namespace listtexts
