#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QPageLayout;
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
    // Offered in the preview as "Assinar e salvar…": called with the preview
    // window (nullptr without one) and the page layout shown there.
    using SignAndSave = std::function<void(QWidget *window, const QPageLayout &layout)>;
    bool preview(QWidget *parent, const QString &documentName, const Paint &paint)
    {
        return preview(parent, documentName, paint, {});
    }
    virtual bool preview(QWidget *parent, const QString &documentName, const Paint &paint, const SignAndSave &sign) = 0;
};

// The platform's print dialog (real printers, or "Print to File" as PDF).
class DialogPrintService : public PrintService {
public:
    using PrintService::preview;
    std::unique_ptr<QPrinter> choosePrinter(QWidget *parent, const QString &documentName) override;
    bool preview(QWidget *parent, const QString &documentName, const Paint &paint, const SignAndSave &sign) override;
};

// Prints every document to a PDF file: `path`, or path-2.pdf, path-3.pdf ...
// for later documents.
class PdfPrintService : public PrintService {
public:
    explicit PdfPrintService(QString path) : path_(std::move(path)) {}
    using PrintService::preview;
    std::unique_ptr<QPrinter> choosePrinter(QWidget *parent, const QString &documentName) override;
    // No dialog: the pages go straight to the next PDF file, on A4; then,
    // when `signInPreview` is set, "Assinar e salvar…" is chosen.
    bool preview(QWidget *parent, const QString &documentName, const Paint &paint, const SignAndSave &sign) override;
    QStringList printedFiles() const { return printed_; }
    bool signInPreview = false;
    int signOffers = 0; // previews that offered to sign

private:
    QString path_;
    QStringList printed_;
};
