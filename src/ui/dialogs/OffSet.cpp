#include "ui/dialogs/OffSet.h"

#include "core/link/Protocol.h"
#include "core/reading/Format.h"
#include "ui/common/App.h"
#include "ui/common/Changes.h"
#include "ui/common/KeyFilter.h"
#include "ui/dialogs/CaptionPanel.h"
#include "ui/dialogs/DialogLink.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

int offsetKey(int KeyAscii)
{
    decimalCommaAsPoint(KeyAscii);
    if ((KeyAscii >= '0' && KeyAscii <= '9') || KeyAscii == '-' || KeyAscii == '.' || KeyAscii == 8)
        return KeyAscii;
    return 0;
}

QLineEdit *makeBox(QWidget *parent, const QString &name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAlignment(Qt::AlignRight);
    box->setFixedWidth(twipsToPixelsX(1200, parent));
    // Pasted text obeys the same characters as typed text.
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.\\-]*")), box));
    return box;
}

CaptionPanel *makeCaption(QWidget *parent, const QString &name, const QString &text)
{
    auto *panel = new CaptionPanel(text, parent);
    panel->setObjectName(name);
    panel->setFixedWidth(twipsToPixelsX(1200, parent));
    return panel;
}

} // namespace

OffSet::OffSet(App &app, QWidget *parent) : QWidget(parent, Qt::Window), app_(app)
{
    setObjectName(QStringLiteral("OffSet"));
    setWindowTitle(QStringLiteral("Compensação"));
    setAttribute(Qt::WA_DeleteOnClose);

    TxtH = makeBox(this, QStringLiteral("TxtH"));
    TxtT = makeBox(this, QStringLiteral("TxtT"));
    SSPanel5 = makeCaption(this, QStringLiteral("SSPanel5"), QStringLiteral("%UR"));
    SSPanel4 = makeCaption(this, QStringLiteral("SSPanel4"), QStringLiteral("Celsius"));
    setKeyPress(TxtH, [](int &KeyAscii) { KeyAscii = TxtH_KeyPress(KeyAscii); });
    setKeyPress(TxtT, [](int &KeyAscii) { KeyAscii = TxtT_KeyPress(KeyAscii); });

    CmdOK = new QPushButton(QStringLiteral("Ok"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdOK->setAutoDefault(true);
    connect(CmdOK, &QPushButton::clicked, this, &OffSet::CmdOK_Click);
    connect(TxtH, &QLineEdit::returnPressed, this, &OffSet::CmdOK_Click);
    connect(TxtT, &QLineEdit::returnPressed, this, &OffSet::CmdOK_Click);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    grid->addWidget(SSPanel5, 0, 0);
    grid->addWidget(SSPanel4, 0, 1);
    grid->addWidget(TxtH, 1, 0);
    grid->addWidget(TxtT, 1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(12);
    auto *centred = new QHBoxLayout;
    centred->addStretch();
    centred->addLayout(grid);
    centred->addStretch();
    layout->addLayout(centred);
    layout->addLayout(buttons);
    // Wide enough for the caption in the title bar.
    setMinimumWidth(twipsToPixelsX(3600, this));

    Form_Load();
}

void OffSet::Form_Load()
{
    adjustSize();
    if (QWidget *main = app_.mainWindow()) {
        const QRect g = main->frameGeometry();
        placeWindow(this, g.left() + g.width(), g.top());
    }
}

void OffSet::showOffsets(int rhTenths, int tempTenths)
{
    shown_ = {rhTenths, tempTenths};
    TxtT->setText(offsetText(tempTenths));
    TxtH->setText(offsetText(rhTenths));
}

int OffSet::TxtH_KeyPress(int KeyAscii)
{
    return offsetKey(KeyAscii);
}
int OffSet::TxtT_KeyPress(int KeyAscii)
{
    return offsetKey(KeyAscii);
}

void OffSet::CmdOK_Click()
{
    if (sending_)
        return;
    const double t = leadingNumber(TxtT->text());
    const double h = leadingNumber(TxtH->text());
    const std::optional<Offsets> offsets = offsetsFromValues(h, t);
    if (!offsets) {
        app_.showError(kOffsetRangeMessage);
        TxtH->clear();
        TxtT->clear();
        app_.startPolling();
        return;
    }

    QPointer<OffSet> self(this);
    const auto reason = changes::askReason(app_);
    if (!self || !reason)
        return;
    dialoglink::Exchange exchange(app_);
    if (!exchange.active())
        return;
    sending_ = true;
    app_.stopPolling();
    LinkContext ctx = dialoglink::context(app_);
    const bool sent = writeOffsets(ctx, *offsets);
    if (!self)
        return;
    sending_ = false;
    if (!sent) {
        // The window stays open, so the user can try again.
        dialoglink::reportFailure(app_, ctx);
        app_.startPolling();
        return;
    }
    const auto json = [](int rhTenths, int tempTenths) {
        return QJsonObject{{QStringLiteral("rh"), offsetText(rhTenths)},
                           {QStringLiteral("temp"), offsetText(tempTenths)}};
    };
    changes::record(app_, QStringLiteral("instrument.offset.set"),
                    shown_ ? QJsonValue(json(shown_->first, shown_->second)) : QJsonValue(),
                    json(offsets->signedRhTenths(), offsets->signedTempTenths()), *reason);
    app_.startPolling();
    close();
}

void OffSet::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    app_.startPolling();
}

void OffSet::closeEvent(QCloseEvent *event)
{
    // The offsets are on their way: closing now would start the polling in
    // the middle of the exchange.
    if (sending_) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}
