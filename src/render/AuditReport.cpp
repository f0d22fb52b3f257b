#include "render/AuditReport.h"
#include "render/PdfInMemory.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextOption>

#include <array>

namespace {
constexpr int kColumns = 5;
// Column widths as shares of the text width: time, user, action, change, reason.
constexpr std::array<qreal, kColumns> kShares{0.17, 0.09, 0.17, 0.33, 0.24};

struct Layout {
    QRectF text;    // the printable area
    qreal line = 0; // one text line
    std::array<qreal, kColumns> x{}, w{};
};

QStringList cells(const AuditReportRow &r)
{
    return {r.time, r.user, r.action, r.change, r.reason};
}

qreal rowHeight(const QFontMetricsF &fm, const Layout &l, const AuditReportRow &r)
{
    qreal h = l.line;
    const QStringList c = cells(r);
    for (int i = 0; i < kColumns; ++i)
        h = qMax(h, fm.boundingRect(QRectF(0, 0, l.w[size_t(i)], 1e9), Qt::TextWrapAnywhere, c[i]).height());
    return h + l.line * 0.3;
}
} // namespace

std::optional<QByteArray> auditReportPdf(const QString &title, const QString &subtitle,
                                         const QVector<AuditReportRow> &rows, int *pages, QString *error)
{
    PdfInMemory pdf(title, 300);
    QPdfWriter &writer = pdf.writer;
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    QPainter p;
    if (!p.begin(&writer)) {
        *error = QStringLiteral("cannot draw the PDF");
        return std::nullopt;
    }
    QFont body(QStringLiteral("Arial"));
    body.setPointSizeF(8);
    QFont bold = body;
    bold.setBold(true);
    QFont heading = body;
    heading.setPointSizeF(13);
    heading.setBold(true);
    p.setFont(body);
    const QFontMetricsF fm(body, &writer);

    Layout l;
    l.text = QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
    l.line = fm.lineSpacing();
    qreal x = 0;
    for (int i = 0; i < kColumns; ++i) {
        l.w[size_t(i)] = l.text.width() * kShares[size_t(i)] - l.line * 0.5;
        l.x[size_t(i)] = x;
        x += l.text.width() * kShares[size_t(i)];
    }
    const qreal top = l.line * 5.5; // title, subtitle and the headings
    const qreal bottom = l.text.height() - l.line * 2;

    // Rows to pages first, so that every page can say how many there are.
    QVector<int> firstRow{0};
    QVector<qreal> heights(rows.size());
    qreal y = top;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        heights[i] = qMin(rowHeight(fm, l, rows[i]), bottom - top);
        if (y + heights[i] > bottom && y > top) {
            firstRow.append(int(i));
            y = top;
        }
        y += heights[i];
    }
    const int total = int(firstRow.size());
    const QStringList headings{QStringLiteral("Data e hora"), QStringLiteral("Usuário"), QStringLiteral("Ação"),
                               QStringLiteral("Anterior → novo"), QStringLiteral("Motivo")};
    for (int page = 0; page < total; ++page) {
        if (page > 0)
            writer.newPage();
        p.setFont(heading);
        p.drawText(QRectF(0, 0, l.text.width(), l.line * 2), Qt::AlignLeft | Qt::AlignVCenter, title);
        p.setFont(body);
        p.drawText(QRectF(0, l.line * 2, l.text.width(), l.line), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
        p.setFont(bold);
        for (int c = 0; c < kColumns; ++c)
            p.drawText(QRectF(l.x[size_t(c)], l.line * 3.8, l.w[size_t(c)], l.line), Qt::AlignLeft, headings[c]);
        p.drawLine(QPointF(0, top - l.line * 0.3), QPointF(l.text.width(), top - l.line * 0.3));
        p.setFont(body);
        const int end = page + 1 < total ? firstRow[page + 1] : int(rows.size());
        qreal yy = top;
        for (int r = firstRow[page]; r < end; ++r) {
            const QStringList c = cells(rows[r]);
            for (int k = 0; k < kColumns; ++k)
                p.drawText(QRectF(l.x[size_t(k)], yy, l.w[size_t(k)], heights[r]), Qt::TextWrapAnywhere, c[k]);
            yy += heights[r];
        }
        p.drawText(QRectF(0, l.text.height() - l.line * 1.2, l.text.width(), l.line), Qt::AlignRight,
                   QStringLiteral("Página %1 de %2").arg(page + 1).arg(total));
    }
    if (!p.end()) {
        *error = QStringLiteral("cannot finish the PDF");
        return std::nullopt;
    }
    *pages = total;
    return pdf.bytes();
}
