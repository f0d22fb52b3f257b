#include "ui/lists/ListExport.h"

#include "core/files/TextFile.h"
#include "ui/common/App.h"
#include "ui/lists/ListOps.h"
#include "ui/lists/ListWindow.h"

namespace {
const QString kSpreadsheet = QStringLiteral("Planilha: ponto e vírgula, vírgula decimal (*.csv)|*.csv|");
const QString kPlain = QStringLiteral("CSV simples: vírgula, ponto decimal (*.csv)|*.csv|");

bool spreadsheetFirst(const QLocale &locale)
{
    return CsvStyle::forLocale(locale).decimalComma;
}
} // namespace

QString csvExportFilter(const QLocale &locale)
{
    return spreadsheetFirst(locale) ? kSpreadsheet + kPlain : kPlain + kSpreadsheet;
}

bool exportCsv(App &app, const QLocale &locale, const std::function<QByteArray(const CsvStyle &style)> &make)
{
    const Prompts::FileChoice choice = app.prompts().saveFile(csvExportFilter(locale), true);
    if (!choice.accepted || choice.fileName.isEmpty())
        return false;
    const bool spreadsheet = (choice.filterIndex == 0) == spreadsheetFirst(locale);
    BusyCursor busy;
    const QByteArray bytes = make(spreadsheet ? CsvStyle::spreadsheet() : CsvStyle::plain());
    QString error;
    if (!writeFileAtomically(choice.fileName, bytes, &error, integrity::WrittenFile::Exported)) {
        app.showError(listtexts::saveFailed(error));
        return false;
    }
    return true;
}

bool exportListCsv(ListWindow &list, const QLocale &locale)
{
    // A live list that grows meanwhile is exported as it was once the name was chosen.
    return exportCsv(list.app(), locale, [&list](const CsvStyle &style) {
        return csvBytes(list.visibleRows(), list.celsiusShown(), style);
    });
}
