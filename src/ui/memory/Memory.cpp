#include "ui/memory/Memory.h"

#include "core/files/Logger.h"
#include "core/link/Protocol.h"
#include "core/link/SerialLink.h"
#include "core/reading/Format.h"
#include "ui/common/App.h"
#include "ui/common/Changes.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/lists/DataList.h"
#include "ui/lists/ListOps.h"
#include "ui/memory/FillPanel.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace {
bool g_downloading = false;
const QString kClearWarning = QStringLiteral("Todos os dados na memória serão apagados.");
const QString kWarningTitle = QStringLiteral("Aviso");
} // namespace

bool Memory::downloading()
{
    return g_downloading;
}
void Memory::setDownloading(bool running)
{
    g_downloading = running;
}

Memory::Memory(App &app, QWidget *parent) : QWidget(parent, Qt::Window), app_(app)
{
    setObjectName(QStringLiteral("Memory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Data Logger"));

    MSize = new FillPanel(QStringLiteral("Memory Size"), this);
    MSize->setObjectName(QStringLiteral("MSize"));
    MSize->setMinimumHeight(fontMetrics().height() + 14);
    SSPanel2 = new FillPanel(QString(), this);
    SSPanel2->setObjectName(QStringLiteral("SSPanel2"));
    SSPanel2->setFillPercent(100);
    SSPanel3 = new FillPanel(QString(), this);
    SSPanel3->setObjectName(QStringLiteral("SSPanel3"));
    SSPanel3->setFillPercent(0);
    const int swatch = fontMetrics().height();
    SSPanel2->setFixedSize(swatch * 2, swatch);
    SSPanel3->setFixedSize(swatch * 2, swatch);
    Label1 = new QLabel(QStringLiteral("Capacidade : 32 K"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("Usado"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("Não usado    "), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    MBar = new QProgressBar(this);
    MBar->setObjectName(QStringLiteral("MBar"));
    MBar->setRange(0, 100);
    MBar->setValue(0);
    GridSet = new Grid(3, this);
    GridSet->setObjectName(QStringLiteral("GridSet"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(Label1);
    layout->addWidget(MSize);
    auto *legend = new QHBoxLayout;
    legend->setSpacing(6);
    legend->addWidget(SSPanel2);
    legend->addWidget(Label2);
    legend->addSpacing(16);
    legend->addWidget(SSPanel3);
    legend->addWidget(Label3);
    legend->addStretch(1);
    layout->addLayout(legend);
    layout->addWidget(MBar);
    layout->addWidget(GridSet, 1);

    // A click on the memory panels clears the instrument's memory (after a
    // question): say so before anyone tries.
    for (FillPanel *p : {MSize, SSPanel2, SSPanel3})
        p->setToolTip(QStringLiteral("Clique para apagar a memória do instrumento"));
    connect(MSize, &FillPanel::clicked, this, &Memory::MSize_Click);
    connect(SSPanel2, &FillPanel::clicked, this, &Memory::SSPanel2_Click);
    connect(SSPanel3, &FillPanel::clicked, this, &Memory::SSPanel3_Click);
    connect(GridSet, &Grid::cellClicked, this, &Memory::GridSet_Click);
    Form_Load();
}

Memory::~Memory()
{
    if (!unloaded_)
        Form_Unload();
}

void Memory::Form_Load()
{
    if (QWidget *main = app_.mainWindow()) {
        const QRect frame = main->frameGeometry();
        placeWindow(this, frame.x() + frame.width(), frame.y());
    }
    const QStringList headings{QStringLiteral("Configurar"), QStringLiteral("Amostragem"), QStringLiteral("Gravações")};
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    const int width = GridSet->fontMetrics().horizontalAdvance(QStringLiteral("AAAAAAAAAA")) + margins;
    GridSet->setRow(0);
    for (int c = 0; c < 3; ++c) {
        GridSet->setCol(c);
        GridSet->setColWidth(c, width);
        GridSet->setText(headings.at(c));
    }
    GridSet->setCol(0);
    const int gridWidth = 3 * width + 2 * GridSet->frameWidth() + GridSet->verticalScrollBar()->sizeHint().width();
    GridSet->setMinimumWidth(gridWidth);
    GridSet->setMinimumHeight(GridSet->horizontalHeader()->sizeHint().height() +
                              6 * GridSet->verticalHeader()->defaultSectionSize() + 2 * GridSet->frameWidth());
    resize(gridWidth + 20, sizeHint().height() + 4 * GridSet->verticalHeader()->defaultSectionSize());
    app_.state().MemoryBusy = true;
}

void Memory::Form_Unload()
{
    unloaded_ = true;
    if (app_.memory == this)
        app_.memory = nullptr;
    // While the download runs it owns the flag: a second "Memory" click must
    // stay ignored until it is over.
    if (!g_downloading)
        app_.state().MemoryBusy = false;
}

void Memory::closeEvent(QCloseEvent *event)
{
    // Clearing waits on the instrument with events running: the window goes
    // once it is over.
    if (clearing_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    if (!unloaded_)
        Form_Unload();
    event->accept();
}

void Memory::setUsedPercent(double percent)
{
    MSize->setFillPercent(percent);
    MSize->setToolTip(QStringLiteral("%1 % usado").arg(qRound(percent)));
}

void Memory::addSetRow(int set, int interval, int size)
{
    GridSet->addItem(QStringLiteral("%1\t%2\t%3").arg(set).arg(interval).arg(size));
}

void Memory::GridSet_Click()
{
    SharedState &s = app_.state();
    if (g_downloading || GridSet->row() < 1)
        return;
    const int n = int(leadingNumber(GridSet->textMatrix(GridSet->row(), 0)));
    if (n < 1 || n > s.logger.sets.size())
        return;
    s.logger.selectedSet = n;
    PollingPause polling(app_);

    const QVector<LoggerRow> rows = listLoggerSet(s.logger.sets.at(n - 1), s.InstrumentType, app_.clock().now().date());
    DataList *list = reopenDataList(app_);
    QPointer<DataList> guard(list);
    CaptionProgress caption(list);
    constexpr int kChunk = 1024;
    for (int from = 0; from < rows.size() && guard; from += kChunk) {
        const int to = qMin(int(rows.size()), from + kChunk);
        QVector<QString> c, f;
        c.reserve(to - from);
        f.reserve(to - from);
        for (int j = from; j < to; ++j) {
            c.append(rows.at(j).celsiusLine);
            f.append(rows.at(j).fahrenheitLine);
        }
        list->GridC->addItems(c);
        list->GridF->addItems(f);
        caption.show(to);
    }
}

void Memory::clearMemory()
{
    SharedState &s = app_.state();
    if (s.InstrumentType != QLatin1String("NewType"))
        return;
    if (!app_.link())
        return;
    // Refused with a word while the download or another command talks.
    dialoglink::Exchange exchange(app_, dialoglink::Talk::Memory);
    if (!exchange.active())
        return;
    clearing_ = true;
    const Prompts::Answer answer =
        app_.prompts().message(kClearWarning, kWarningTitle, Prompts::Buttons::OkCancel, Prompts::Icon::Warning);
    const auto reason = answer == Prompts::Answer::Ok ? changes::askReason(app_) : std::nullopt;
    if (!reason) {
        clearing_ = false;
        if (closePending_)
            close();
        return;
    }
    app_.stopPolling();
    SerialLink &link = *app_.link();
    link.DiscardInput();
    LinkContext ctx = dialoglink::context(app_);
    const bool ok = clearLoggerMemory(ctx);
    app_.startPolling();
    clearing_ = false;
    if (!ok) {
        // The memory was not cleared: the window stays, so the user can try again.
        dialoglink::reportFailure(app_, ctx);
        if (closePending_)
            close();
        return;
    }
    changes::record(app_, QStringLiteral("logger.clear"), QJsonValue::Null, QJsonValue::Null, *reason);
    close();
}
