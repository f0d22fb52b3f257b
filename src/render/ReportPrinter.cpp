#include "render/ReportPrinter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>

QFont reportFont()
{
    static const QStringList preferred{QStringLiteral("Lucida Console"),  QStringLiteral("DejaVu Sans Mono"),
                                       QStringLiteral("Liberation Mono"), QStringLiteral("Courier New"),
                                       QStringLiteral("Consolas"),        QStringLiteral("Courier")};
    const QStringList installed = QFontDatabase::families();
    QFont font;
    bool found = false;
    for (const QString &family : preferred) {
        if (installed.contains(family, Qt::CaseInsensitive) && QFontDatabase::isFixedPitch(family)) {
            font = QFont(family);
            found = true;
            break;
        }
    }
    if (!found)
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(8);
    font.setKerning(false);
    return font;
}

ReportPrinter::ReportPrinter(QPagedPaintDevice &device, const QFont &font) : device_(device), font_(font) {}

ReportPrinter::~ReportPrinter()
{
    if (painter_.isActive())
        painter_.end();
}

bool ReportPrinter::begin()
{
    // Printers bring their own margins; a PDF file would otherwise be
    // printed to the very edge of the sheet.
    const QMarginsF m = device_.pageLayout().margins(QPageLayout::Millimeter);
    constexpr qreal kMin = 12;
    if (m.left() < kMin || m.top() < kMin || m.right() < kMin || m.bottom() < kMin)
        device_.setPageMargins(
            QMarginsF(qMax(m.left(), kMin), qMax(m.top(), kMin), qMax(m.right(), kMin), qMax(m.bottom(), kMin)),
            QPageLayout::Millimeter);
    if (!painter_.begin(&device_))
        return false;
    painter_.setFont(font_);
    painter_.setPen(Qt::black);
    const QFontMetricsF fm(font_, &device_);
    lineHeight_ = fm.height();
    ascent_ = fm.ascent();
    pageHeight_ = device_.height();
    y_ = 0;
    pages_ = 1;
    return true;
}

int ReportPrinter::linesPerPage() const
{
    return lineHeight_ > 0 ? qMax(1, int(pageHeight_ / lineHeight_)) : 0;
}

void ReportPrinter::printLine(const QString &line)
{
    if (!painter_.isActive())
        return;
    if (y_ > 0 && y_ + lineHeight_ > pageHeight_) {
        device_.newPage();
        ++pages_;
        y_ = 0;
    }
    painter_.drawText(QPointF(0, y_ + ascent_), line);
    y_ += lineHeight_;
}

bool ReportPrinter::end()
{
    if (!painter_.isActive())
        return false;
    return painter_.end();
}

bool printReportLines(QPagedPaintDevice &device, const QStringList &lines, const std::function<void(int)> &progress)
{
    ReportPrinter printer(device);
    if (!printer.begin())
        return false;
    for (int i = 0; i < lines.size(); ++i) {
        if (progress)
            progress(i);
        printer.printLine(lines.at(i));
    }
    return printer.end();
}
