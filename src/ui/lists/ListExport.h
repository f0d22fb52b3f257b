#pragma once

#include "core/files/CsvFile.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <functional>

class App;
class ListWindow;

// "Exportar CSV" of the list windows: the rows the list shows (its visible
// grid, in its unit) written as `termohigrometro-cli convert` writes a data
// file, in the style chosen in the save dialog. The style of `locale` is
// offered first. True when a file was written.
bool exportListCsv(ListWindow &list, const QLocale &locale = QLocale::system());

// The save dialog's filter, the entry of `locale`'s style first.
QString csvExportFilter(const QLocale &locale);

// Every CSV export of the panel: the save dialog with both styles, then the
// bytes `make` gives for the style chosen, written whole (a failure is
// reported). True when a file was written.
bool exportCsv(App &app, const QLocale &locale, const std::function<QByteArray(const CsvStyle &style)> &make);
