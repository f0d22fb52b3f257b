#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;

// The printed list report: fixed-pitch text lines, top to bottom, page after
// page. Works on any paged device (a printer, a PDF writer), so the panel's
// "Print" and the command-line report draw the very same pages.

// "Lucida Console" 8 pt when the system has it, else the closest monospaced
// family installed (DejaVu Sans Mono has the same 0.6 em advance). A family
// that font matching would silently replace by a proportional one is never
// taken: the report's columns rely on a fixed pitch.
QFont reportFont();

class ReportPrinter {
public:
    explicit ReportPrinter(QPagedPaintDevice &device, const QFont &font = reportFont());
    ~ReportPrinter();

    // False when the device cannot be painted on (e.g. an unwritable file).
    bool begin();
    void printLine(const QString &line);
    // Ends the document (sends it to the printer); false when that failed.
    bool end();

    int pages() const { return pages_; }
    int linesPerPage() const;

private:
    QPagedPaintDevice &device_;
    QFont font_;
    QPainter painter_;
    qreal lineHeight_ = 0;
    qreal ascent_ = 0;
    qreal pageHeight_ = 0;
    qreal y_ = 0;
    int pages_ = 0;
};

// Prints `lines` on `device`; progress(i) runs before line i is printed.
bool printReportLines(QPagedPaintDevice &device, const QStringList &lines,
                      const std::function<void(int)> &progress = {});
