#include "ui/lists/StatsWindow.h"

#include "core/stats/StatsText.h"
#include "ui/common/App.h"
#include "ui/common/Placement.h"
#include "ui/lists/Grid.h"
#include "ui/lists/ListWindow.h"

#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {
bool inTemperatureUnit(Quantity q)
{
    return q != Quantity::Humidity;
}

// A converted bound keeps up to two decimals, written with the decimal comma.
QString boundText(double v)
{
    QString t = QString::number(std::round(v * 100) / 100, 'f', 2);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    if (t == QLatin1String("-0"))
        t = QStringLiteral("0");
    return t.replace(QLatin1Char('.'), QLatin1Char(','));
}
} // namespace

StatsWindow::StatsWindow(ListWindow &list) : QWidget(&list, Qt::Window), list_(&list)
{
    setObjectName(QStringLiteral("Estatisticas"));
    setWindowTitle(QStringLiteral("Estatísticas"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    const auto label = [this, layout](QLabel *&l, const char *name) {
        l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(l);
    };
    label(LblRecords, "LblRecords");
    label(LblPeriod, "LblPeriod");
    label(LblMkt, "LblMkt");
    QFont bold = LblMkt->font();
    bold.setBold(true);
    LblMkt->setFont(bold);

    GridStats = new QTableWidget(this);
    GridStats->setObjectName(QStringLiteral("GridStats"));
    GridStats->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridStats->setSelectionMode(QAbstractItemView::ContiguousSelection);
    GridStats->verticalHeader()->hide();
    GridStats->horizontalHeader()->setHighlightSections(false);
    GridStats->setAlternatingRowColors(true);
    GridStats->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    GridStats->setFocusPolicy(Qt::NoFocus);
    GridStats->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    GridStats->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    GridStats->verticalHeader()->setDefaultSectionSize(GridStats->fontMetrics().height() + 8);
    layout->addWidget(GridStats, 1);

    // Limits laid out as the figures are: one column per quantity.
    auto *box = new QGroupBox(QStringLiteral("Limites"), this);
    auto *grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Inferior"), box), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Superior"), box), 2, 0);
    int column = 1;
    for (Quantity q : statstext::kColumnOrder) {
        const size_t k = size_t(q);
        limitLabels_[k] = new QLabel(box);
        TxtLow[k] = new QLineEdit(box);
        TxtHigh[k] = new QLineEdit(box);
        TxtLow[k]->setObjectName(QStringLiteral("TxtLow_") + quantityKey(q));
        TxtHigh[k]->setObjectName(QStringLiteral("TxtHigh_") + quantityKey(q));
        for (QLineEdit *e : {TxtLow[k], TxtHigh[k]}) {
            e->setPlaceholderText(QStringLiteral("sem limite"));
            e->setAlignment(Qt::AlignRight);
            connect(e, &QLineEdit::textChanged, this, [this] {
                readLimits();
                update_.start();
            });
        }
        grid->addWidget(limitLabels_[k], 0, column);
        grid->addWidget(TxtLow[k], 1, column);
        grid->addWidget(TxtHigh[k], 2, column);
        ++column;
    }
    LblLimitError = new QLabel(box);
    LblLimitError->setObjectName(QStringLiteral("LblLimitError"));
    LblLimitError->setStyleSheet(QStringLiteral("color: #b00020"));
    LblLimitError->setWordWrap(true);
    // Its room is kept while hidden: the boxes must not move under the
    // cursor when a typed text turns valid or invalid.
    QSizePolicy keep = LblLimitError->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    LblLimitError->setSizePolicy(keep);
    LblLimitError->hide();
    grid->addWidget(LblLimitError, 3, 0, 1, column);
    layout->addWidget(box);

    // Rows arrive one by one in the live list and in batches while a file
    // opens: one computation per pass of the event loop covers them all.
    update_.setSingleShot(true);
    update_.setInterval(0);
    connect(&update_, &QTimer::timeout, this, &StatsWindow::refresh);
    watch(list.GridC);
    watch(list.GridF);

    celsius_ = list.celsiusShown();
    refresh();
    const QRect frame = list.frameGeometry();
    placeWindow(this, frame.x() + frame.width(), frame.y());
}

void StatsWindow::watch(Grid *grid)
{
    grid->installEventFilter(this);
    grids_ << grid;
    GridModel *m = grid->gridModel();
    const auto again = [this, grid] {
        if (list_ && grid == list_->visibleGrid()) {
            reloadNeeded_ = true;
            update_.start();
        }
    };
    connect(m, &QAbstractItemModel::rowsInserted, this, [this, grid] {
        if (list_ && grid == list_->visibleGrid())
            update_.start();
    });
    connect(m, &QAbstractItemModel::rowsRemoved, this, again);
    connect(m, &QAbstractItemModel::modelReset, this, again);
    connect(m, &QAbstractItemModel::dataChanged, this, again);
}

bool StatsWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The list switched the unit it shows.
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && grids_.contains(watched)) {
        reloadNeeded_ = true;
        update_.start();
    }
    return QWidget::eventFilter(watched, event);
}

void StatsWindow::reload()
{
    rows_.clear();
    reloadNeeded_ = false;
}

void StatsWindow::rowsAdded()
{
    const GridModel *m = list_->visibleGrid()->gridModel();
    const int records = m->gridRows() - 1;
    if (records < rows_.size()) {
        reload();
    }
    rows_.reserve(records);
    for (int r = int(rows_.size()); r < records; ++r)
        rows_.append(m->line(r + 1).split(QLatin1Char('\t')));
}

void StatsWindow::refresh()
{
    update_.stop();
    if (!list_)
        return;
    const bool celsius = list_->celsiusShown();
    if (celsius != celsius_) {
        convertTemperatureLimits(celsius);
        celsius_ = celsius;
    }
    if (reloadNeeded_)
        reload();
    rowsAdded();
    readLimits();
    stats_ = computeRowStats(rows_, celsius_, limits_);
    display(stats_);
}

void StatsWindow::convertTemperatureLimits(bool toCelsius)
{
    for (int k = 0; k < kQuantities; ++k) {
        if (!inTemperatureUnit(Quantity(k)))
            continue;
        for (QLineEdit *e : {TxtLow[size_t(k)], TxtHigh[size_t(k)]}) {
            Limits one;
            if (e->text().trimmed().isEmpty() || !parseLimit(QStringLiteral("temp=%1:").arg(e->text()), one, nullptr))
                continue;
            const double v = *one[Quantity::Temperature].low;
            const QSignalBlocker block(e);
            e->setText(boundText(toCelsius ? (v - 32) * 5 / 9 : v * 9 / 5 + 32));
        }
    }
}

void StatsWindow::readLimits()
{
    limits_ = {};
    QStringList wrong;
    for (Quantity q : statstext::kColumnOrder) {
        const size_t k = size_t(q);
        const QString low = TxtLow[k]->text().trimmed(), high = TxtHigh[k]->text().trimmed();
        bool ok = true;
        if (!low.isEmpty() || !high.isEmpty())
            ok = parseLimit(quantityKey(q) + QLatin1Char('=') + low + QLatin1Char(':') + high, limits_, nullptr);
        if (!ok)
            wrong << statstext::quantityHeading(q, celsius_);
        const QString style = ok ? QString() : QStringLiteral("background: #fde2e4");
        TxtLow[k]->setStyleSheet(style);
        TxtHigh[k]->setStyleSheet(style);
    }
    LblLimitError->setText(QStringLiteral("Limites inválidos (números, inferior até o superior): %1")
                               .arg(wrong.join(QStringLiteral(", "))));
    LblLimitError->setVisible(!wrong.isEmpty());
}

void StatsWindow::display(const RowStats &s)
{
    for (Quantity q : statstext::kColumnOrder)
        limitLabels_[size_t(q)]->setText(statstext::quantityHeading(q, s.celsius));
    const QStringList summary = statstext::summaryLines(s);
    LblRecords->setText(summary.value(0));
    LblPeriod->setText(s.first.isValid() ? summary.value(1) : QStringLiteral("Período: -"));
    LblMkt->setText(summary.last());

    const statstext::Table t = statstext::table(s, limits_);
    GridStats->setColumnCount(int(t.header.size()));
    GridStats->setHorizontalHeaderLabels(t.header);
    GridStats->setRowCount(int(t.rows.size()));
    for (int r = 0; r < t.rows.size(); ++r) {
        for (int c = 0; c < t.rows[r].size(); ++c) {
            QTableWidgetItem *item = GridStats->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                GridStats->setItem(r, c, item);
            }
            item->setText(t.rows[r][c]);
            item->setTextAlignment(Qt::Alignment(c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        }
    }
    GridStats->resizeColumnsToContents();
    // Room from the start for the rows that limits add, so that typing a
    // limit never moves the boxes below the table.
    Limits every;
    for (Bounds &b : every.bounds)
        b.low = 0;
    const int most = int(statstext::table(s, every).rows.size());
    const int full = 2 * GridStats->frameWidth() + GridStats->horizontalHeader()->sizeHint().height() +
                     most * GridStats->verticalHeader()->defaultSectionSize();
    // On a small screen the table scrolls rather than push the window off it.
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().height() * 2 / 5 : full;
    GridStats->setMinimumHeight(std::min(full, room));
    GridStats->setVerticalScrollBarPolicy(full > room ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    // Every figure stays in sight: the window grows when wider texts come
    // (a longer period), never shrinks under the user, and stays on the screen.
    QSize need = sizeHint();
    if (full > room)
        need.setHeight(height()); // the table scrolls instead
    if (need.width() > width() || need.height() > height()) {
        resize(qMax(need.width(), width()), qMax(need.height(), height()));
        if (isVisible())
            keepOnScreen(this);
    }
}

StatsWindow *openStatsWindow(ListWindow &list)
{
    auto *w = list.findChild<StatsWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!w)
        w = new StatsWindow(list);
    w->QWidget::show();
    w->raise();
    w->activateWindow();
    return w;
}
