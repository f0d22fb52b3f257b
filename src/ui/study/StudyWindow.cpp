#include "ui/study/StudyWindow.h"

#include "core/files/CsvFile.h"
#include "core/stats/StatsText.h"
#include "core/study/StudyReport.h"
#include "render/OverlayChart.h"
#include "render/StudyReportPainter.h"
#include "ui/common/App.h"
#include "ui/common/Icons.h"
#include "ui/common/KeyFilter.h"
#include "ui/lists/DataFileDrop.h"
#include "ui/lists/ListExport.h"
#include "ui/lists/ListOps.h"
#include "ui/lists/SignReport.h"
#include "ui/study/StudyChart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace {
using namespace study;

constexpr std::array<Quantity, 2> kLimited{Quantity::Temperature, Quantity::Humidity};
const QString kDateTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");

// Sorts by the number it carries rather than by its text ("10,0" after "9,0").
class NumberItem : public QTableWidgetItem {
public:
    NumberItem(const QString &text, double key) : QTableWidgetItem(text) { setData(Qt::UserRole, key); }
    bool operator<(const QTableWidgetItem &other) const override
    {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

QString decimals(double v, int n)
{
    return QString::number(v, 'f', n).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString pointDecimals(const std::optional<double> &v, int n)
{
    return v ? QString::number(*v, 'f', n) : QString();
}

QString isoText(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString();
}

// Bounds as typed: empty for none, else a number with a point or a comma.
bool readBound(const QLineEdit *box, std::optional<double> &bound)
{
    const QString text = box->text().trimmed();
    bound.reset();
    if (text.isEmpty())
        return true;
    bound = parseDecimal(text);
    return bound.has_value();
}

QString unitText(bool celsius)
{
    return celsius ? QStringLiteral("°C") : QStringLiteral("°F");
}

QStringList loggerHeadings(bool celsius)
{
    const QString unit = unitText(celsius);
    return {QStringLiteral("Rótulo"),
            QStringLiteral("Registros"),
            QStringLiteral("Intervalo"),
            QStringLiteral("Mínimo (%1)").arg(unit),
            QStringLiteral("Hora do mínimo"),
            QStringLiteral("Máximo (%1)").arg(unit),
            QStringLiteral("Hora do máximo"),
            QStringLiteral("Média (%1)").arg(unit),
            QStringLiteral("TCM (%1)").arg(unit),
            QStringLiteral("Tempo fora"),
            QStringLiteral("Excursões")};
}

// The period boxes show this while there is no period to show.
const QDateTime kNoPeriod(QDate(2000, 1, 1), QTime(0, 0));
} // namespace

QColor StudyWindow::hotColor()
{
    return QColor(255, 205, 205);
}

QColor StudyWindow::coldColor()
{
    return QColor(205, 222, 255);
}

StudyWindow::StudyWindow(App &app, QWidget *parent) : QWidget(parent, Qt::Window), app_(app)
{
    setObjectName(QStringLiteral("EstudoMapeamento"));
    setWindowTitle(QStringLiteral("Estudo de mapeamento"));
    setWindowIcon(toolbarIcon(QStringLiteral("Study")));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    closeOnEscape(this);
    buildLayout();

    // Typing a limit or a label changes the study a key at a time: one
    // analysis per pass of the event loop covers them all.
    update_.setSingleShot(true);
    update_.setInterval(0);
    connect(&update_, &QTimer::timeout, this, &StudyWindow::refresh);
    refresh();

    resize(1200, 860);
    const QWidget *main = app.mainWindow();
    const QRect frame = main ? main->frameGeometry() : QRect();
    placeWindow(this, main ? frame.x() + frame.width() : 0, main ? frame.y() : 0);
}

void StudyWindow::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);

    auto *top = new QHBoxLayout;
    auto *filesBox = new QGroupBox(QStringLiteral("Arquivos dos registradores"), this);
    auto *filesLayout = new QVBoxLayout(filesBox);
    GridFiles = new QTableWidget(0, 2, filesBox);
    GridFiles->setObjectName(QStringLiteral("GridFiles"));
    GridFiles->setHorizontalHeaderLabels({QStringLiteral("Rótulo"), QStringLiteral("Arquivo")});
    GridFiles->verticalHeader()->hide();
    GridFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridFiles->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    GridFiles->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    GridFiles->horizontalHeader()->setStretchLastSection(true);
    GridFiles->setColumnWidth(0, 200);
    GridFiles->setMinimumHeight(150);
    filesLayout->addWidget(GridFiles);
    auto *fileButtons = new QHBoxLayout;
    CmdAdd = new QPushButton(QStringLiteral("Adicionar arquivos…"), filesBox);
    CmdAdd->setObjectName(QStringLiteral("CmdAdd"));
    CmdAdd->setIcon(toolbarIcon(QStringLiteral("Open")));
    CmdRemove = new QPushButton(QStringLiteral("Remover"), filesBox);
    CmdRemove->setObjectName(QStringLiteral("CmdRemove"));
    CmdRemove->setEnabled(false);
    auto *hint = new QLabel(QStringLiteral("ou arraste arquivos .dlf para esta janela"), filesBox);
    hint->setStyleSheet(QStringLiteral("color: #6b7280"));
    fileButtons->addWidget(CmdAdd);
    fileButtons->addWidget(CmdRemove);
    fileButtons->addWidget(hint);
    fileButtons->addStretch(1);
    filesLayout->addLayout(fileButtons);
    top->addWidget(filesBox, 3);

    auto *optionsBox = new QGroupBox(QStringLiteral("Análise"), this);
    auto *grid = new QGridLayout(optionsBox);
    grid->addWidget(new QLabel(QStringLiteral("Inferior"), optionsBox), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Superior"), optionsBox), 0, 2);
    for (size_t i = 0; i < kLimited.size(); ++i) {
        const Quantity q = kLimited[i];
        limitLabels_[i] = new QLabel(statstext::quantityHeading(q, true), optionsBox);
        TxtLow[i] = new QLineEdit(optionsBox);
        TxtHigh[i] = new QLineEdit(optionsBox);
        TxtLow[i]->setObjectName(QStringLiteral("TxtLow_") + quantityKey(q));
        TxtHigh[i]->setObjectName(QStringLiteral("TxtHigh_") + quantityKey(q));
        for (QLineEdit *e : {TxtLow[i], TxtHigh[i]}) {
            e->setPlaceholderText(QStringLiteral("sem limite"));
            e->setAlignment(Qt::AlignRight);
            connect(e, &QLineEdit::textChanged, &update_, qOverload<>(&QTimer::start));
        }
        grid->addWidget(limitLabels_[i], int(i) + 1, 0);
        grid->addWidget(TxtLow[i], int(i) + 1, 1);
        grid->addWidget(TxtHigh[i], int(i) + 1, 2);
    }
    const auto period = [&](QCheckBox *&check, QDateTimeEdit *&edit, const char *checkName, const char *editName,
                            const QString &text, int row) {
        check = new QCheckBox(text, optionsBox);
        check->setObjectName(QLatin1String(checkName));
        check->setToolTip(QStringLiteral("Desmarcado: o período comum a todos os arquivos"));
        edit = new QDateTimeEdit(optionsBox);
        edit->setObjectName(QLatin1String(editName));
        edit->setDisplayFormat(kDateTimeFormat);
        edit->setMinimumDateTime(kNoPeriod);
        edit->setSpecialValueText(QStringLiteral("período comum"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        connect(check, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        connect(check, &QCheckBox::toggled, &update_, qOverload<>(&QTimer::start));
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this, check] {
            if (check->isChecked())
                update_.start();
        });
        grid->addWidget(check, row, 0);
        grid->addWidget(edit, row, 1, 1, 2);
    };
    period(ChkFrom, DtFrom, "ChkFrom", "DtFrom", QStringLiteral("De"), 3);
    period(ChkTo, DtTo, "ChkTo", "DtTo", QStringLiteral("Até"), 4);
    grid->addWidget(new QLabel(QStringLiteral("ΔH/R da TCM (K)"), optionsBox), 5, 0);
    TxtMkt = new QLineEdit(QString::number(kDefaultMktKelvin, 'f', 0), optionsBox);
    TxtMkt->setObjectName(QStringLiteral("TxtMkt"));
    TxtMkt->setAlignment(Qt::AlignRight);
    connect(TxtMkt, &QLineEdit::textChanged, &update_, qOverload<>(&QTimer::start));
    grid->addWidget(TxtMkt, 5, 1, 1, 2);
    grid->setRowStretch(6, 1);
    top->addWidget(optionsBox, 2);
    layout->addLayout(top);

    LblSummary = new QLabel(this);
    LblSummary->setObjectName(QStringLiteral("LblSummary"));
    LblSummary->setWordWrap(true);
    LblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(LblSummary);
    LblStatus = new QLabel(this);
    LblStatus->setObjectName(QStringLiteral("LblStatus"));
    LblStatus->setWordWrap(true);
    LblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblStatus->hide();
    layout->addWidget(LblStatus);

    GridLoggers = new QTableWidget(0, kColumns, this);
    GridLoggers->setObjectName(QStringLiteral("GridLoggers"));
    GridLoggers->verticalHeader()->hide();
    GridLoggers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridLoggers->setSelectionBehavior(QAbstractItemView::SelectRows);
    // In the order of the files until the user picks a column.
    GridLoggers->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    GridLoggers->setSortingEnabled(true);
    GridLoggers->horizontalHeader()->setHighlightSections(false);
    GridLoggers->setMinimumHeight(140);
    GridLoggers->setHorizontalHeaderLabels(loggerHeadings(true));
    GridLoggers->resizeColumnsToContents();
    layout->addWidget(GridLoggers, 2);

    auto *chartBar = new QHBoxLayout;
    chartBar->addWidget(new QLabel(QStringLiteral("Gráfico:"), this));
    CboChart = new QComboBox(this);
    CboChart->setObjectName(QStringLiteral("CboChart"));
    CboChart->addItems({QStringLiteral("Temperatura"), QStringLiteral("Umidade relativa")});
    connect(CboChart, &QComboBox::currentIndexChanged, this, &StudyWindow::showChart);
    chartBar->addWidget(CboChart);
    auto *chartHint = new QLabel(
        QStringLiteral("roda do mouse: aproximar · arrastar: deslocar · duplo clique: período inteiro"), this);
    chartHint->setStyleSheet(QStringLiteral("color: #6b7280"));
    chartBar->addWidget(chartHint);
    chartBar->addStretch(1);
    CmdReport = new QPushButton(toolbarIcon(QStringLiteral("Report")), QStringLiteral("Relatório"), this);
    CmdReport->setObjectName(QStringLiteral("CmdReport"));
    CmdExport = new QPushButton(toolbarIcon(QStringLiteral("Export")), QStringLiteral("Exportar CSV"), this);
    CmdExport->setObjectName(QStringLiteral("CmdExport"));
    chartBar->addWidget(CmdReport);
    chartBar->addWidget(CmdExport);
    layout->addLayout(chartBar);

    Chart = new StudyChart(this);
    layout->addWidget(Chart, 3);

    connect(CmdAdd, &QPushButton::clicked, this, &StudyWindow::CmdAdd_Click);
    connect(CmdRemove, &QPushButton::clicked, this, &StudyWindow::CmdRemove_Click);
    connect(CmdReport, &QPushButton::clicked, this, &StudyWindow::CmdReport_Click);
    connect(CmdExport, &QPushButton::clicked, this, &StudyWindow::CmdExport_Click);
    connect(GridFiles, &QTableWidget::itemSelectionChanged, this,
            [this] { CmdRemove->setEnabled(!GridFiles->selectionModel()->selectedRows().isEmpty()); });
    connect(GridFiles, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() != 0 || item->row() >= entries_.size())
            return;
        Entry &e = entries_[item->row()];
        const QString label = item->text().trimmed();
        // A label wiped out goes back to the file's name: every logger needs one.
        e.label = label.isEmpty() ? QFileInfo(e.path).completeBaseName() : label;
        if (label != item->text()) {
            const QSignalBlocker block(GridFiles);
            item->setText(e.label);
        }
        update_.start();
    });
}

void StudyWindow::addFiles(const QStringList &paths)
{
    BusyCursor busy;
    for (const QString &path : paths) {
        const QString full = QFileInfo(path).absoluteFilePath();
        if (std::any_of(entries_.cbegin(), entries_.cend(), [&](const Entry &e) { return e.path == full; }))
            continue;
        Entry e;
        e.path = full;
        e.label = QFileInfo(path).completeBaseName();
        DataRecordFile file;
        if (readDataRecords(full, file, &e.error)) {
            e.celsius = file.celsius;
            e.name = file.name;
            e.sector = file.sector;
            e.company = file.company;
            e.records = std::move(file.records);
        } else if (e.error.isEmpty()) {
            e.error = full;
        }
        entries_.append(std::move(e));
    }
    listFiles();
    update_.start();
}

QStringList StudyWindow::files() const
{
    QStringList out;
    for (const Entry &e : entries_)
        out << e.path;
    return out;
}

void StudyWindow::listFiles()
{
    const QSignalBlocker block(GridFiles);
    GridFiles->setRowCount(int(entries_.size()));
    for (int r = 0; r < entries_.size(); ++r) {
        const Entry &e = entries_[r];
        auto *label = new QTableWidgetItem(e.label);
        auto *file = new QTableWidgetItem(QFileInfo(e.path).fileName());
        file->setFlags(file->flags() & ~Qt::ItemIsEditable);
        file->setToolTip(e.error.isEmpty() ? e.path : e.error);
        if (!e.error.isEmpty())
            file->setForeground(QColor(176, 0, 32));
        GridFiles->setItem(r, 0, label);
        GridFiles->setItem(r, 1, file);
    }
    CmdRemove->setEnabled(!GridFiles->selectionModel()->selectedRows().isEmpty());
}

void StudyWindow::CmdAdd_Click()
{
    const QStringList paths = app_.prompts().openFiles(texts::kDataFilter);
    if (!paths.isEmpty())
        addFiles(paths);
}

void StudyWindow::CmdRemove_Click()
{
    QList<int> rows;
    for (const QModelIndex &i : GridFiles->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int r : rows)
        if (r < entries_.size())
            entries_.removeAt(r);
    GridFiles->clearSelection();
    listFiles();
    update_.start();
}

bool StudyWindow::readOptions(Options &options, QStringList *problems)
{
    QStringList wrong;
    for (size_t i = 0; i < kLimited.size(); ++i) {
        Bounds &b = options.limits[kLimited[i]];
        bool ok = readBound(TxtLow[i], b.low) && readBound(TxtHigh[i], b.high);
        if (ok && b.low && b.high && *b.low > *b.high)
            ok = false;
        if (!ok) {
            b = {};
            wrong << statstext::quantityHeading(kLimited[i], true).section(QLatin1Char(' '), 0, 0);
        }
        const QString style = ok ? QString() : QStringLiteral("background: #fde2e4");
        TxtLow[i]->setStyleSheet(style);
        TxtHigh[i]->setStyleSheet(style);
    }
    if (!wrong.isEmpty())
        *problems << QStringLiteral("Limites inválidos (números, inferior até o superior): %1")
                         .arg(wrong.join(QStringLiteral(", ")));
    const std::optional<double> k = parseDecimal(TxtMkt->text().trimmed());
    if (k && *k > 0)
        options.mktKelvin = *k;
    else
        *problems << QStringLiteral("ΔH/R da TCM inválido: um número maior que zero, em kelvin (padrão %1).")
                         .arg(kDefaultMktKelvin, 0, 'f', 0);
    TxtMkt->setStyleSheet(k && *k > 0 ? QString() : QStringLiteral("background: #fde2e4"));
    if (ChkFrom->isChecked())
        options.from = DtFrom->dateTime();
    if (ChkTo->isChecked())
        options.to = DtTo->dateTime();
    if (options.from && options.to && *options.to < *options.from)
        *problems << QStringLiteral("O período termina (Até) antes de começar (De).");
    return problems->isEmpty();
}

QVector<Logger> StudyWindow::loggers() const
{
    QVector<Logger> out;
    out.reserve(entries_.size());
    for (const Entry &e : entries_) {
        Logger l;
        l.label = e.label;
        l.file = e.path;
        l.celsius = e.celsius;
        l.records = e.records;
        out.append(std::move(l));
    }
    return out;
}

void StudyWindow::refresh()
{
    update_.stop();
    result_ = {};
    analysed_.clear();
    if (entries_.isEmpty()) {
        showFailure(QString());
        LblSummary->setText(QStringLiteral("Nenhum arquivo no estudo: adicione os arquivos dos registradores."));
        return;
    }
    // A file that cannot be read spoils the whole study: no figures are
    // shown until it is removed or replaced.
    QStringList unreadable;
    for (const Entry &e : entries_)
        if (!e.error.isEmpty())
            unreadable << QStringLiteral("Não foi possível ler %1").arg(e.error);
    if (!unreadable.isEmpty()) {
        showFailure(unreadable.join(QLatin1Char('\n')));
        return;
    }
    Options options;
    QStringList problems;
    if (!readOptions(options, &problems)) {
        showFailure(problems.join(QLatin1Char('\n')));
        return;
    }
    QVector<Logger> ls = loggers();
    result_ = analyze(ls, options);
    if (!result_.ok) {
        showFailure(result_.error);
        return;
    }
    analysed_ = std::move(ls);
    showResult();
}

void StudyWindow::showFailure(const QString &text)
{
    for (auto [check, edit] : {std::pair{ChkFrom, DtFrom}, std::pair{ChkTo, DtTo}})
        if (!check->isChecked()) {
            const QSignalBlocker block(edit);
            edit->setDateTime(kNoPeriod);
        }
    GridLoggers->setRowCount(0);
    Chart->clear();
    LblSummary->clear();
    LblStatus->setText(text);
    LblStatus->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold"));
    LblStatus->setVisible(!text.isEmpty());
    CmdReport->setEnabled(false);
    CmdExport->setEnabled(false);
}

void StudyWindow::showResult()
{
    const Result &r = result_;
    const QString unit = unitText(r.celsius);
    limitLabels_[0]->setText(statstext::quantityHeading(Quantity::Temperature, r.celsius));

    QStringList summary{QStringLiteral("%1 registradores, de %2 a %3, em %4.")
                            .arg(r.loggers.size())
                            .arg(statstext::dateTime(r.from), statstext::dateTime(r.to), unit)};
    const auto spot = [&](const QString &name, const std::optional<Spot> &s) {
        if (s)
            summary << QStringLiteral("%1: %2 (%3 %4 em %5)")
                           .arg(name, r.loggers[s->logger].label, decimals(s->value, 1), unit,
                                statstext::dateTime(s->at));
    };
    spot(QStringLiteral("Ponto quente"), r.hot);
    spot(QStringLiteral("Ponto frio"), r.cold);
    LblSummary->setText(summary.join(QStringLiteral("   ")));
    LblStatus->setText(r.warnings.join(QLatin1Char('\n')));
    LblStatus->setStyleSheet(QStringLiteral("color: #8a5a00"));
    LblStatus->setVisible(!r.warnings.isEmpty());

    // The common period stands in the boxes that are not in use, so that
    // ticking one starts from it.
    for (auto [check, edit, at] : {std::tuple{ChkFrom, DtFrom, r.from}, std::tuple{ChkTo, DtTo, r.to}})
        if (!check->isChecked()) {
            const QSignalBlocker block(edit);
            edit->setDateTime(at);
        }

    const bool limited = r.limits[Quantity::Temperature].isSet();
    GridLoggers->setSortingEnabled(false);
    GridLoggers->setHorizontalHeaderLabels(loggerHeadings(r.celsius));
    GridLoggers->setRowCount(int(r.loggers.size()));
    const bool spots = r.loggers.size() > 1;
    for (int i = 0; i < r.loggers.size(); ++i) {
        const LoggerFigures &f = r.loggers[i];
        const auto &t = f.stats[Quantity::Temperature];
        const QuantityExcursions &x = f.excursions[size_t(Quantity::Temperature)];
        const auto number = [](const std::optional<double> &v, int n) {
            return new NumberItem(v ? decimals(*v, n) : QStringLiteral("-"), v ? *v : -1e300);
        };
        const auto time = [](const QDateTime &at) {
            return new NumberItem(statstext::dateTime(at), at.isValid() ? double(at.toSecsSinceEpoch()) : -1e300);
        };
        QVector<QTableWidgetItem *> items(kColumns);
        items[ColLabel] = new QTableWidgetItem(f.label);
        items[ColLabel]->setData(Qt::UserRole, i);
        items[ColRecords] = new NumberItem(QString::number(f.stats.records), f.stats.records);
        items[ColInterval] = new NumberItem(
            f.intervalSeconds > 0 ? statstext::duration(f.intervalSeconds) : QStringLiteral("-"), f.intervalSeconds);
        items[ColMin] = number(t ? std::optional(t->min) : std::nullopt, 1);
        items[ColMinAt] = time(t ? t->minAt : QDateTime());
        items[ColMax] = number(t ? std::optional(t->max) : std::nullopt, 1);
        items[ColMaxAt] = time(t ? t->maxAt : QDateTime());
        items[ColMean] = number(t ? std::optional(t->mean) : std::nullopt, 2);
        items[ColMkt] = number(f.stats.mkt, 2);
        items[ColOutside] =
            limited ? new NumberItem(statstext::duration(t ? t->outsideSeconds : 0), double(t ? t->outsideSeconds : 0))
                    : new NumberItem(QStringLiteral("-"), -1);
        items[ColExcursions] = limited ? new NumberItem(QString::number(x.runs.size()), double(x.runs.size()))
                                       : new NumberItem(QStringLiteral("-"), -1);
        const bool hot = spots && r.hot && r.hot->logger == i;
        const bool cold = spots && r.cold && r.cold->logger == i && !hot;
        for (int c = 0; c < kColumns; ++c) {
            items[c]->setTextAlignment(Qt::Alignment(c == ColLabel ? Qt::AlignLeft : Qt::AlignRight) |
                                       Qt::AlignVCenter);
            if (hot || cold) {
                items[c]->setBackground(hot ? hotColor() : coldColor());
                items[c]->setToolTip(hot ? QStringLiteral("Ponto quente") : QStringLiteral("Ponto frio"));
            }
            GridLoggers->setItem(i, c, items[c]);
        }
    }
    // Sorted again by the column the user chose, if any.
    GridLoggers->setSortingEnabled(true);
    GridLoggers->resizeColumnsToContents();
    CmdReport->setEnabled(true);
    CmdExport->setEnabled(true);
    showChart();
}

void StudyWindow::showChart()
{
    if (!result_.ok) {
        Chart->clear();
        return;
    }
    const Quantity q = CboChart->currentIndex() == 1 ? Quantity::Humidity : Quantity::Temperature;
    Chart->setChart(overlayChartOf(analysed_, result_, q), q, result_.celsius);
}

bool StudyWindow::CmdReport_Click()
{
    if (!result_.ok)
        return false;
    studyreport::Input input;
    for (const Entry &e : entries_) {
        if (input.name.isEmpty())
            input.name = e.name;
        if (input.sector.isEmpty())
            input.sector = e.sector;
        if (input.company.isEmpty())
            input.company = e.company;
    }
    input.result = &result_;
    input.madeAt = app_.clock().now();
    {
        BusyCursor busy;
        input.files = studyreport::fileEntries(result_);
    }
    // The study as it stands now: the preview keeps it while the window changes.
    const Result result = result_;
    const QVector<Logger> loggers = analysed_;
    input.result = &result;
    const PrintService::Paint paint = [&](QPrinter &printer) {
        BusyCursor busy;
        return paintStudyReport(printer, input, loggers).ok;
    };
    // The signed study carries every logger's file and its signature.
    QStringList files;
    for (const Logger &logger : loggers)
        files << logger.file;
    const bool ok =
        app_.printer().preview(this, studyreport::defaultTitle(), paint, signAndSaveAction(app_, paint, files));
    if (!ok)
        app_.showError(listtexts::printFailed());
    return ok;
}

QVector<QStringList> StudyWindow::csvRows() const
{
    QVector<QStringList> rows;
    const bool limited = result_.limits[Quantity::Temperature].isSet();
    for (int row = 0; row < GridLoggers->rowCount(); ++row) {
        const QTableWidgetItem *item = GridLoggers->item(row, ColLabel);
        if (!item)
            continue;
        const LoggerFigures &f = result_.loggers.value(item->data(Qt::UserRole).toInt());
        const auto &t = f.stats[Quantity::Temperature];
        const auto of = [&t](double QuantityStats::*m) { return t ? std::optional<double>(*t.*m) : std::nullopt; };
        rows << QStringList{f.label,
                            QFileInfo(f.file).fileName(),
                            QString::number(f.stats.records),
                            f.intervalSeconds > 0 ? QString::number(f.intervalSeconds) : QString(),
                            pointDecimals(of(&QuantityStats::min), 1),
                            isoText(t ? t->minAt : QDateTime()),
                            pointDecimals(of(&QuantityStats::max), 1),
                            isoText(t ? t->maxAt : QDateTime()),
                            pointDecimals(of(&QuantityStats::mean), 2),
                            pointDecimals(f.stats.mkt, 2),
                            limited ? QString::number(t ? t->outsideSeconds : 0) : QString(),
                            limited ? QString::number(f.excursions[size_t(Quantity::Temperature)].runs.size())
                                    : QString()};
    }
    return rows;
}

bool StudyWindow::CmdExport_Click()
{
    if (!result_.ok)
        return false;
    const QString unit = unitText(result_.celsius);
    const QStringList header{QStringLiteral("Rótulo"),
                             QStringLiteral("Arquivo"),
                             QStringLiteral("Registros"),
                             QStringLiteral("Intervalo (s)"),
                             QStringLiteral("Mínimo (%1)").arg(unit),
                             QStringLiteral("Data e hora do mínimo"),
                             QStringLiteral("Máximo (%1)").arg(unit),
                             QStringLiteral("Data e hora do máximo"),
                             QStringLiteral("Média (%1)").arg(unit),
                             QStringLiteral("TCM (%1)").arg(unit),
                             QStringLiteral("Tempo fora (s)"),
                             QStringLiteral("Excursões")};
    // The rows in the order the table shows them.
    const QVector<QStringList> rows = csvRows();
    return exportCsv(app_, QLocale::system(),
                     [&](const CsvStyle &style) { return csvTableBytes(header, rows, style); });
}

void StudyWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (droppedDataFiles(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void StudyWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (droppedDataFiles(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void StudyWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = droppedDataFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The file manager waits for the drop to end; the files are read after it.
    QPointer<StudyWindow> self(this);
    QTimer::singleShot(0, this, [self, paths] {
        if (self)
            self->addFiles(paths);
    });
}
