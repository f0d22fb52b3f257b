#pragma once

#include <QMainWindow>
#include <QToolBar>

// The main window's toolbar buttons from left to right: key, tooltip,
// picture. The file viewer shows the same toolbar, so a file opened from the
// desktop looks as it does beside the instrument.
struct PanelButtonSpec {
    const char *key;
    const char *tooltip;
    int image;
};

inline constexpr PanelButtonSpec kPanelButtons[] = {
    {"Save", "Salvar Como", 1},
    {"Open", "Abrir arquivo para leitura", 2},
    {"List", "Mostrar lista", 3},
    {"Graph", "Mostrar gráfico", 4},
    {"Sample", "Taxa de Amostragem", 5},
    {"CF", "Celsius / Fahrenheit", 6},
    {"RecStop", "Gravar automaticamente", 7},
    {"Manual", "Gravar manualmente", 8},
    {"PowerOff", "Desligamento automático", 9},
    {"Memory", "Data Logger", 10},
    {"SetTime", "Ajustar a hora do instrumento pela hora do sistema", 11},
    {"Offset", "Configurações de compensação", 12},
    {"AddText", "Nome, Setor, Empresa", 15},
};

// The toolbar these windows share: fixed at the top, pictures only.
inline QToolBar *addPanelToolbar(QMainWindow *window)
{
    auto *bar = new QToolBar(window);
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(24, 24));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}
