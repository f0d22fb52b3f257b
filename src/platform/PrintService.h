#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

// Where printed reports and chart images go: a printer chosen in the print
// dialog, or a PDF file (tests, headless runs).
class PrintService {
public:
    virtual ~PrintService() = default;
    // A printer ready to paint on, or nullptr when the user cancelled.
    virtual std::unique_ptr<QPrinter> choosePrinter(QWidget *parent, const QString &documentName) = 0;
    // Shows the pages `paint` draws in a print preview, from which the user
    // prints or saves them. `paint` may run several times (the preview
    // redraws after a change of page setup, then prints) and returns false
    // when it could not draw. False when drawing failed.
    using Paint = std::function<bool(QPrinter &printer)>;
    virtual bool preview(QWidget *parent, const QString &documentName, const Paint &paint) = 0;
};

// The platform's print dialog (real printers, or "Print to File" as PDF).
class DialogPrintService : public PrintService {
public:
    std::unique_ptr<QPrinter> choosePrinter(QWidget *parent, const QString &documentName) override;
    bool preview(QWidget *parent, const QString &documentName, const Paint &paint) override;
};

// Prints every document to a PDF file: `path`, or path-2.pdf, path-3.pdf ...
// for later documents.
class PdfPrintService : public PrintService {
public:
    explicit PdfPrintService(QString path) : path_(std::move(path)) {}
    std::unique_ptr<QPrinter> choosePrinter(QWidget *parent, const QString &documentName) override;
    // No dialog: the pages go straight to the next PDF file, on A4.
    bool preview(QWidget *parent, const QString &documentName, const Paint &paint) override;
    QStringList printedFiles() const { return printed_; }

private:
    QString path_;
    QStringList printed_;
};
