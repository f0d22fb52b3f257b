#pragma once

#include <QLocale>
#include <QString>

class ListWindow;

// "Exportar CSV" of the list windows: the rows the list shows (its visible
// grid, in its unit) written as `termohigrometro-cli convert` writes a data
// file, in the style chosen in the save dialog. The style of `locale` is
// offered first. True when a file was written.
bool exportListCsv(ListWindow &list, const QLocale &locale = QLocale::system());

// The save dialog's filter, the entry of `locale`'s style first.
QString csvExportFilter(const QLocale &locale);
