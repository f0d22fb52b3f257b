#pragma once

#include "platform/PrintService.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <optional>

class App;

// "Assinar e salvar…" of a report's preview: the pages drawn again into a PDF
// on the preview's page layout, `dataFiles` and their signatures carried
// inside it, signed with the person's A1 certificate and saved where they
// choose. A refused certificate or a cancel leaves nothing written.
PrintService::SignAndSave signAndSaveAction(App &app, const PrintService::Paint &paint, const QStringList &dataFiles);

// The same for a PDF that `draw` makes (nullopt when it cannot), from a
// window of its own.
void signAndSavePdf(App &app, QWidget *window, const std::function<std::optional<QByteArray>()> &draw,
                    const QStringList &dataFiles);
